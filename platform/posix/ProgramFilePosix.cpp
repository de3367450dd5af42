// POSIX backend of the program-file services: flock(2) for "the program runs",
// posix_spawn in a new session for detached starts.

#include "platform/ProgramFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantor {
namespace {

std::vector<char*> argvOf(const std::string& program, std::vector<std::string>& args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int spawn(const std::string& program, std::vector<std::string> args, pid_t& pid) {
    auto argv = argvOf(program, args);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return rc;
}

}  // namespace

bool holdProgramFile(const std::string& path) {
    // Kept open on purpose until the process ends: its end releases the lock.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_SH) != 0) {
        ::close(fd);
        return false;
    }
    return true;
}

bool waitUntilProgramEnded(const std::string& path, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT;
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        if (free) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

FileLock::FileLock(const std::string& path) : path_(path) {
    // The file may be removed by its holder between open and flock: then the
    // lock is on a file no one else finds, and the name is opened again.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) return;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(static_cast<int>(fd_));
}

void FileLock::removeFile() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());  // while still held: no one takes the old file's lock as valid
    ::close(static_cast<int>(fd_));
    fd_ = -1;
}

bool clearDownloadMarks(const std::string&) { return true; }

bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error) {
    pid_t pid = 0;
    const int rc = spawn(program, args, pid);
    if (rc != 0) {
        if (error) *error = std::strerror(rc);
        return false;
    }
    // Reaped in the background, so no zombie stays while this process lives.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

bool runAndWait(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds bound) {
    pid_t pid = 0;
    if (spawn(program, args, pid) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool copyFileMode(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return false;
    return ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

bool makeExecutable(const std::string& path) { return ::chmod(path.c_str(), 0755) == 0; }

bool setFileModifiedTime(const std::string& path, std::time_t time) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace vantor
