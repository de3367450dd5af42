#pragma once
// The operating-system side of TCreateProcess, one implementation per system
// (platform/posix/ProcessRunnerPosix.cpp). Internal to the process runner.

#include "platform/ProcessRunner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::detail {

struct ProcessLaunch {
    std::string applicationName;           // trimmed; empty: the command line names the program
    std::string commandLine;               // as given
    std::string workingFolder;             // trimmed; empty: the caller's working folder
    std::vector<std::string> environment;  // "NAME=value" lines; empty: the caller's environment
    std::uint32_t creationFlags = 0;
    StartupRecord startup;
};

// A created process: its id and the operating system's handles (unused on POSIX).
struct StartedProcess {
    int processId = 0;
    std::intptr_t processHandle = 0;
    std::intptr_t threadHandle = 0;
};

// Creates the process. Throws EOSError with the operating system's code.
StartedProcess createProcess(const ProcessLaunch& launch);

// Wait thread: blocks until the process has ended and releases it (POSIX: reaps
// it). True with its exit code; false with the operating system's error code.
bool waitForExit(const StartedProcess& process, std::uint32_t& exitCode, int& error);

// No wait follows: lets the program become ready for input, releases the handles
// and makes sure the process is cleaned up when it ends (POSIX: a detached
// reaper thread, so no zombie stays behind).
void releaseProcess(const StartedProcess& process);

}  // namespace vantor::detail
