#include "run/SystemNames.h"

#include "platform/FileOps.h"
#include "platform/PathCase.h"

namespace vantor {
namespace {

// Windows: the programs' file names.
constexpr const char* kWindowsSteam[] = {"steam.exe"};
constexpr const char* kWindowsGame[] = {"hl2.exe"};

// Linux: the native client runs as "steam" (ubuntu12_32/steam); the native game
// is started by hl2.sh and runs as "hl2_linux" (32-bit builds) or
// "hl2_linux64". "steam.exe" and "hl2.exe" stay for Windows programs started
// through a compatibility layer and for the simulator.
constexpr const char* kPosixSteam[] = {"steam.exe", "steam"};
constexpr const char* kPosixGame[] = {"hl2.exe", "hl2_linux", "hl2_linux64"};

// Windows: hl2.exe. Linux: the native game's start script hl2.sh and its
// binaries hl2_linux (32-bit) and hl2_linux64; hl2.exe for the Windows game run
// through a compatibility layer (Proton) and for the simulator.
constexpr const char* kWindowsGamePrograms[] = {"hl2.exe"};
constexpr const char* kPosixGamePrograms[] = {"hl2.exe", "hl2.sh", "hl2_linux", "hl2_linux64"};

constexpr ProcessNames kWindowsNames{kWindowsSteam, kWindowsGame};
constexpr ProcessNames kPosixNames{kPosixSteam, kPosixGame};

// A native Linux client's folder holds its start script.
constexpr const char* kLinuxClientScript = "steam.sh";
constexpr const char* kLinuxClientCommand = "steam";
// The Flatpak's Steam folder lies below this folder of the user's home.
constexpr const char* kFlatpakAppFolder = "/.var/app/com.valvesoftware.Steam/";
constexpr const char* kFlatpakCommand = "flatpak run com.valvesoftware.Steam";

}  // namespace

std::span<const char* const> gameProgramFilesFor(OsFamily os) {
    if (os == OsFamily::Windows) return kWindowsGamePrograms;
    return kPosixGamePrograms;
}

std::string gameProgramsText(OsFamily os) {
    const auto names = gameProgramFilesFor(os);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

const ProcessNames& processNamesFor(OsFamily os) { return os == OsFamily::Windows ? kWindowsNames : kPosixNames; }

std::string steamProgramFor(OsFamily os, const std::string& steamPath) {
    if (os == OsFamily::Windows || steamPath.empty()) return "steam.exe";
    if (!fileExists(pathIgnoringCase(steamPath, kLinuxClientScript))) return "steam.exe";
    return steamPath.find(kFlatpakAppFolder) != std::string::npos ? kFlatpakCommand : kLinuxClientCommand;
}

}  // namespace vantor
