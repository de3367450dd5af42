// Windows backend of WatchProcessExits: the programs' process handles (opened
// for SYNCHRONIZE) and a stop event, waited on by one thread that posts the end
// to the event loop. WaitForMultipleObjects takes 64 handles, so 63 programs.

#include "platform/ExitNotice.h"
#include "platform/ProcessList.h"

#include <windows.h>

#include <system_error>
#include <thread>
#include <utility>

namespace vantor {
namespace {

using exit_watch::EndedAlready;
using exit_watch::Notice;
using exit_watch::postEnded;

constexpr std::size_t kMostPrograms = MAXIMUM_WAIT_OBJECTS - 1;

class HandleWatch final : public ProcessExitWatch {
public:
    // Owns the handles from here on; the stop event is handles.front().
    HandleWatch(std::vector<HANDLE> handles, std::shared_ptr<Notice> notice)
        : handles_(std::move(handles)), notice_(std::move(notice)) {}

    // False when no thread can be started.
    bool start(EventLoop& loop) {
        try {
            thread_ = std::thread([this, &loop] { watch(loop); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    ~HandleWatch() override {
        notice_->cancelled = true;
        if (thread_.joinable()) {
            SetEvent(handles_.front());
            thread_.join();
        }
        for (HANDLE h : handles_) CloseHandle(h);
    }

private:
    void watch(EventLoop& loop) {
        const DWORD r = WaitForMultipleObjects(static_cast<DWORD>(handles_.size()), handles_.data(), FALSE, INFINITE);
        // WAIT_OBJECT_0 is the stop event; a failed wait leaves the end to the caller's poll.
        if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles_.size()) postEnded(loop, notice_);
    }

    std::vector<HANDLE> handles_;
    std::shared_ptr<Notice> notice_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<ProcessExitWatch> WatchProcessExits(const std::vector<std::uint32_t>& ids, EventLoop& loop,
                                                    std::function<void()> ended) {
    if (ids.empty() || !ended) return nullptr;
    auto notice = std::make_shared<Notice>();
    notice->ended = std::move(ended);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop) return nullptr;
    std::vector<HANDLE> handles{stop};
    auto closeAll = [&handles] {
        for (HANDLE h : handles) CloseHandle(h);
    };
    for (std::uint32_t id : ids) {
        if (handles.size() > kMostPrograms) break;  // the rest is left to the caller's poll
        if (id == 0) continue;
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (process) {
            handles.push_back(process);
        } else if (GetLastError() == ERROR_INVALID_PARAMETER) {  // no such process: it has ended
            closeAll();
            return std::make_unique<EndedAlready>(loop, std::move(notice));
        }
        // Otherwise (no access) the program is left to the caller's poll.
    }
    if (handles.size() == 1) {
        closeAll();
        return nullptr;
    }
    auto watch = std::make_unique<HandleWatch>(std::move(handles), std::move(notice));
    if (!watch->start(loop)) return nullptr;  // no thread: the caller polls
    return watch;
}

}  // namespace vantor
