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

// Whether file is one of this system's game programs (gameProgramsFor, the
// name compared as this system compares names), exists and lies in a game
// folder. why tells the user what is wrong when not.
bool isGameProgram(const std::string& file, std::string& why);

// Whether folder holds the Steam client's program of this system
// (steamProgramsFor: steam.exe; on Linux steam.sh, or the simulator's steam.exe).
bool isSteamFolder(const std::string& folder);

// Stores folder (made absolute) as the user's choice of the Steam folder: the
// settings value SteamFolder, which later start-ups use right after SteamExe.
// Steam's own key is not written. Returns empty when stored, else why the
// folder is refused (missing, no Steam client in it, settings not open).
// Throws SettingsError when the write is refused.
std::string storeChosenSteam(SettingsStore& store, const std::string& folder);

// The stored SteamFolder with a trailing separator while it still holds the
// Steam client; else empty.
std::string chosenSteamFolder(SettingsStore& store);

// The Steam folder of a game's HL2Path: the library X of X/steamapps/common/
// (or of the first layout's X/SteamApps/<account>/) when X holds the Steam
// client; else a Steam folder that X's library list names and whose own list
// names X. Empty when there is none.
std::string steamFolderOfGame(const std::string& hl2Path);

// Searches SteamPath and its subfolders for "hl2.exe"; the last match in search
// order wins. Empty when there is none.
std::string searchGameFolder(const std::string& steamPath);

// The game's folder in an HL2Path, with a trailing separator: of the spellings
// of "half-life 2" there, the first that holds one of the game's programs
// ("Half-Life 2" first, the others in byte order); without one, "half-life 2"
// spelled as it exists. Empty for an empty HL2Path. Discovery and the paths
// below use this one rule, so they name the same folder.
std::string gameFolderOf(const std::string& hl2Path);
// The game's folder of a chosen program file: the file's own folder when that
// is a spelling of "half-life 2", else gameFolderOf its HL2Path.
std::string gameFolderOfFile(const std::string& exe);

// CFGPath and ResultsPath of a game's folder: "hl2/cfg/" and "hl2/" in it,
// spelled as they exist. Empty for an empty folder.
std::string cfgPathIn(const std::string& gameFolder);
std::string resultsPathIn(const std::string& gameFolder);

// CFGPath and ResultsPath of an HL2Path: those of gameFolderOf(hl2Path).
std::string cfgPathOf(const std::string& hl2Path);
std::string resultsPathOf(const std::string& hl2Path);

// Where a path came from, as vantor-cli discover tells it.
enum class PathSource { None, ProgramFolder, StoredValue, LibraryList, UsualFolder, UserChoice, DerivedFromGame };
std::string_view pathSourceText(PathSource source);

// The library folders a parsed library list names, in file order, each with a
// trailing separator: entries with a number as key whose value is the path
// (older clients) or a section with a "path" (today's clients). Paths that are
// not absolute are left out. error is set when the list is not a library list.
std::vector<std::string> libraryPathsOf(const KeyValuesResult& parsed, std::string& error);

// The libraries in steamPath's library list, each once (paths compared as this
// system compares them, repeated separators and "." left aside), at most
// kLibraryLookBound of them, with a note when more are named. A missing list
// gives none; a list that cannot be read, is too large or is not a library
// list gives none and a note saying why.
std::vector<std::string> readLibraryList(const std::string& steamPath, std::string& note);

// The HL2Path of a library: the folder that holds the game's folder, when that
// folder holds one of the game's programs; else empty. Names are matched
// without regard to case, every spelling that exists in turn.
std::string gameInLibrary(const std::string& library);

// The usual Steam folders below home that exist, each folder once.
std::vector<std::string> usualSteamFolders(const std::string& home);

struct SteamAndGame {
    std::string steamPath;
    PathSource steamFrom = PathSource::None;
    std::string hl2Path;
    std::string gameFolder;  // the game's folder found in hl2Path (gameFolderOf, or the chosen file's)
    PathSource hl2From = PathSource::None;
    std::vector<std::string> notes;  // library lists that could not be used
    bool steamValueStored = false;   // SteamExe exists, even empty
};

// Every step before the file dialog, in this order, stopping at the first game
// found; each library is looked at once:
//  1. the stored SteamExe, and the search of its folder for "hl2.exe";
//  2. that Steam folder's own library and the libraries of its library list;
//  3. the Steam folder the user chose (SteamFolder), as in 1. and 2.
//     (SteamPath becomes it);
//  4. the usual Steam folders below home, each with its own library and the
//     libraries of its library list (SteamPath becomes that folder);
//  5. the game the user chose before (HL2Exe), when it is still there.
// Without a game, SteamPath is the stored one, else the chosen one, else the
// first usual Steam folder that exists, else empty (Steam was not found). With
// a game but no Steam folder, SteamPath is the game's (steamFolderOfGame).
SteamAndGame findSteamAndGame(SettingsStore& store, const std::string& home);

}  // namespace vantor
