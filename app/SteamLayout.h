#pragma once
// Where today's Steam keeps its libraries and the game, and where it installs
// itself on each system. A fact that turns out different is one entry here.

#include "platform/OsFamily.h"

#include <cstddef>
#include <span>

namespace vantor {

// Steam's list of its libraries, relative to a Steam folder.
inline constexpr const char* kLibraryListFile = "steamapps/libraryfolders.vdf";
// The root key of that list ("LibraryFolders" in older clients; keys ignore case).
inline constexpr const char* kLibraryListKey = "libraryfolders";
// A library list larger than this is not Steam's.
inline constexpr std::size_t kLibraryListBound = 1024 * 1024;
// The libraries of one list that are looked at, each once; the rest are left out.
inline constexpr std::size_t kLibraryLookBound = 64;

// In a library: the folder that holds the game's folder (it becomes HL2Path),
// and the game's folder below it.
inline constexpr const char* kGameParentInLibrary = "steamapps/common/";
inline constexpr const char* kGameFolderName = "Half-Life 2";
// The game's folder as the first layout spells it (SteamApps/<account>/half-life 2/).
inline constexpr const char* kFirstGameFolderName = "half-life 2";
// The folder of a library (or of the first layout's Steam folder) that holds
// the games: the library is the folder above it.
inline constexpr const char* kLibraryAppsFolder = "steamapps";

// The program files that mark the game's folder.
std::span<const char* const> gameProgramsFor(OsFamily os);

// The program files that mark the Steam client's folder.
std::span<const char* const> steamProgramsFor(OsFamily os);

// The usual Steam folders below the user's home, in the order they are tried.
std::span<const char* const> usualSteamFoldersFor(OsFamily os);

}  // namespace vantor
