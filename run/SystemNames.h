#pragma once
// The names Steam and the game go by on each system: the process names the
// running checks look for, and the program the launch command starts. A name
// that turns out different is one entry of these tables.

#include "platform/OsFamily.h"

#include <span>
#include <string>

namespace vantor {

struct ProcessNames {
    std::span<const char* const> steam;  // the Steam client
    std::span<const char* const> game;   // Half-Life 2
};

// The program files that mark the game's folder (and that the user may pick
// as the game): Windows hl2.exe; Linux also the native game's hl2.sh,
// hl2_linux and hl2_linux64.
std::span<const char* const> gameProgramFilesFor(OsFamily os);
// Those names for a message: "hl2.exe", or "hl2.exe, hl2.sh, hl2_linux or hl2_linux64".
std::string gameProgramsText(OsFamily os);

// A program counts as running when some running process's name contains one
// of these names, ignoring case.
const ProcessNames& processNamesFor(OsFamily os);

// The program that starts the launch command and "steam.bat" for a Steam
// folder. "steam.exe" as on Windows, unless the folder is a native Linux
// client's (it holds the client's "steam.sh"): then "steam" (the client's
// command, found on PATH), or "flatpak run com.valvesoftware.Steam" for the
// Flatpak's folder. Both hand "-applaunch" to the client that runs.
std::string steamProgramFor(OsFamily os, const std::string& steamPath);

}  // namespace vantor
