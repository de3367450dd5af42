#pragma once
// Finding the Steam client and the game: SteamPath from Steam's own registry
// value, HL2Path from a search of the Steam folder for "hl2.exe".

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

// Reads SteamExe through the Steam key; empty when the key cannot be opened or
// the value is missing. The store addresses the settings key again afterwards.
std::string readSteamPath(SettingsStore& store);

// Searches SteamPath and its subfolders for "hl2.exe"; the last match in search
// order wins. Empty when there is none.
std::string searchGameFolder(const std::string& steamPath);

// CFGPath and ResultsPath of an HL2Path.
std::string cfgPathOf(const std::string& hl2Path);
std::string resultsPathOf(const std::string& hl2Path);

}  // namespace vantor
