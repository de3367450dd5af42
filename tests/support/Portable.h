#pragma once
// What the tests ask of the system, the same on POSIX and on Windows.

#include <cctype>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace vantor::test {

// The file name ending of programs: ".exe" on Windows.
#ifdef _WIN32
inline constexpr const char* kExeSuffix = ".exe";
#else
inline constexpr const char* kExeSuffix = "";
#endif

// The least environment a program started by a test needs ("NAME=value"):
// POSIX: PATH; Windows: PATH, SystemRoot, windir, TEMP, TMP, SystemDrive, ComSpec,
// LOCALAPPDATA (the test's data folder).
std::vector<std::string> systemEnvironment();

// A path of a test case, written POSIX-style, as this system writes it: on
// Windows a leading "/" names drive C: and every '/' becomes '\\'.
inline std::string nativePath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "C:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

// A path as the system compares it: Windows ignores case (and the program
// may spell a found folder its own way), POSIX does not.
inline std::string pathKey(std::string path) {
#ifdef _WIN32
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
    return path;
}

// The system's text for "the folder is not there", as a write into a missing
// folder reports it.
std::string missingFolderText();

void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// POSIX: the effective user is root (who reads and writes whatever the
// permission bits say); never on Windows.
bool runningAsRoot();

// Ends a process at once (SIGKILL, TerminateProcess).
void killProcess(std::uint32_t pid);
// POSIX: sends the signal (its number) to the process; nothing on Windows.
void sendSignal(std::uint32_t pid, int signal);

// A time as UTC calendar fields.
std::tm utcTime(std::time_t t);

// A symbolic link at link pointing at target; a hard link. False when the
// system refuses.
bool makeSymlink(const std::string& target, const std::string& link);
bool makeHardLink(const std::string& existing, const std::string& link);
// Windows: gives a file the hidden attribute; POSIX: nothing (a leading "." hides).
void makeHidden(const std::string& path);

// A new, empty folder under the system's temporary folder; empty when none
// could be made.
std::string makeTempFolder(const std::string& prefix);

// A program started for a test, with its own environment ("NAME=value"; empty:
// this one's) and stdout / stderr into files. Killed when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& outFile, const std::string& errFile);
    bool running() const { return id_ != 0; }
    std::uint32_t id() const { return id_; }
    // True once the program has ended; its exit code is kept (-1: killed).
    bool ended();
    int exitCode() const { return exitCode_; }
    // Waits up to limitMs for the end; false when it still runs.
    bool waitFor(int limitMs);
    void kill();
    // As Ctrl+C at a terminal (POSIX: SIGINT; Windows: Ctrl+Break to its group).
    void interrupt();

private:
    std::uint32_t id_ = 0;
    std::intptr_t handle_ = 0;  // the process handle (Windows)
    int exitCode_ = -1;
};

}  // namespace vantor::test
