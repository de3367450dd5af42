#include "platform/ProcessList.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

// The list is polled every few seconds, so the common case costs one system
// call per process: readlinkat of /proc/PID/exe. That link can only be read
// while the process still has its memory, so a process whose exe was read is
// running. Only when it cannot be read (kernel threads, processes of other
// users, processes that have ended) is /proc/PID/stat read for the command
// name and the state. Only for the loaders below is /proc/PID/cmdline read.

namespace vantor {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The id of a /proc entry that names a process; 0 for every other entry.
std::uint32_t parsePid(const char* s) {
    if (*s < '1' || *s > '9') return 0;
    std::uint64_t v = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return 0;
        v = v * 10 + static_cast<std::uint64_t>(*s - '0');
        if (v > 0xFFFFFFFFu) return 0;
    }
    return static_cast<std::uint32_t>(v);
}

// Reads /proc/PID/stat: "pid (comm) S ppid ... num_threads ...". comm may hold
// blanks and parentheses, so it ends at the last ')'; the fields after it are
// numbers. Returns false when the process is gone or has ended (a zombie whose
// threads have all exited), else sets comm.
bool readStat(int procfd, const char* path, std::string_view& comm, char* buf, std::size_t size) {
    const int fd = ::openat(procfd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, buf, size - 1);
    ::close(fd);
    if (n <= 0) return false;
    buf[n] = '\0';
    char* open = std::strchr(buf, '(');
    char* close = std::strrchr(buf, ')');
    if (!open || !close || close < open || close[1] != ' ') return false;
    const char state = close[2];
    if (state == 'X') return false;
    if (state == 'Z') {
        // A zombie thread-group leader whose other threads still run (the main
        // thread called pthread_exit) is a running process: num_threads > 1.
        const char* p = close + 2;
        for (int field = 3; field < 20 && p; ++field) {
            p = std::strchr(p, ' ');
            if (p) ++p;
        }
        if (!p || std::strtoul(p, nullptr, 10) <= 1) return false;
    }
    comm = std::string_view(open + 1, static_cast<std::size_t>(close - open - 1));
    return true;
}

