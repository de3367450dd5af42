#pragma once
// A run's scores per resolution and two runs side by side: both means, the
// difference in % and a verdict that takes the passes' spread into account.

#include "core/Statistics.h"
#include "history/HistoryStore.h"

#include <optional>
#include <string>
#include <vector>

namespace vantor {

// "W×H" (UTF-8).
std::string sizeText(int width, int height);

struct ResolutionScores {
    int width = 0;
    int height = 0;
    int passes = 0;              // passes played, with or without a result
    std::vector<double> scores;  // the passes' results
    ScoreStats stats() const { return computeStats(scores); }
};

// Per resolution, smallest first; passes without a result count as played.
std::vector<ResolutionScores> scoresByResolution(const std::vector<StoredPass>& passes);

struct ResolutionComparison {
    int width = 0;
    int height = 0;
    std::optional<ScoreStats> first, second;  // nothing when that run has no result there
    std::optional<double> differencePercent;  // (second - first) / first
    std::optional<Verdict> verdict;           // of the second run against the first
};

// Every resolution of either run, smallest first.
std::vector<ResolutionComparison> compareRuns(const std::vector<StoredPass>& first,
                                              const std::vector<StoredPass>& second);

}  // namespace vantor
