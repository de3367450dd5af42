#pragma once
// Shared pieces of the Steam and game simulator: where the programs are, the
// knobs that steer them, and the mode of one game launch.
//
// Knobs are lines "name=value" of the optional file vantor-sim.cfg in the Steam
// folder ('#' starts a comment line); the environment variable VANTOR_SIM_<NAME>
// (name upper-cased) overrides a line. The file is read at every launch, so a
// test can change the behaviour between passes without restarting anything.

#include "SimSystem.h"

#include <map>
#include <string>

namespace vantor::sim {

inline constexpr const char* kKnobFile = "vantor-sim.cfg";
// Created in the Steam folder when mode_once has been used; while it exists
// mode_once is ignored (delete it to arm mode_once again).
inline constexpr const char* kOnceMarker = "vantor-sim.once";
// Set by steam.exe for the game it starts: the mode it resolved for the launch.
inline constexpr const char* kResolvedModeVar = "VANTOR_SIM_RESOLVED_MODE";
// Set by steam.exe for the game it starts: its own folder (where the knobs are),
// which a game in another library cannot find by itself.
inline constexpr const char* kSteamFolderVar = "VANTOR_SIM_STEAM_FOLDER";

class Knobs {
public:
    explicit Knobs(const std::string& steamFolder);
    // The environment value, else the file's, else fallback.
    std::string get(const std::string& name, const std::string& fallback = {}) const;
    // A non-negative integer knob; a missing or malformed value gives fallback.
    long getMs(const std::string& name, long fallback) const;

private:
    std::map<std::string, std::string> file_;
};

// The mode of one game launch: "normal", "crash", "hang", "nostart",
// "malformed" or "wrongsize" (a result for another resolution). In this order: mode_once (when the marker is absent;
// using it creates the marker), then the lists <mode>_widths (comma-separated widths, e.g. crash_widths=640,1024)
// against the launch's width, then mode. An unknown value counts as "normal" and is reported on stderr.
std::string resolveMode(const Knobs& knobs, const std::string& steamFolder, const std::string& width);

// The knob `timeline=FILE` (for benchmarks): appends the line "EVENT NS WIDTH"
// to FILE, NS from monotonicNs(), in one write with O_APPEND so that lines of
// several programs never mix. Events: steam.exe "launch" (an -applaunch of the
// installed game, stamped when the program started), hl2.exe "start" (stamped
// when it starts) and "exit" (just before it quits by itself: after its result,
// without one, or by the crash mode). Without the knob nothing is written; a
// file that cannot be written is reported on stderr.
void timeline(const Knobs& knobs, const char* event, long long ns, const std::string& width);

// Case-insensitive equality of two ASCII texts.
bool equalsNoCase(const std::string& a, const std::string& b);

}  // namespace vantor::sim
