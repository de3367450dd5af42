// dxdiag.exe /whql:on /t FILE
//
// The hardware-report tool: writes a text report of this machine to FILE in the
// layout of the DirectX diagnostic tool's text report (Windows-1252, CR LF,
// replaced atomically), then ends. It reads /etc/os-release, uname, the locale,
// /proc/cpuinfo, /proc/meminfo, /sys/class/drm with the PCI ID database, and
// asks glxinfo (only when a display is there) and vulkaninfo when they are
// installed, each for a few seconds at most. It never needs a display.
// "/whql:on" and "/whql:off" are accepted and change nothing (no driver
// signatures are checked here). Exit codes: 0 written, 1 not written, 2 usage.

#include "platform/TextFile.h"
#include "platform/posix/ProgramLookup.h"
#include "tools/dxdiag/HardwareFacts.h"
#include "tools/dxdiag/ReportText.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using namespace vantor;

constexpr auto kCommandBound = 3s;

int usage() {
    std::fputs("usage: dxdiag.exe [/whql:on|/whql:off] /t FILE\n", stderr);
    return 2;
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

// The standard output of a program (found on PATH), or empty when it is not
// installed, fails, or has not ended within the bound (it is killed then).
std::string boundedOutput(const char* program, std::vector<std::string> args) {
    const std::string file = posix::findProgram(program, "/");
    if (file.empty()) return {};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, file.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return {};
    }
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + kCommandBound;
    bool ended = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int n = ::poll(&fd, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        char buf[4096];
        const ssize_t got = ::read(pipeFds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ended = true;  // end of output
            break;
        }
        if (out.size() < (1u << 20)) out.append(buf, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (!ended) ::kill(pid, SIGKILL);
    // Output ended: the program exits right after; a killed one at once.
    for (int i = 0; i < 200 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(5ms);
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return {};
    }
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return out;
}

std::string localTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (!::localtime_r(&now, &tm)) return {};
    char buf[64];
    return std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm) ? buf : "";
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (equalsIgnoringCase(arg, "/whql:on") || equalsIgnoringCase(arg, "/whql:off")) continue;
        if (equalsIgnoringCase(arg, "/t") && i + 1 < argc && file.empty()) {
            file = argv[++i];
            continue;
        }
        return usage();
    }
    if (file.empty()) return usage();

    dxdiag::MachineInput in;
    utsname uts{};
    if (::uname(&uts) == 0) {
        in.kernelName = uts.sysname;
        in.kernelRelease = uts.release;
        in.architecture = uts.machine;
        in.nodeName = uts.nodename;
    }
    in.localTime = localTimeText();
    in.env = [](const char* name) -> const char* { return std::getenv(name); };
    const char* x11 = std::getenv("DISPLAY");
    if (x11 && *x11) in.glxinfo = boundedOutput("glxinfo", {"-B"});
    in.vulkaninfo = boundedOutput("vulkaninfo", {"--summary"});

    const auto lines = dxdiag::reportLines(dxdiag::collectFacts(in), "Vantor hardware report " VANTOR_VERSION);
    const IoResult written = writeTextFile(file, lines);
    if (!written) {
        std::fprintf(stderr, "dxdiag.exe: the report cannot be written to %s: %s\n", file.c_str(),
                     written.error.c_str());
        return 1;
    }
    return 0;
}
