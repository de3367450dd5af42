#pragma once
// How many passes a resolution gets: a fixed number, and with adaptive passes
// extra ones while the scores spread more than a threshold, up to a cap.

#include "core/Statistics.h"

#include <string>
#include <vector>

namespace vantor {

inline constexpr int kMaxPassesPerResolution = 10;
inline constexpr int kMaxAdaptiveCap = 20;
inline constexpr int kDefaultAdaptiveCap = 10;
inline constexpr int kDefaultThresholdPercent = 3;

struct PassPolicy {
    int passes = 1;                                   // per resolution, 1..kMaxPassesPerResolution
    bool adaptive = false;                            // extra passes while the spread is above the threshold
    int thresholdPercent = kDefaultThresholdPercent;  // relative standard deviation, in %
    int cap = kDefaultAdaptiveCap;                    // most passes of a resolution with adaptive passes

    // Passes a resolution gets before the spread is judged: the set number, at
    // least two with adaptive passes (one score has no spread).
    int plannedPasses() const;
    // The most passes a resolution can take.
    int maxPasses() const;
    // Whether a resolution that has had `done` passes, with these scores (the
    // passes that gave a number), gets another one.
    bool needsAnotherPass(int done, const std::vector<double>& scores) const;
    // Why a resolution took `done` passes, for the report's summary.
    std::string reason(int done, const std::vector<double>& scores) const;
    // Whether this is the run as it always was: one pass, nothing adaptive.
    bool single() const { return plannedPasses() == 1; }
};

// A percentage with one decimal, e.g. "3.2%".
std::string percentText(double fraction);

}  // namespace vantor
