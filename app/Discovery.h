#pragma once
// Finding the Steam client and the game: SteamPath from Steam's own registry
// value, HL2Path from a search of the Steam folder for "hl2.exe".

#include <optional>
#include <string>

namespace vantor {

class SettingsStore;

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

// HL2Path as start-up finds it without asking, trying in turn: the search of
// the Steam folder (when there is one), then the executable the user chose
// before (HL2Exe) when it is still there. Empty when none gives a game.
std::string discoverGameFolder(const std::string& steamPath, SettingsStore& store);

// HL2Path of the stored HL2Exe when that file still exists; else empty.
std::string chosenGameFolder(SettingsStore& store);

// Stores exe as the user's choice of the game (HL2Exe in the settings key)
// and returns its HL2Path. Throws SettingsError when the write is refused.
std::string storeChosenGame(SettingsStore& store, const std::string& exe);

// Searches SteamPath and its subfolders for "hl2.exe"; the last match in search
// order wins. Empty when there is none.
std::string searchGameFolder(const std::string& steamPath);

// CFGPath and ResultsPath of an HL2Path.
std::string cfgPathOf(const std::string& hl2Path);
std::string resultsPathOf(const std::string& hl2Path);

}  // namespace vantor
