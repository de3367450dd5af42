// POSIX backend of TRunAFile: the command line split into words as a Windows
// program receives them, started with posix_spawn (no shell). A wait watches a
// pidfd of the child and an eventfd (the stop event) with poll; where pidfds are
// missing it looks at the child every few milliseconds instead. A child is
// reaped once, by whichever of wait() and stillActive() sees it end first; a
// child that has not ended when its handle is closed is reaped by a background
// thread, so no zombie stays behind.

#include "platform/RunAFileBackend.h"

#include "platform/posix/ProgramLookup.h"
#include "platform/posix/SpawnPosix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <system_error>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantor::detail {
namespace {

constexpr auto kFallbackPoll = std::chrono::milliseconds(5);

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd < 0 ? -1 : static_cast<int>(fd);
#else
    (void)pid;
    return -1;
#endif
}

class PosixRunProcess final : public RunProcess {
public:
    explicit PosixRunProcess(pid_t pid)
        : pid_(pid), pidfd_(openPidfd(pid)), stopfd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    ~PosixRunProcess() override {
        if (pidfd_ >= 0) ::close(pidfd_);
        if (stopfd_ >= 0) ::close(stopfd_);
        std::lock_guard lock(mutex_);
        if (reaped_) return;
        const pid_t pid = pid_;
        try {
            std::thread([pid] {
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            }).detach();
        } catch (const std::system_error&) {
            // No thread to spare: the child is reaped when this program ends.
        }
    }

    int processId() const override { return static_cast<int>(pid_); }

    bool stillActive() override {
        std::lock_guard lock(mutex_);
        return !reapIfEnded();
    }

    TRet wait(std::uint32_t limitMs) override {
        using Clock = std::chrono::steady_clock;
        const bool limited = limitMs != kInfiniteWait;
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
        TRet ret;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (reapIfEnded()) {
                    ret.waitResult = reapError_ ? kWaitFailed : kWaitProcessEnded;
                    ret.error = reapError_;
                    ret.exitCode = exitCode_;
                    return ret;
                }
            }
            if (stopSet()) {
                ret.waitResult = kWaitStopped;
                return ret;
            }
            int timeout = -1;
            if (limited) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0) {
                    ret.waitResult = kWaitTimedOut;
                    return ret;
                }
                timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
            }
            pollfd fds[2] = {{stopfd_, POLLIN, 0}, {pidfd_, POLLIN, 0}};
            nfds_t count = 2;
            if (pidfd_ < 0) {
                count = 1;
                const int step = static_cast<int>(kFallbackPoll.count());
                timeout = timeout < 0 ? step : std::min(timeout, step);
            }
            if (stopfd_ < 0) {
                ret.waitResult = kWaitFailed;
                ret.error = EBADF;
                return ret;
            }
            if (::poll(fds, count, timeout) < 0 && errno != EINTR) {
                ret.waitResult = kWaitFailed;
                ret.error = errno;
                return ret;
            }
        }
    }

    void stop() override {
        if (stopfd_ < 0) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(stopfd_, &one, sizeof one);
    }

private:
    bool stopSet() const {
        pollfd fd{stopfd_, POLLIN, 0};
        return stopfd_ >= 0 && ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN);
    }

    // Under the mutex: true once the child has ended (and is reaped).
    bool reapIfEnded() {
        if (reaped_) return true;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0) return false;
        reaped_ = true;
        if (r == pid_) {
            exitCode_ = posix::exitCodeOf(status);
        } else {
            reapError_ = errno;  // someone else reaped it: the wait fails
        }
        return true;
    }

    const pid_t pid_;
    const int pidfd_;
    const int stopfd_;
    std::mutex mutex_;
    bool reaped_ = false;
    int reapError_ = 0;
    std::uint32_t exitCode_ = 0;
};

}  // namespace

std::unique_ptr<RunProcess> startRunProcess(const RunLaunch& launch, int& error) {
    if (!launch.workingFolder.empty()) {
        struct stat st {};
        if (::stat(launch.workingFolder.c_str(), &st) != 0) {
            error = errno;
            return nullptr;
        }
        if (!S_ISDIR(st.st_mode)) {
            error = ENOTDIR;
            return nullptr;
        }
    }
    const std::string base = posix::baseFolder(launch.workingFolder);
    const std::vector<std::string> words = posix::splitCommandWords(launch.commandLine);
    if (words.empty() || words.front().empty()) {
        error = ENOENT;
        return nullptr;
    }
    const std::string file = posix::findProgram(words.front(), base);
    if (file.empty()) {
        error = ENOENT;
        return nullptr;
    }
    const pid_t pid = posix::spawnProgram(file, words, launch.workingFolder.empty() ? std::string() : base,
                                          launch.environment, error);
    if (pid == 0) return nullptr;
    // A program here has no message queue to become ready: nothing to wait for.
    return std::make_unique<PosixRunProcess>(pid);
}

}  // namespace vantor::detail
