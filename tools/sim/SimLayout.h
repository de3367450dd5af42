#pragma once
// Lays out a simulated Steam installation with Half-Life 2 in a folder, for the
// demonstration run and the tests (the program make-sim-install, and the tests'
// fixture, call it directly).
//
// Accounts layout (Steam's first one):
//   DIR/Steam/steam.exe                                 the simulated client
//   DIR/Steam/SteamApps/playerK/half-life 2/hl2.exe     the game, K = 1..accounts
//   DIR/Steam/SteamApps/playerK/half-life 2/hl2/cfg/    the player's own valve.rc,
//                                                       autoexec.cfg, config.cfg (CR LF)
// Today's layout:
//   DIR/Steam/steamapps/libraryfolders.vdf              libraries "0" DIR/Steam, "1" DIR/Library2
//   DIR/Library2/steamapps/common/Half-Life 2/<game>    the game, under today's program name
//   DIR/Library2/steamapps/common/Half-Life 2/hl2/cfg/  the player's own files, as above
// Both:
//   DIR/registry.reg   [HKEY_CURRENT_USER\Software\Valve\Steam] "SteamExe"="DIR/Steam/steam.exe"
//
// Laying out again is safe: the programs are replaced by rename (a running copy
// is not disturbed), the player's files are written only where missing, and an
// existing registry.reg keeps all its other keys and values: only SteamExe is set.
// The knob file DIR/Steam/vantor-sim.cfg is never written here.

#include <string>

namespace vantor::sim {

struct SimLayoutOptions {
    std::string dir;            // created when missing
    std::string bin;            // the folder with the built steam.exe and hl2.exe
    int accounts = 1;           // 1..99; the accounts layout only
    bool today = false;         // today's layout instead of the accounts layout
    bool userFiles = true;      // the player's own configuration files
    std::string todayGameName;  // the game's program in today's layout; empty: the system's
                                // (hl2.exe on Windows, hl2_linux elsewhere)
};

struct SimLayoutResult {
    bool ok = false;
    std::string root;   // the folder, absolute, with a trailing separator
    std::string hive;   // root + "registry.reg"
    std::string error;  // what went wrong, when !ok
};

SimLayoutResult layOutSimInstall(const SimLayoutOptions& options);

}  // namespace vantor::sim
