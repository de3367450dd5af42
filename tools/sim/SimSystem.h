#pragma once
// What the simulator needs of the operating system, one implementation per
// system (SimSystemPosix.cpp, SimSystemWin.cpp).

#include <string>
#include <vector>

namespace vantor::sim {

// The running program's own path (POSIX: /proc/self/exe, else argv0 made
// absolute; Windows: the module file name).
std::string selfPath(const char* argv0);

// The folder part of a path, without a trailing separator ('/', on Windows
// also '\\').
std::string folderOf(const std::string& path);

// The game's program name in today's Steam library on this system (hl2_linux;
// Windows: hl2.exe).
std::string todayGameProgram();

// Sleeps for ms milliseconds (restarting after signals).
void sleepMs(long ms);

// A monotonic clock in nanoseconds, one clock for every process of the machine.
long long monotonicNs();

// Creates path with text, only when it does not exist yet (exclusively, so two
// programs at the same moment cannot both create it).
bool createExclusive(const std::string& path, const std::string& text);

// Appends text to path in one write, so that lines of several programs never
// mix. False with the system's error text.
bool appendInOneWrite(const std::string& path, const std::string& text, std::string& error);

// Replaces folder/name by bytes through a temporary file in the same folder:
// a reader never sees half a file. False with the system's error text.
bool writeAtomic(const std::string& folder, const std::string& name, const std::string& bytes, std::string& error);

// Appends to path in one write, with header first when the file is new.
bool appendWithHeader(const std::string& path, const std::string& header, const std::string& row, std::string& error);

// The environment of this program as "NAME=value" lines.
std::vector<std::string> environmentLines();

// Starts program detached (not a child that anyone waits for, no console, no
// handle of this program kept) with the arguments and the environment, in
// folder, after delayMs; returns at once. False when it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& environment, const std::string& folder, long delayMs);

// The delayed start of startDetached, where the system needs a helper program
// for it (Windows: steam.exe itself); returns the exit code of the helper, or
// -1 when argv is not such a start.
int runDelayedStart(int argc, char** argv);

// Steam's client: blocks until the program is ended from outside; on POSIX
// SIGTERM, SIGINT and SIGHUP end it with exit 0.
int runUntilEnded();

// A game that does not answer: never returns; signals end it as they would.
[[noreturn]] void hangUntilEnded();

// Ends this program as a fault does, without a result and without a core file
// or error window.
[[noreturn]] void crash();

}  // namespace vantor::sim
