#include "platform/SystemInfo.h"

#include "platform/FileOps.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
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

void shellOpen(const std::string& target) {
    if (const char* off = std::getenv("VANTOR_NO_SHELL_OPEN"); off && *off) return;
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char**>(argv), environ) == 0) {
        // Reap in the background so no zombie stays behind.
        std::thread([pid] {
            int status = 0;
            waitpid(pid, &status, 0);
        }).detach();
    }
    posix_spawn_file_actions_destroy(&actions);
}

std::string userConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return withTrailingSep(xdg);
    if (const char* home = std::getenv("HOME"); home && *home) return withTrailingSep(std::string(home) + "/.config");
    return {};
}

}  // namespace vantor
