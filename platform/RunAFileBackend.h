#pragma once
// The operating-system side of TRunAFile, one implementation per system
// (platform/posix/RunAFilePosix.cpp). Internal to the launcher.

#include "platform/ProcessRunner.h"
#include "platform/RunAFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor::detail {

// Results of a wait, as the Windows wait functions give them.
inline constexpr std::uint32_t kWaitProcessEnded = 0;  // the process (first object)
inline constexpr std::uint32_t kWaitStopped = 1;       // the stop event (second object)
inline constexpr std::uint32_t kWaitTimedOut = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

// One wait's outcome (TRet): the wait result, the operating system's error
// code read right after the wait, and the exit code when the process ended.
struct TRet {
    std::uint32_t waitResult = kWaitFailed;
    int error = 0;
    std::uint32_t exitCode = 0;
};

struct RunLaunch {
    std::string commandLine;               // trimmed and cut
    std::string workingFolder;             // empty: the caller's
    std::vector<std::string> environment;  // empty: the caller's
    std::uint32_t creationFlags = 0;
    StartupRecord startup;
};

// A started program. Destroying it closes the handle; the program keeps
// running (POSIX: a child not yet reaped is reaped in the background).
class RunProcess {
public:
    virtual ~RunProcess() = default;
    virtual int processId() const = 0;
    // Whether the program still runs (the exit code would be 259).
    virtual bool stillActive() = 0;
    // Blocks until the program ends, stop() is called (also before the wait
    // began) or limitMs passes (kInfiniteWait: no limit).
    virtual TRet wait(std::uint32_t limitMs) = 0;
    // The stop event: safe from any thread; it stays set.
    virtual void stop() = 0;
};

// Creates the process and lets it become ready for input (up to 5000 ms).
// Null with the operating system's error code when it cannot be created.
std::unique_ptr<RunProcess> startRunProcess(const RunLaunch& launch, int& error);

}  // namespace vantor::detail
