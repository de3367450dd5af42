#include "platform/ProcessRunner.h"

#include "platform/ProcessRunnerBackend.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vantor {
namespace {

std::string osErrorText(int code) {
    if (code == 0) return "A call to an OS function failed";
    return "System Error.  Code: " + std::to_string(code) + ".\n" + detail::osErrorMessage(code);
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

}  // namespace

EOSError::EOSError(int code) : std::runtime_error(osErrorText(code)), code_(code) {}

ProcessRunningError::ProcessRunningError()
    : std::logic_error("Cannot perform this operation when process is running") {}

StartupRecord buildStartupRecord(const TCPSStartupInfo& info) {
    StartupRecord r;
    r.lpDesktop = info.Desktop;
    r.lpTitle = info.Title;
    if (!info.DefaultPosition) {
        r.dwX = info.Left;
        r.dwY = info.Top;
        r.dwFlags |= 0x4;
    }
    if (!info.DefaultSize) {
        r.dwXSize = info.Width;
        r.dwYSize = info.Height;
        r.dwFlags |= 0x2;
    }
    if (!info.DefaultWindowState) {
        r.dwFlags |= 0x1;
        switch (info.ShowWindow) {
            case TCPSShowWindow::Hide: r.wShowWindow = 0; break;
            case TCPSShowWindow::Minimize: r.wShowWindow = 2; break;
            case TCPSShowWindow::Maximize: r.wShowWindow = 3; break;
            case TCPSShowWindow::Normal: r.wShowWindow = 1; break;
        }
    }
    if (info.ForceOnFeedback) r.dwFlags |= 0x40;
    if (info.ForceOffFeedback) r.dwFlags |= 0x80;
    return r;
}

std::uint32_t priorityClassFlag(TProcessPriority p) {
    switch (p) {
        case TProcessPriority::Idle: return 0x40;
        case TProcessPriority::Normal: return 0x20;
        case TProcessPriority::High: return 0x80;
        case TProcessPriority::RealTime: return 0x100;
    }
    return 0x20;
}

// What one waited start shares between the component, its wait thread and the
// hand-over task queued on the UI thread. Each start has its own, so a start
// from inside OnTerminate never meets the previous wait thread's state.
struct TCreateProcess::Waiter {
    std::mutex mutex;
    std::condition_variable handedOver;
    bool cancelled = false;  // the component stopped waiting: no notification
    bool done = false;       // the wait-ended routine has returned
    bool closed = false;     // the wait thread has let go of the process
    TCreateProcess* owner = nullptr;
    EventLoop* loop = nullptr;
    detail::StartedProcess process;

    // Wait thread. The hand-over is posted under the mutex, so once the
    // component has cancelled, this thread never touches the loop again; it then
    // blocks until the routine has returned on the UI thread, or until the
    // component cancels. The stop event is set only while the thread has not
    // let go of the process.
    static void run(std::shared_ptr<Waiter> w) {
        std::uint32_t exitCode = 0;
        int error = 0;
        if (!detail::waitForExit(w->process, exitCode, error)) exitCode = 0;  // failed wait: 0
        {
            std::unique_lock lock(w->mutex);
            if (!w->cancelled) {
                w->loop->post([w, exitCode] { deliver(w, exitCode); });
                w->handedOver.wait(lock, [&] { return w->done || w->cancelled; });
            }
            w->closed = true;
        }
        detail::closeWait(w->process);
    }

    // UI thread. Cancellation also happens only on the UI thread, so the owner
    // cannot go away between the check and the call.
    static void deliver(const std::shared_ptr<Waiter>& w, std::uint32_t exitCode) {
        TCreateProcess* owner = nullptr;
        {
            std::lock_guard lock(w->mutex);
            if (w->cancelled) return;
            owner = w->owner;
        }
        struct Release {
            Waiter& w;
            ~Release() {
                {
                    std::lock_guard lock(w.mutex);
                    w.done = true;
                }
                w.handedOver.notify_all();
            }
        } release{*w};
        owner->waitEnded(exitCode);
    }
};

TCreateProcess::TCreateProcess(EventLoop& loop) : loop_(loop) {}

TCreateProcess::~TCreateProcess() {
    if (state_ == State::Waiting) stopWaiting();
}

void TCreateProcess::setWaitForTerminate(bool wait) {
    if (state_ == State::Waiting) throw ProcessRunningError();
    waitForTerminate_ = wait;
    state_ = State::Ready;
}

void TCreateProcess::Start() {
    if (state_ == State::Waiting) throw ProcessRunningError();
    state_ = State::Ready;
    processId_ = 0;

    detail::ProcessLaunch launch;
    launch.creationFlags = priorityClassFlag(Priority) | CreationFlags;
    launch.applicationName = trimmed(ApplicationName);
    launch.commandLine = CommandLine;
    launch.workingFolder = trimmed(CurrentDirectory);
    launch.environment = Environment;
    launch.startup = buildStartupRecord(StartupInfo);
    lastCreationFlags_ = launch.creationFlags;
    lastStartup_ = launch.startup;

    const detail::StartedProcess process = detail::createProcess(launch);  // throws EOSError
    processId_ = process.processId;

    if (!waitForTerminate_) {
        detail::releaseProcess(process);
        state_ = State::Started;
        return;
    }

    auto w = std::make_shared<Waiter>();
    w->owner = this;
    w->loop = &loop_;
    w->process = process;
    if (int error = 0; !detail::prepareWait(w->process, error)) {
        detail::releaseProcess(process);
        throw EOSError(error);
    }
    try {
        std::thread(&Waiter::run, w).detach();
    } catch (const std::system_error& e) {
        detail::releaseProcess(w->process);
        throw EOSError(e.code().value());
    }
    waiter_ = std::move(w);
    state_ = State::Waiting;
}

void TCreateProcess::waitEnded(std::uint32_t exitCode) {
    waiter_.reset();
    exitCode_ = exitCode;
    state_ = State::Ready;
    // A copy: the handler may assign OnTerminate or start again while it runs.
    if (TerminateHandler handler = OnTerminate) handler(*this, exitCode);
}

// The wait thread ends without a notification (POSIX: after it has reaped the
// child; Windows: at once, through the stop event); the program keeps running.
void TCreateProcess::stopWaiting() {
    if (waiter_) {
        {
            std::lock_guard lock(waiter_->mutex);
            waiter_->cancelled = true;
            if (!waiter_->closed) detail::stopWait(waiter_->process);
        }
        waiter_->handedOver.notify_all();
        waiter_.reset();
    }
    state_ = State::Ready;
}

}  // namespace vantor
