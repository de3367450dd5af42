// POSIX backend of TCreateProcess: posix_spawn without a shell. A command line
// that names a ".bat" file runs through the batch host vantor-batch in
// SystemFolder(). The start-up record and the creation flags have no meaning
// here and are ignored.

#include "platform/ProcessRunnerBackend.h"

#include "platform/SystemInfo.h"
#include "platform/posix/ProgramLookup.h"
#include "platform/posix/SpawnPosix.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantor::detail {
namespace {

using posix::findProgram;
using posix::isRegularFile;
using posix::pathIn;

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
    const std::string base = posix::baseFolder(launch.workingFolder);

    std::string file;
    std::vector<std::string> argStrings;
    resolveCommand(launch, base, file, argStrings);
    int error = 0;
    const pid_t pid = posix::spawnProgram(file, argStrings, launch.workingFolder.empty() ? std::string() : base,
                                          launch.environment, error);
    if (pid == 0) throw EOSError(error);

    StartedProcess process;
    process.processId = static_cast<int>(pid);
    return process;
}

std::string osErrorMessage(int code) { return std::generic_category().message(code); }

bool prepareWait(StartedProcess&, int&) { return true; }

void stopWait(const StartedProcess&) {}  // the wait reaps the child whenever it ends

void closeWait(const StartedProcess&) {}

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
