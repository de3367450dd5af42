// POSIX backend of TCreateProcess: posix_spawn without a shell. A command line
// that names a ".bat" file runs through the batch host vantor-batch in
// SystemFolder(). The start-up record and the creation flags have no meaning
// here and are ignored.

#include "platform/ProcessRunnerBackend.h"

#include "platform/SystemInfo.h"
#include "platform/posix/ProgramLookup.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantor::detail {
namespace {

using posix::findProgram;
using posix::isRegularFile;
using posix::pathIn;

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

// The folder against which relative names are resolved: the new process's
// working folder (absolute), else the caller's.
std::string baseFolder(const std::string& workingFolder) {
    std::error_code ec;
    if (workingFolder.empty()) return std::filesystem::current_path(ec).string();
    return std::filesystem::absolute(workingFolder, ec).string();
}

// Program file and argument list for a launch. Throws EOSError(ENOENT) when the
// program cannot be found.
void resolveCommand(const ProcessLaunch& launch, const std::string& base, std::string& file,
                    std::vector<std::string>& argv) {
    std::string program;
    std::vector<std::string> args;
    if (!launch.applicationName.empty()) {
        program = launch.applicationName;
        args = posix::splitCommandWords(launch.commandLine);
    } else {
        // A command line that as a whole names a file is that file, blanks and
        // all ("/home/u/program files/steam/vantor.bat"); else its first word.
        const std::string whole = posix::trimBlanks(launch.commandLine);
        if (!whole.empty() && isRegularFile(pathIn(base, whole))) {
            program = whole;
        } else {
            std::vector<std::string> words = posix::splitCommandWords(launch.commandLine);
            if (words.empty() || words.front().empty()) throw EOSError(ENOENT);
            program = words.front();
            args.assign(words.begin() + 1, words.end());
        }
    }

    if (posix::endsWithIgnoringCase(program, ".bat")) {
        const std::string batch = pathIn(base, program);
        if (!isRegularFile(batch)) throw EOSError(ENOENT);
        const std::string folder = SystemFolder();
        if (folder.empty()) throw EOSError(ENOENT);
        file = folder + "/vantor-batch";
        argv = {file, batch};
    } else {
        file = findProgram(program, base);
        if (file.empty()) throw EOSError(ENOENT);
        argv = {program};
    }
    argv.insert(argv.end(), args.begin(), args.end());
}

}  // namespace

StartedProcess createProcess(const ProcessLaunch& launch) {
    // The working folder is checked first, so a missing one is reported as such
    // (and not as a program that cannot be found in it).
    if (!launch.workingFolder.empty()) {
        struct stat st {};
        if (::stat(launch.workingFolder.c_str(), &st) != 0) throw EOSError(errno);
        if (!S_ISDIR(st.st_mode)) throw EOSError(ENOTDIR);
    }
    const std::string base = baseFolder(launch.workingFolder);

    std::string file;
    std::vector<std::string> argStrings;
    resolveCommand(launch, base, file, argStrings);
    std::vector<char*> argv = pointersTo(argStrings);

    std::vector<std::string> envStrings = launch.environment;
    std::vector<char*> envp = pointersTo(envStrings);

    SpawnSetup setup;
    // glibc's posix_spawn reports a failing chdir or exec as its result.
    if (!launch.workingFolder.empty()) {
        if (int rc = posix_spawn_file_actions_addchdir_np(&setup.actions, base.c_str()); rc != 0) throw EOSError(rc);
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
    char** env = launch.environment.empty() ? environ : envp.data();
    if (int rc = posix_spawn(&pid, file.c_str(), &setup.actions, &setup.attr, argv.data(), env); rc != 0)
        throw EOSError(rc);

    StartedProcess process;
    process.processId = static_cast<int>(pid);
    return process;
}

bool waitForExit(const StartedProcess& process, std::uint32_t& exitCode, int& error) {
    int status = 0;
    for (;;) {
        if (::waitpid(process.processId, &status, 0) == process.processId) break;
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
    exitCode = posix::exitCodeOf(status);
    return true;
}

void releaseProcess(const StartedProcess& process) {
    const pid_t pid = process.processId;
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child is reaped when this program ends.
    }
}

}  // namespace vantor::detail
