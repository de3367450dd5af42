// Linux backend of WatchProcessExits: a pidfd per program (readable once the
// program has ended, whoever its parent is) and an eventfd to stop, polled by
// one thread that posts the end to the event loop.

#include "platform/ExitNotice.h"
#include "platform/ProcessList.h"

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantor {
namespace {

using exit_watch::EndedAlready;
using exit_watch::Notice;
using exit_watch::postEnded;

class PidfdWatch final : public ProcessExitWatch {
public:
    // Owns the descriptors from here on.
    PidfdWatch(std::vector<int> pidfds, int stopfd, std::shared_ptr<Notice> notice)
        : pidfds_(std::move(pidfds)), stopfd_(stopfd), notice_(std::move(notice)) {}

    // False when no thread can be started.
    bool start(EventLoop& loop) {
        try {
            thread_ = std::thread([this, &loop] { watch(loop); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    ~PidfdWatch() override {
        notice_->cancelled = true;
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] auto n = ::write(stopfd_, &one, sizeof one);
            thread_.join();
        }
        for (int fd : pidfds_) ::close(fd);
        ::close(stopfd_);
    }

private:
    void watch(EventLoop& loop) {
        std::vector<pollfd> fds;
        fds.push_back({stopfd_, POLLIN, 0});
        for (int fd : pidfds_) fds.push_back({fd, POLLIN, 0});
        for (;;) {
            const int n = ::poll(fds.data(), fds.size(), -1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || fds[0].revents != 0) return;  // stopped, or nothing more can be learnt here
            for (std::size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents != 0) return postEnded(loop, notice_);
        }
    }

    std::vector<int> pidfds_;
    int stopfd_;
    std::shared_ptr<Notice> notice_;
    std::thread thread_;
};

int openPidfd(std::uint32_t id) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(id), 0);
    return fd < 0 ? -1 : static_cast<int>(fd);
#else
    (void)id;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

std::unique_ptr<ProcessExitWatch> WatchProcessExits(const std::vector<std::uint32_t>& ids, EventLoop& loop,
                                                    std::function<void()> ended) {
    if (ids.empty() || !ended) return nullptr;
    auto notice = std::make_shared<Notice>();
    notice->ended = std::move(ended);
    std::vector<int> pidfds;
    auto closeAll = [&pidfds] {
        for (int fd : pidfds) ::close(fd);
    };
    for (std::uint32_t id : ids) {
        if (id == 0 || id > 0x7FFFFFFFu) continue;
        const int fd = openPidfd(id);
        if (fd >= 0) {
            pidfds.push_back(fd);
        } else if (errno == ESRCH) {
            closeAll();
            return std::make_unique<EndedAlready>(loop, std::move(notice));
        }
        // Otherwise (no pidfds on this system, no descriptor to spare) the
        // program is left to the caller's poll.
    }
    if (pidfds.empty()) return nullptr;
    const int stopfd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopfd < 0) {
        closeAll();
        return nullptr;
    }
    auto watch = std::make_unique<PidfdWatch>(std::move(pidfds), stopfd, std::move(notice));
    if (!watch->start(loop)) return nullptr;  // no thread: the caller polls
    return watch;
}

}  // namespace vantor