// Field 22 of /proc/PID/stat: the start time in clock ticks since boot. Zero
// when the file cannot be read or the process has ended.
std::uint64_t readStartTicks(int procfd, const char* path) {
    char buf[1024];
    const int fd = ::openat(procfd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return 0;
    buf[n] = '\0';
    const char* p = std::strrchr(buf, ')');
    if (!p || p[1] != ' ' || p[2] == 'Z' || p[2] == 'X') return 0;
    p += 2;  // field 3, the state
    for (int field = 3; field < 22 && p; ++field) {
        p = std::strchr(p, ' ');
        if (p) ++p;
    }
    return p ? std::strtoull(p, nullptr, 10) : 0;
}

// Programs that run a Windows program on Linux: Wine's preloaders and loaders,
// and the reaper Steam starts around a game run through Proton. Such a process
// is listed under the Windows program its command line names.
constexpr std::string_view kLoaders[] = {"wine-preloader", "wine64-preloader", "wine", "wine64", "reaper"};
// What names a Windows program: a file name with this ending, any case.
constexpr std::string_view kWindowsProgramEnding = ".exe";

bool isLoader(std::string_view name) {
    for (std::string_view loader : kLoaders)
        if (name == loader) return true;
    return false;
}

// Where an argument names a Windows program: the length of its first part that
// ends with ".exe" (any case) at the end of the argument or before a blank (a
// command line kept in one piece); 0 when there is none.
std::size_t windowsProgramLength(std::string_view arg) {
    const std::size_t n = kWindowsProgramEnding.size();
    for (std::size_t end = n; end <= arg.size(); ++end) {
        if (end < arg.size() && arg[end] != ' ') continue;
        bool match = true;
        for (std::size_t i = 0; i < n && match; ++i) {
            const char c = arg[end - n + i];
            match = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == kWindowsProgramEnding[i];
        }
        if (!match) continue;
        // A file name before the ending, after the last '\\' or '/'.
        const std::size_t sep = arg.substr(0, end).find_last_of("\\/");
        const std::size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
        if (end - nameStart > n) return end;
    }
    return 0;
}

// The Windows program a loader's /proc/PID/cmdline names: the first argument
// that names one, as written (program) and its file name (name). False when
// the command line cannot be read or names none.
bool hostedProgram(int procfd, const char* path, std::string& buf, std::string_view& program, std::string_view& name) {
    const int fd = ::openat(procfd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    buf.resize(32 * 1024);
    std::size_t size = 0;
    while (size < buf.size()) {
        const ssize_t n = ::read(fd, buf.data() + size, buf.size() - size);
        if (n <= 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    std::string_view rest(buf.data(), size);
    while (!rest.empty()) {
        const std::size_t nul = rest.find('\0');
        const std::string_view arg = rest.substr(0, nul);
        if (const std::size_t length = windowsProgramLength(arg); length > 0) {
            program = arg.substr(0, length);
            const std::size_t sep = program.find_last_of("\\/");
            name = sep == std::string_view::npos ? program : program.substr(sep + 1);
            return true;
        }
        if (nul == std::string_view::npos) break;
        rest.remove_prefix(nul + 1);
    }
    return false;
}

std::uint64_t msPerTick() {
    const long hz = ::sysconf(_SC_CLK_TCK);
    return hz > 0 && hz <= 1000 ? static_cast<std::uint64_t>(1000 / hz) : 10;
}

}  // namespace

// Start times in /proc are clock ticks on the boot-time clock.
std::uint64_t processClockNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    const std::uint64_t ms =
        static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000;
    const std::uint64_t tick = msPerTick();
    return ms / tick * tick;
}

bool ListProcessStarts(std::vector<ProcessStart>& list) {
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc) return false;
    const int procfd = ::dirfd(proc.get());
    struct statfs fs {};
    if (::fstatfs(procfd, &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC) return false;
    const std::uint64_t tick = msPerTick();
    char path[32];
    char link[4096];
    constexpr std::string_view kDeleted = " (deleted)";
    while (const dirent* e = ::readdir(proc.get())) {
        const std::uint32_t pid = parsePid(e->d_name);
        if (pid == 0) continue;
        const std::size_t len = std::strlen(e->d_name);
        std::memcpy(path, e->d_name, len);
        std::memcpy(path + len, "/exe", 5);
        const ssize_t n = ::readlinkat(procfd, path, link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link) continue;
        std::string_view exe(link, static_cast<std::size_t>(n));
        if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted)) exe.remove_suffix(kDeleted.size());
        std::memcpy(path + len, "/stat", 6);
        const std::uint64_t ticks = readStartTicks(procfd, path);
        if (ticks == 0) continue;
        list.push_back({pid, std::string(exe), ticks * tick});
    }
    return true;
}

bool TerminateProcessById(std::uint32_t id) {
    if (id == 0 || id > 0x7FFFFFFFu) return false;
    return ::kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

bool ListRunningProcesses(std::vector<ProcessEntry>& list, bool fullPath) {
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc) return false;
    const int procfd = ::dirfd(proc.get());
    // A /proc that is not the process file system (not mounted in a container
    // or chroot) lists nothing: the listing cannot be opened.
    struct statfs fs {};
    if (::fstatfs(procfd, &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC) return false;

    char path[32];
    char link[4096];
    char statBuf[1024];
    std::string cmdline;  // sized when a loader is met
    constexpr std::string_view kDeleted = " (deleted)";
    while (const dirent* e = ::readdir(proc.get())) {
        const std::uint32_t pid = parsePid(e->d_name);
        if (pid == 0) continue;
        const std::size_t len = std::strlen(e->d_name);
        std::memcpy(path, e->d_name, len);

        std::memcpy(path + len, "/exe", 5);
        const ssize_t n = ::readlinkat(procfd, path, link, sizeof link);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof link) {
            std::string_view exe(link, static_cast<std::size_t>(n));
            // The program file was replaced or removed while it runs.
            if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted)) exe.remove_suffix(kDeleted.size());
            const auto slash = exe.rfind('/');
            const std::string_view name = slash == std::string_view::npos ? exe : exe.substr(slash + 1);
            if (isLoader(name)) {
                std::memcpy(path + len, "/cmdline", 9);
                std::string_view program, programName;
                if (hostedProgram(procfd, path, cmdline, program, programName)) {
                    list.push_back({std::string(fullPath ? program : programName), pid});
                    continue;
                }
            }
            list.push_back({std::string(fullPath ? exe : name), pid});
            continue;
        }

        std::memcpy(path + len, "/stat", 6);
        std::string_view comm;
        if (!readStat(procfd, path, comm, statBuf, sizeof statBuf)) continue;
        list.push_back({std::string(comm), pid});
    }
    return true;
}

}  // namespace vantor
