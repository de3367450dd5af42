#pragma once
// The time a run still needs, from the passes done so far: each pass still to
// come takes as long as the passes of its resolution took, or, before its
// resolution has had one, as long as the history says (when a source is set),
// else as long as the run's passes took on average.

#include "core/Resolutions.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

class RunEstimate {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::milliseconds;
    // How long a pass of this demo at this size took before (e.g. from stored
    // runs); nullopt when unknown.
    using HistorySource = std::function<std::optional<Duration>(const std::string& demo, int width, int height)>;

    // A new run: the demo and the passes planned for each resolution.
    void begin(const std::string& demo, const std::vector<std::pair<Resolution, int>>& planned);
    // One more pass for a resolution (adaptive passes).
    void addPass(Resolution r);
    void passStarted(Resolution r, Clock::time_point at);
    void passEnded(Resolution r, Clock::time_point at);

    // The time left at `now`; nullopt while nothing tells how long a pass takes.
    std::optional<Duration> timeLeft(Clock::time_point now) const;

    // Where a resolution's first pass is estimated from before it has one.
    HistorySource history;

private:
    struct Entry {
        int planned = 0;
        int done = 0;
        Duration total{0};  // of the passes done
    };
    std::optional<Duration> perPass(Resolution r, const Entry& e) const;

    std::string demo_;
    std::vector<Resolution> order_;
    std::map<Resolution, Entry> entries_;
    std::optional<std::pair<Resolution, Clock::time_point>> current_;
};

// "about 2 min 10 s", "about 45 s", "less than a second".
std::string timeLeftText(std::chrono::milliseconds left);

}  // namespace vantor
