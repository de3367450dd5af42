#pragma once
// Starting a program without a shell, shared by the POSIX backends of the
// process runner and the run-and-notify launcher.

#include <string>
#include <vector>

#include <sys/types.h>

namespace vantor::posix {

// The folder against which relative names are resolved: the new process's
// working folder made absolute, else the caller's working folder.
std::string baseFolder(const std::string& workingFolder);

// Starts file with the argument list (argv[0] included) in workingFolder
// (absolute; empty: the caller's), with the environment ("NAME=value" lines;
// empty: the caller's). Only standard input, output and error are inherited;
// the program starts with default signal handling and nothing blocked. Returns
// the process id, or 0 with the operating system's error code.
pid_t spawnProgram(const std::string& file, const std::vector<std::string>& argv, const std::string& workingFolder,
                   const std::vector<std::string>& environment, int& error);

}  // namespace vantor::posix
