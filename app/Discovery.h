#pragma once
// Finding the Steam client and the game: SteamPath from Steam's own registry
// value, HL2Path from a search of the Steam folder for "hl2.exe"; when that
// finds no game, the libraries in Steam's library list and the usual Steam
// folders of this system.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

class SettingsStore;
struct KeyValuesResult;

// SteamExe with every '\\' (and '/') turned to the native separator, then its
// last 9 characters ("steam.exe") cut, without checking them. Empty when shorter.
std::string steamPathFromSteamExe(const std::string& steamExe);

// The folder above the folder that holds hl2.exe, with a trailing separator.
// folder is the folder of the match and ends with a separator.
std::string hl2PathFromMatchFolder(const std::string& folder);
// The same from a chosen file's full path.
std::string hl2PathFromFile(const std::string& file);

// Reads SteamExe through the Steam key; nothing when the key cannot be opened
// or has no such value. The store addresses the settings key again afterwards.
std::optional<std::string> readSteamExe(SettingsStore& store);
// SteamPath from SteamExe; empty when the value is missing or too short.
std::string readSteamPath(SettingsStore& store);

// HL2Path of the stored HL2Exe when that file still exists; else empty.
std::string chosenGameFolder(SettingsStore& store);

// Stores exe as the user's choice of the game (HL2Exe in the settings key)
// and returns its HL2Path. Throws SettingsError when the write is refused.
std::string storeChosenGame(SettingsStore& store, const std::string& exe);

// Searches SteamPath and its subfolders for "hl2.exe"; the last match in search
// order wins. Empty when there is none.
std::string searchGameFolder(const std::string& steamPath);

// CFGPath and ResultsPath of an HL2Path, the game's folder spelled as it
// exists ("half-life 2" or "Half-Life 2").
std::string cfgPathOf(const std::string& hl2Path);
std::string resultsPathOf(const std::string& hl2Path);

// Where a path came from, as vantor-cli discover tells it.
enum class PathSource { None, ProgramFolder, StoredValue, LibraryList, UsualFolder, UserChoice };
std::string_view pathSourceText(PathSource source);

// The library folders a parsed library list names, in file order, each with a
// trailing separator: entries with a number as key whose value is the path
// (older clients) or a section with a "path" (today's clients). Paths that are
// not absolute are left out. error is set when the list is not a library list.
std::vector<std::string> libraryPathsOf(const KeyValuesResult& parsed, std::string& error);

// The libraries in steamPath's library list. A missing list gives none; a list
// that cannot be read, is too large or is not a library list gives none and a
// note saying why.
std::vector<std::string> readLibraryList(const std::string& steamPath, std::string& note);

// The HL2Path of a library: the folder that holds the game's folder, when that
// folder holds one of the game's programs; else empty. Names are matched
// without regard to case.
std::string gameInLibrary(const std::string& library);

// The usual Steam folders below home that exist, each folder once.
std::vector<std::string> usualSteamFolders(const std::string& home);

struct SteamAndGame {
    std::string steamPath;
    PathSource steamFrom = PathSource::None;
    std::string hl2Path;
    PathSource hl2From = PathSource::None;
    std::vector<std::string> notes;  // library lists that could not be used
    bool steamValueStored = false;   // SteamExe exists, even empty
};

// Every step before the file dialog, in this order, stopping at the first game
// found:
//  1. the stored SteamExe, and the search of its folder for "hl2.exe";
//  2. that Steam folder's own library and the libraries of its library list;
//  3. the usual Steam folders below home, each with its own library and the
//     libraries of its library list (SteamPath becomes that folder);
//  4. the game the user chose before (HL2Exe), when it is still there.
// Without a game, SteamPath is the stored one, else the first usual Steam
// folder that exists, else empty (Steam was not found).
SteamAndGame findSteamAndGame(SettingsStore& store, const std::string& home);

}  // namespace vantor
