#include "app/SteamLayout.h"

#include "run/SystemNames.h"

namespace vantor {
namespace {

// Windows: the client's steam.exe. Linux: the native client's start script
// steam.sh; steam.exe for the simulator's client.
constexpr const char* kWindowsSteamPrograms[] = {"steam.exe"};
constexpr const char* kPosixSteamPrograms[] = {"steam.sh", "steam.exe"};

// Linux: ~/.steam/steam (a link the client keeps to its folder),
// ~/.steam/debian-installation (Debian's package), ~/.local/share/Steam (Valve's
// package), and the Flatpak's data folder (.local/share/Steam inside the
// Flatpak's home; data/Steam in older builds of the Flatpak). Windows installs
// where the user chooses and names it in the registry (SteamExe).
constexpr const char* kPosixUsualSteamFolders[] = {
    ".steam/steam/",
    ".steam/debian-installation/",
    ".local/share/Steam/",
    ".var/app/com.valvesoftware.Steam/.local/share/Steam/",
    ".var/app/com.valvesoftware.Steam/data/Steam/",
};

}  // namespace

std::span<const char* const> gameProgramsFor(OsFamily os) { return gameProgramFilesFor(os); }

std::span<const char* const> steamProgramsFor(OsFamily os) {
    if (os == OsFamily::Windows) return kWindowsSteamPrograms;
    return kPosixSteamPrograms;
}

std::span<const char* const> usualSteamFoldersFor(OsFamily os) {
    if (os == OsFamily::Windows) return {};
    return kPosixUsualSteamFolders;
}

}  // namespace vantor
