#pragma once
// Names of the files a run writes or reads outside the configuration folder.

#include "platform/PathCase.h"

#include <string>

namespace vantor {

inline constexpr const char* kLaunchBatch = "vantor.bat";      // in SteamPath, one pass's launch
inline constexpr const char* kSteamBatch = "steam.bat";        // in SteamPath, starts the client
inline constexpr const char* kResultFile = "sourcebench.csv";  // in ResultsPath, written by the game
inline constexpr const char* kResultCopy = "sourcebench.txt";  // its working copy

// The game's result file in ResultsPath, spelled as it exists: today's engine
// writes "SourceBench.csv", which a file system that tells case apart keeps.
inline std::string resultFileIn(const std::string& resultsPath) {
    return resultsPath.empty() ? std::string(kResultFile) : pathIgnoringCase(resultsPath, kResultFile);
}

}  // namespace vantor
