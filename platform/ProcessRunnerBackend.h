#pragma once
// The operating-system side of TCreateProcess, one implementation per system
// (platform/posix/ProcessRunnerPosix.cpp, platform/win/ProcessRunnerWin.cpp).
// Internal to the process runner.

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

// A created process: its id and the operating system's handles (unused on
// POSIX), with the stop event of a waited start (Windows).
struct StartedProcess {
    int processId = 0;
    std::intptr_t processHandle = 0;
    std::intptr_t threadHandle = 0;
    std::intptr_t stopEvent = 0;
};

// The operating system's text for an error code.
std::string osErrorMessage(int code);

// Creates the process. Throws EOSError with the operating system's code.
StartedProcess createProcess(const ProcessLaunch& launch);

// Makes a started process ready to be waited for (Windows: its stop event).
// False with the operating system's error code.
bool prepareWait(StartedProcess& process, int& error);

// Wait thread: blocks until the process has ended (POSIX: reaps it) or the stop
// event is set. True with its exit code; false with the operating system's
// error code, or when stopped.
bool waitForExit(const StartedProcess& process, std::uint32_t& exitCode, int& error);

// Sets the stop event of a waited start (any thread), before closeWait.
void stopWait(const StartedProcess& process);

// After the wait: closes the handles and the stop event (POSIX: nothing).
void closeWait(const StartedProcess& process);

// No wait follows: lets the program become ready for input, releases the handles
// (and a stop event) and makes sure the process is cleaned up when it ends
// (POSIX: a detached reaper thread, so no zombie stays behind).
void releaseProcess(const StartedProcess& process);

}  // namespace vantor::detail
