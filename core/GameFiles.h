#pragma once
// Names of the files a run writes or reads outside the configuration folder.

namespace vantor {

inline constexpr const char* kLaunchBatch = "vantor.bat";      // in SteamPath, one pass's launch
inline constexpr const char* kSteamBatch = "steam.bat";        // in SteamPath, starts the client
inline constexpr const char* kResultFile = "sourcebench.csv";  // in ResultsPath, written by the game
inline constexpr const char* kResultCopy = "sourcebench.txt";  // its working copy

}  // namespace vantor
