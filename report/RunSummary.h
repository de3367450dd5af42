#pragma once
// A run as a script sees it: the resolutions, each pass's score, the settings,
// the report's path and how the run ended; written as one JSON object.

#include "core/PassPolicy.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantor {

struct PassSummary {
    int width = 0;
    int height = 0;
    std::string resolution;            // "640×480"
    std::optional<std::string> score;  // the game's text, trimmed; nothing without a result
};

struct RunSummary {
    std::string status;                    // the status line at the end of the run
    bool succeeded = false;                // a report was saved
    std::string report;                    // its path; empty when none was saved
    std::string started;                   // the run's start time text
    std::vector<std::string> resolutions;  // ticked for the run, in pass order
    std::vector<PassSummary> passes;       // the passes that ended
    struct Settings {
        std::string demo, detail, antialiasing, filtering, directx, heapsize, refresh, note;
        bool fastZ = false;
    } settings;
};

// The run's settings in their one order, for every file that lists them:
// visit(name, const std::string&) for each text, visit(name, bool) for fastZ.
template <class Visit>
void forEachSetting(const RunSummary::Settings& s, Visit&& visit) {
    visit("demo", s.demo);
    visit("detail", s.detail);
    visit("antialiasing", s.antialiasing);
    visit("filtering", s.filtering);
    visit("directx", s.directx);
    visit("heapsize", s.heapsize);
    visit("refresh", s.refresh);
    visit("fastZ", s.fastZ);
    visit("note", s.note);
}

// The run's settings and its pass policy as texts under their names, in
// forEachSetting's order and then "passes", "adaptive", "threshold", "cap":
// what the history stores, `vantor-cli export` prints as "setting:NAME" and the
// result CSV holds ("Enabled"/"Disabled" for fastZ, "yes"/"no", "4%").
std::vector<std::pair<std::string, std::string>> settingTexts(const RunSummary::Settings& s, const PassPolicy& policy);

// One JSON object (UTF-8, keys in a fixed order, ended by a line break). A
// score that is a plain decimal number is written as a number, another text as
// a string, a missing one as null.
std::string runSummaryJson(const RunSummary& run);

}  // namespace vantor
