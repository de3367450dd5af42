#include "platform/SystemInfo.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

extern char** environ;

namespace vantor {

std::uint32_t totalPhysicalMemory32() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    const unsigned long long total = static_cast<unsigned long long>(info.totalram) * info.mem_unit;
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(total);
}

std::string executableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return withTrailingSep(exe.parent_path().string());
}

std::string executablePath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string SystemFolder() {
    if (const char* dir = std::getenv("VANTOR_SYSTEM_FOLDER"); dir && *dir) {
        std::string s = dir;
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    std::string folder = executableFolder();
    if (!folder.empty()) folder.pop_back();
    return folder;
}

void shellOpen(const std::string& target, std::function<void(const std::string& error)> done) {
    if (const char* off = std::getenv("VANTOR_NO_SHELL_OPEN"); off && *off) {
        if (done) done({});
        return;
    }
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (done) done("xdg-open could not be started (" + std::string(std::strerror(rc)) + ")");
        return;
    }
    // Reaped in the background so no zombie stays behind; its exit code tells
    // whether a program took the document (xdg-open returns 0 then).
    std::thread([pid, done = std::move(done)] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (!done) return;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            done({});
        else if (WIFEXITED(status))
            done("xdg-open found no program for it (exit code " + std::to_string(WEXITSTATUS(status)) + ")");
        else
            done("xdg-open was ended");
    }).detach();
}

std::string userConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return withTrailingSep(xdg);
    if (const char* home = std::getenv("HOME"); home && *home) return withTrailingSep(std::string(home) + "/.config");
    return {};
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return withTrailingSep(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return withTrailingSep(pw->pw_dir);
    return {};
}

}  // namespace vantor
