#include "platform/RunAFile.h"

#include "platform/RunAFileBackend.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vantor {
namespace {

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// The first n characters of a UTF-8 text (a sequence is never cut in two).
std::string firstCharacters(const std::string& s, std::size_t n) {
    std::size_t i = 0, count = 0;
    while (i < s.size() && count < n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++count;
    }
    return s.substr(0, i);
}

}  // namespace

std::uint32_t priorityFlag(TPriority p) {
    switch (p) {
        case TPriority::Normal: return 0x20;
        case TPriority::Idle: return 0x40;
        case TPriority::High: return 0x80;
        case TPriority::RealTime: return 0x100;
    }
    return 0x20;
}

int showCommand(TWindowType w) {
    switch (w) {
        case TWindowType::Normal: return 1;
        case TWindowType::Minimize: return 2;
        case TWindowType::Maximize: return 3;
        case TWindowType::Hide: return 0;
        case TWindowType::MinNoActive: return 7;
        case TWindowType::ShowNA: return 8;
    }
    return 1;
}

void TParams::setProcCurrentDir(const std::string& folder) { procCurrentDir_ = trimmed(folder); }

void TParams::setTimeOutSec(unsigned seconds) {
    timeOutSec_ = seconds;
    if (seconds == 0)
        waitLimitMs_ = kInfiniteWait;
    else if (seconds <= kMaxTimeOutSec)
        waitLimitMs_ = seconds * 1000u;
    else
        waitLimitMs_ = kMaxTimeOutSec * 1000u;
}

RunOutcome convertWaitResult(std::uint32_t waitResult, int error, std::uint32_t exitCode, unsigned timeOutSec) {
    if (waitResult == detail::kWaitProcessEnded) return {TRetType::Normal, exitCode};
    if (waitResult == detail::kWaitTimedOut) return {TRetType::TimeOut, timeOutSec};
    return {TRetType::Error, static_cast<std::uint32_t>(error)};
}

namespace detail {

// What a record's wait thread and the hand-over task on the UI thread share.
// The hand-over holds it too, so it outlives a record freed by its own handler.
struct WaitShared {
    std::mutex mutex;
    std::condition_variable released;
    bool cancelled = false;   // the record stopped waiting: no notification
    bool handedOver = false;  // the UI thread has taken the result
    bool threadDone = false;  // the wait thread has nothing more to do
    bool inHandler = false;   // UI thread only
    std::thread thread;
};

namespace {
WaitThreadStarter gWaitThreadStarter = nullptr;
}  // namespace

void setWaitThreadStarter(WaitThreadStarter starter) { gWaitThreadStarter = starter; }

}  // namespace detail

// ---- TRunItem ---------------------------------------------------------------------------------

TRunItem::~TRunItem() { stopWait(); }

bool TRunItem::InHandler() const { return wait_ && wait_->inHandler; }

bool TRunItem::Waiting() const {
    if (!wait_) return false;
    std::lock_guard lock(wait_->mutex);
    return wait_->thread.joinable() && !wait_->threadDone;
}

bool TRunItem::ProcessActive() const { return process_ && process_->stillActive(); }

void TRunItem::start() {
    commandLine_ = firstCharacters(trimmed(Params.ProcFileName + " " + Params.ProcParameters), kRunAFileCommandMax);
    process_.reset();

    startup_ = StartupRecord{};
    startup_.cb = 68;
    startup_.dwFlags = 1;  // use the show command
    startup_.wShowWindow = showCommand(Params.WindowType);
    creationFlags_ = priorityFlag(Params.Priority) | 0x10;  // new console

    detail::RunLaunch launch;
    launch.commandLine = commandLine_;
    launch.workingFolder = Params.ProcCurrentDir();
    launch.environment = Params.Environment;
    launch.creationFlags = creationFlags_;
    launch.startup = startup_;
    int error = 0;
    process_ = detail::startRunProcess(launch, error);
    launched_ = process_ != nullptr;
    if (launched_) {
        startTime_ = std::chrono::system_clock::now();
        processId_ = process_->processId();
        launchError_ = 0;
    } else {
        launchError_ = error;
    }
}

