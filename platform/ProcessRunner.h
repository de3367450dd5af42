#pragma once
// TCreateProcess: starts one command line with control over the start-up
// window and, when asked, waits for the process on a background thread and then
// calls OnTerminate with its exit code on the UI thread. The wait thread stays
// blocked until OnTerminate has returned. The component never ends a program it
// started: destroying it while it waits only stops the waiting.
//
// On POSIX a command line that names a ".bat" file runs through the batch host
// (tools/batchhost); no shell is involved. Start-up window fields (position,
// size, show command, feedback, desktop, title) and the priority have no meaning
// there: they are kept and ignored. A POSIX exit code is the exit status (8 bits),
// or 128 + the signal number when a signal ended the program.

#include "platform/EventLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantor {

// An operating-system error: "System Error.  Code: %d." + line break + the OS
// text ("A call to an OS function failed" when the code is 0).
class EOSError : public std::runtime_error {
public:
    explicit EOSError(int code);
    int ErrorCode() const { return code_; }

private:
    int code_;
};

// Start or a change of WaitForTerminate while waiting:
// "Cannot perform this operation when process is running".
class ProcessRunningError : public std::logic_error {
public:
    ProcessRunningError();
};

enum class TProcessPriority { Idle, Normal, High, RealTime };
enum class TCPSShowWindow { Hide, Minimize, Maximize, Normal };

struct TCPSStartupInfo {
    std::string Desktop;
    std::string Title;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool DefaultPosition = true, DefaultSize = true, DefaultWindowState = true;
    TCPSShowWindow ShowWindow = TCPSShowWindow::Normal;
    bool ForceOnFeedback = false, ForceOffFeedback = false;
};

// The operating system's start-up record as built from TCPSStartupInfo.
struct StartupRecord {
    std::uint32_t cb = 68;
    std::uint32_t dwFlags = 0;
    int dwX = 0, dwY = 0, dwXSize = 0, dwYSize = 0;
    int wShowWindow = 0;
    std::string lpDesktop, lpTitle;  // empty = not passed
};
StartupRecord buildStartupRecord(const TCPSStartupInfo& info);
std::uint32_t priorityClassFlag(TProcessPriority p);

class TCreateProcess {
public:
    enum class State { Ready, Started, Waiting };
    using TerminateHandler = std::function<void(TCreateProcess& sender, std::uint32_t exitCode)>;

    explicit TCreateProcess(EventLoop& loop);
    ~TCreateProcess();
    TCreateProcess(const TCreateProcess&) = delete;
    TCreateProcess& operator=(const TCreateProcess&) = delete;

    std::string ApplicationName;
    std::string CommandLine;
    std::string CurrentDirectory;
    std::vector<std::string> Environment;
    TProcessPriority Priority = TProcessPriority::Normal;
    std::uint32_t CreationFlags = 0;
    TCPSStartupInfo StartupInfo;
    TerminateHandler OnTerminate;

    bool WaitForTerminate() const { return waitForTerminate_; }
    // Throws ProcessRunningError while waiting; resets the state to ready.
    void setWaitForTerminate(bool wait);

    // Starts CommandLine. Throws EOSError when the process cannot be created,
    // ProcessRunningError while a wait is in progress.
    void Start();

    State state() const { return state_; }
    int processId() const { return processId_; }
    std::uint32_t lastExitCode() const { return exitCode_; }
    // What the last Start passed to the operating system (ignored on POSIX).
    const StartupRecord& lastStartupRecord() const { return lastStartup_; }
    std::uint32_t lastCreationFlags() const { return lastCreationFlags_; }

private:
    struct Waiter;
    void waitEnded(std::uint32_t exitCode);
    void stopWaiting();

    EventLoop& loop_;
    bool waitForTerminate_ = true;
    State state_ = State::Ready;
    int processId_ = 0;
    std::uint32_t exitCode_ = 0;
    std::shared_ptr<Waiter> waiter_;
    StartupRecord lastStartup_;
    std::uint32_t lastCreationFlags_ = 0;
};

}  // namespace vantor
