#pragma once
// TRunAFile: starts one command line per Launch, keeps a run record (TRunItem)
// for every start, waits for each started program on a thread of the record and
// then calls OnProcCompleted on the UI thread with the kind of ending and a
// value. The wait thread is released before the handler runs, so a handler may
// take long and start further work (even another Launch). The component never
// ends a program it started: freeing it, or a record, while a wait is under way
// only stops the waiting, without a notification.
//
// POSIX: the command line is split into words as a Windows program receives it
// (blanks separate words, double quotes group them) and started without a
// shell; its first word is the program, looked up in the working folder, then
// on PATH. Priority, window type and the start-up record have no meaning there:
// they are kept and ignored. UseAssociations is kept; Launch never looks one up.

#include "platform/EventLoop.h"
#include "platform/ProcessRunner.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantor {

namespace detail {
class RunProcess;
struct WaitShared;
// Starts a record's wait thread; tests put a starter in its place that fails
// as the system does when it has no thread to give (std::system_error).
using WaitThreadStarter = std::thread (*)(std::function<void()> body);
void setWaitThreadStarter(WaitThreadStarter starter);  // nullptr: the standard one
}  // namespace detail

enum class TPriority { Normal, Idle, High, RealTime };
enum class TWindowType { Normal, Minimize, Maximize, Hide, MinNoActive, ShowNA };
// The kind of ending; RetVal is the exit code (Normal), the operating
// system's error code (Error) or TimeOutSec (TimeOut).
enum class TRetType : std::uint32_t { None = 0, Normal = 1, Error = 2, TimeOut = 3 };

// Creation flag of a priority class: 0x20, 0x40, 0x80, 0x100.
std::uint32_t priorityFlag(TPriority p);
// Show command of a window type: 1, 2, 3, 0, 7, 8.
int showCommand(TWindowType w);

inline constexpr std::uint32_t kInfiniteWait = 0xFFFFFFFFu;
inline constexpr std::size_t kRunAFileCommandMax = 512;  // characters of a command line
inline constexpr unsigned kMaxTimeOutSec = 3600;

// The template of a start, copied into each run record.
class TParams {
public:
    TPriority Priority = TPriority::Normal;
    std::vector<std::string> Environment;  // "NAME=value" lines; empty: the caller's environment
    std::string ProcFileName;
    std::string ProcParameters;
    bool UseAssociations = false;
    std::string UserString;
    int UserTag = 0;
    bool WaitUntilDone = false;
    TWindowType WindowType = TWindowType::Normal;

    // The started program's working folder; empty: the caller's. Trimmed when set.
    const std::string& ProcCurrentDir() const { return procCurrentDir_; }
    void setProcCurrentDir(const std::string& folder);

    // Seconds to wait at most; 0 waits without a limit. The wait limit follows:
    // 0 gives none, 1..3600 the value times 1000 ms, above 3600 one hour.
    unsigned TimeOutSec() const { return timeOutSec_; }
    void setTimeOutSec(unsigned seconds);
    std::uint32_t WaitLimitMs() const { return waitLimitMs_; }  // kInfiniteWait: no limit

private:
    std::string procCurrentDir_;
    unsigned timeOutSec_ = 0;
    std::uint32_t waitLimitMs_ = kInfiniteWait;
};

class TRunItem;
using TProcCompleted = std::function<void(TRunItem& RunItem, TRetType RetType, std::uint32_t RetVal)>;
using TAfterLaunch = std::function<void(TRunItem& RunItem, bool Launched)>;

// One start: its own copy of the parameters and handlers, the command line,
// the process, and its wait.
class TRunItem {
public:
    ~TRunItem();
    TRunItem(const TRunItem&) = delete;
    TRunItem& operator=(const TRunItem&) = delete;

    TParams Params;
    TProcCompleted OnProcCompleted;
    TAfterLaunch OnAfterLaunch;

    const std::string& CommandLine() const { return commandLine_; }
    const StartupRecord& StartupInfo() const { return startup_; }
    std::uint32_t CreationFlags() const { return creationFlags_; }
    bool Launched() const { return launched_; }
    int ProcessId() const { return processId_; }
    // Local date and time of the start.
    std::chrono::system_clock::time_point StartTime() const { return startTime_; }
    // The operating system's code when the start failed.
    int LaunchError() const { return launchError_; }
    TRetType RetType() const { return retType_; }
    std::uint32_t RetVal() const { return retVal_; }

    // Whether its completion handler is running.
    bool InHandler() const;
    // Whether its wait thread still runs (waiting, or handing over its result).
    bool Waiting() const;
    // Whether its program still runs (a finished or never started one does not).
    bool ProcessActive() const;

private:
    friend class TRunAFile;
    TRunItem() = default;
    void start();
    void startWait(EventLoop& loop);
    void waitHere();
    void stopWait();

    std::string commandLine_;
    StartupRecord startup_;
    std::uint32_t creationFlags_ = 0;
    bool launched_ = false;
    int launchError_ = 0;
    int processId_ = 0;
    std::chrono::system_clock::time_point startTime_{};
    TRetType retType_ = TRetType::None;
    std::uint32_t retVal_ = 0;
    std::unique_ptr<detail::RunProcess> process_;
    std::shared_ptr<detail::WaitShared> wait_;
};

class TRunAFile {
public:
    explicit TRunAFile(EventLoop& loop);
    // Frees every record: pending waits end without a notification; the
    // programs keep running.
    ~TRunAFile();
    TRunAFile(const TRunAFile&) = delete;
    TRunAFile& operator=(const TRunAFile&) = delete;

    static std::string Version() { return "2.08"; }

    bool AutoClear = true;
    TParams Params;
    TProcCompleted OnProcCompleted;
    TAfterLaunch OnAfterLaunch;

    // Creates a run record from Params and the handlers and starts it. Raises
    // nothing when the program cannot be started: OnAfterLaunch then gets the
    // record and false, and no OnProcCompleted follows for it.
    void Launch();

    // The run records, oldest first (TRunItemLst).
    std::size_t ItemCount() const { return items_.size(); }
    TRunItem& Item(std::size_t index) { return *items_.at(index); }

private:
    void clearFinished();

    EventLoop& loop_;
    std::vector<std::unique_ptr<TRunItem>> items_;
};

// What one wait's outcome turns into: the process ended (0) -> Normal with
// the exit code; the limit ran out (258) -> TimeOut with TimeOutSec; any
// other result -> Error with the error code read after the wait.
struct RunOutcome {
    TRetType type;
    std::uint32_t value;
};
RunOutcome convertWaitResult(std::uint32_t waitResult, int error, std::uint32_t exitCode, unsigned timeOutSec);

}  // namespace vantor
