#pragma once
// A run's scores by resolution: each resolution's passes in the order they
// ended, the passes' numbers, their statistics and why the resolution took as
// many passes as it did.

#include "core/PassPolicy.h"
#include "core/Resolutions.h"
#include "core/Statistics.h"

#include <optional>
#include <string>
#include <vector>

namespace vantor {

// The result of one ended pass, as the report step read it.
struct PassScore {
    std::string width;  // CurrentWidth of the pass
    bool found = false;
    std::string score;
    int height = 0;      // CurrentHeight of the pass; 0: the classic height of the width
    double seconds = 0;  // wall time since the report began or the pass before ended
};

struct ResolutionResult {
    Resolution resolution;
    std::vector<PassScore> passes;
    std::vector<double> scores;  // of the passes whose score is a number
    ScoreStats stats;
    std::string reason;  // how many passes and why
    // The score of the resolution's pass block: a single pass's text as the
    // game wrote it; the mean of several; empty without any result.
    std::string scoreText;
    bool found = false;  // some pass of the resolution had a result file
};

// The game's score as a number: a plain decimal, blanks around allowed.
std::optional<double> scoreNumber(const std::string& score);
// A number with two decimals and a point, whatever the locale ("87.53").
std::string fixed2(double value);
// The resolution of a pass: its width and height, the classic height when the
// height is not set; nullopt for a width that is no number.
std::optional<Resolution> resolutionOfPass(const PassScore& pass);

// Groups the passes (in the order they ended; a resolution's passes follow one
// another) by resolution.
std::vector<ResolutionResult> groupByResolution(const std::vector<PassScore>& passes, const PassPolicy& policy);

}  // namespace vantor
