#include "platform/posix/SpawnPosix.h"

#include <csignal>
#include <filesystem>
#include <system_error>

#include <spawn.h>

extern char** environ;

namespace vantor::posix {
namespace {

// Owns posix_spawn's attribute and file-action objects.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::string baseFolder(const std::string& workingFolder) {
    std::error_code ec;
    if (workingFolder.empty()) return std::filesystem::current_path(ec).string();
    return std::filesystem::absolute(workingFolder, ec).string();
}

pid_t spawnProgram(const std::string& file, const std::vector<std::string>& argv, const std::string& workingFolder,
                   const std::vector<std::string>& environment, int& error) {
    std::vector<std::string> argStrings = argv;
    std::vector<char*> args = pointersTo(argStrings);
    std::vector<std::string> envStrings = environment;
    std::vector<char*> envp = pointersTo(envStrings);

    SpawnSetup setup;
    // glibc's posix_spawn reports a failing chdir or exec as its result.
    if (!workingFolder.empty()) {
        if (int rc = posix_spawn_file_actions_addchdir_np(&setup.actions, workingFolder.c_str()); rc != 0) {
            error = rc;
            return 0;
        }
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Handles are not inherited: only standard input, output and error.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
    // The new program starts with default signal handling and nothing blocked,
    // whatever this process has set up for itself.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    char** env = environment.empty() ? environ : envp.data();
    if (int rc = posix_spawn(&pid, file.c_str(), &setup.actions, &setup.attr, args.data(), env); rc != 0) {
        error = rc;
        return 0;
    }
    return pid;
}

}  // namespace vantor::posix
