#include "SimSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantor::sim {

std::string selfPath(const char* argv0) {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !p.empty()) return p.string();
    return std::filesystem::absolute(argv0 ? argv0 : "", ec).lexically_normal().string();
}

std::string todayGameProgram() { return "hl2_linux"; }

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void sleepMs(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
}

long long monotonicNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

bool createExclusive(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    (void)!::write(fd, text.data(), text.size());
    ::close(fd);
    return true;
}

bool appendInOneWrite(const std::string& path, const std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (!ok) error = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return ok;
}

bool writeAtomic(const std::string& folder, const std::string& name, const std::string& bytes, std::string& error) {
    std::string tmpl = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0644) == 0;  // as a plainly created file, not mkstemp's 0600
    ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ok;
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(tmpl.c_str(), (folder + "/" + name).c_str()) == 0) return true;
    error = std::strerror(errno);
    ::unlink(tmpl.c_str());
    return false;
}

bool appendWithHeader(const std::string& path, const std::string& header, const std::string& row, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    const bool isNew = ::fstat(fd, &st) == 0 && st.st_size == 0;
    const std::string bytes = (isNew ? header : std::string()) + row;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (!ok) error = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

std::vector<std::string> environmentLines() {
    std::vector<std::string> lines;
    for (char** e = environ; *e; ++e) lines.emplace_back(*e);
    return lines;
}

// A double fork: the program gets its own session and is nobody's child here;
// its standard streams go to /dev/null (a game has no console) and no
// descriptor of the caller is kept open.
bool startDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& environment, const std::string& folder, long delayMs) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (auto& kv : env) envp.push_back(kv.data());
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        const pid_t game = ::fork();
        if (game != 0) ::_exit(game < 0 ? 1 : 0);
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::close_range(3, ~0U, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) std::signal(sig, SIG_DFL);
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        sleepMs(delayMs);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int runDelayedStart(int, char**) { return -1; }  // the double fork waits itself

int runUntilEnded() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {}
    return 0;
}

void hangUntilEnded() {
    for (;;) ::pause();
}

void crash() {
    ::prctl(PR_SET_DUMPABLE, 0);  // no core file
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    ::_exit(139);
}

}  // namespace vantor::sim