// The wait thread: waits, then hands the result to the UI thread and stays
// until it has been taken there (or the record stops waiting).
void TRunItem::startWait(EventLoop& loop) {
    stopWait();
    auto shared = std::make_shared<detail::WaitShared>();
    const std::uint32_t limit = Params.WaitLimitMs();
    detail::RunProcess* process = process_.get();
    TRunItem* item = this;

    auto deliver = [shared, item](detail::TRet ret) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->cancelled) return;  // the record is gone or stopped waiting
        }
        shared->inHandler = true;
        struct ClearMark {
            detail::WaitShared& s;
            ~ClearMark() { s.inHandler = false; }
        } clear{*shared};
        const RunOutcome outcome =
            convertWaitResult(ret.waitResult, ret.error, ret.exitCode, item->Params.TimeOutSec());
        item->retType_ = outcome.type;
        item->retVal_ = outcome.value;
        // Release the wait thread before the handler runs.
        {
            std::lock_guard lock(shared->mutex);
            shared->handedOver = true;
        }
        shared->released.notify_all();
        if (TProcCompleted handler = item->OnProcCompleted) handler(*item, outcome.type, outcome.value);
    };

    auto run = [shared, process, limit, &loop, deliver] {
        const detail::TRet ret = process->wait(limit);
        std::unique_lock lock(shared->mutex);
        if (ret.waitResult != detail::kWaitStopped && !shared->cancelled) {
            loop.post([deliver, ret] { deliver(ret); });
            shared->released.wait(lock, [&] { return shared->handedOver || shared->cancelled; });
        }
        shared->threadDone = true;
    };

    wait_ = shared;
    try {
        std::lock_guard lock(shared->mutex);
        shared->thread = detail::gWaitThreadStarter ? detail::gWaitThreadStarter(run) : std::thread(run);
    } catch (const std::system_error& e) {
        // No thread: the wait is reported as failed, on the UI thread as a
        // wait thread would report it, so the waiter is not left waiting.
        {
            std::lock_guard lock(shared->mutex);
            shared->threadDone = true;
        }
        detail::TRet failed;
        failed.waitResult = detail::kWaitFailed;
        failed.error = e.code().value();
        loop.post([deliver, failed] { deliver(failed); });
    }
}

void TRunItem::waitHere() {
    const detail::TRet ret = process_->wait(Params.WaitLimitMs());
    const RunOutcome outcome = convertWaitResult(ret.waitResult, ret.error, ret.exitCode, Params.TimeOutSec());
    retType_ = outcome.type;
    retVal_ = outcome.value;
    auto shared = std::make_shared<detail::WaitShared>();
    wait_ = shared;
    shared->inHandler = true;
    struct ClearMark {
        detail::WaitShared& s;
        ~ClearMark() { s.inHandler = false; }
    } clear{*shared};
    if (TProcCompleted handler = OnProcCompleted) handler(*this, outcome.type, outcome.value);
}

// Signals the stop event and waits for the thread to end; a result it has
// handed over but the UI thread has not taken yet is dropped.
void TRunItem::stopWait() {
    if (!wait_) return;
    auto shared = std::move(wait_);
    {
        std::lock_guard lock(shared->mutex);
        shared->cancelled = true;
    }
    shared->released.notify_all();
    if (process_) process_->stop();
    if (shared->thread.joinable()) shared->thread.join();
}

// ---- TRunAFile --------------------------------------------------------------------------------

TRunAFile::TRunAFile(EventLoop& loop) : loop_(loop) {}

TRunAFile::~TRunAFile() {
    // Each record stops its wait and closes its process as it goes.
    while (!items_.empty()) items_.pop_back();
}

void TRunAFile::clearFinished() {
    for (std::size_t i = items_.size(); i-- > 0;) {
        TRunItem& item = *items_[i];
        if (item.Waiting() || item.InHandler() || item.ProcessActive()) continue;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TRunAFile::Launch() {
    if (AutoClear) clearFinished();

    items_.push_back(std::unique_ptr<TRunItem>(new TRunItem));
    TRunItem& item = *items_.back();
    item.OnProcCompleted = OnProcCompleted;
    item.OnAfterLaunch = OnAfterLaunch;
    item.Params = Params;
    item.start();

    const bool launched = item.Launched();
    if (TAfterLaunch after = item.OnAfterLaunch) {
        const TRunItem* started = &item;
        after(item, launched);
        // The handler may have launched again and so freed a failed record.
        const bool kept = std::any_of(items_.begin(), items_.end(), [&](auto& i) { return i.get() == started; });
        if (!kept) return;
    }
    if (!launched) return;
    if (!item.Params.WaitUntilDone) {
        if (item.OnProcCompleted) item.startWait(loop_);
    } else {
        item.waitHere();
    }
}

}  // namespace vantor
