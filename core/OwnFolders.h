#pragma once
// Where the program writes what it makes itself: the debug log, the hardware
// report and, unless the user chose a results folder, the reports. A copy whose
// folder the user can write (a portable copy) keeps them beside itself; an
// installed copy in a folder the user cannot write uses the user's folders.

#include <string>

namespace vantor {

struct Paths;

struct OwnFolders {
    std::string files;    // debug log, hardware report
    std::string results;  // the reports when the user chose no results folder
};

// The choice itself. benchPath: the program's folder; dataFolder: the user's
// data folder of the program; documentsFolder: the user's documents folder
// (each with a trailing separator, or empty when unknown).
//   writable folder:  files = benchPath, results = benchPath + "Benchmark/"
//   otherwise:        files = dataFolder, results = documentsFolder + "Vantor/"
//                     (dataFolder + "Benchmark/" without a documents folder)
// Unknown folders give empty ones, never a folder relative to the working one.
OwnFolders pickOwnFolders(const std::string& benchPath, bool benchWritable, const std::string& dataFolder,
                          const std::string& documentsFolder);

// The choice for this user: whether a file can be created in benchPath, the
// platform's data and documents folders. The data folder is created when it is
// the one chosen (the hardware-report tool writes into it).
OwnFolders ownFoldersFor(const std::string& benchPath);

// Sets paths.OwnFilesPath and paths.DefaultReportPath for paths.BenchPath.
void useOwnFolders(Paths& paths);

}  // namespace vantor
