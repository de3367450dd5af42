#pragma once
// Programs and process checks for the process tests, as each system has them:
// command lines that end with a given code or keep running, batch lines, and
// whether a process or thread still exists.

#include "tests/support/Portable.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <tlhelp32.h>
#else
#include <csignal>
#include <cstdlib>

#include <sys/types.h>
#endif

namespace vantor::test {

#ifdef _WIN32

inline constexpr bool kWindows = true;

// Whether the Windows program runs under Wine (its ntdll names its version).
inline bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A command line that ends at once with the code.
inline std::string exitCommand(int code) { return "cmd /c exit " + std::to_string(code); }
inline std::string quickCommand() { return exitCommand(0); }
// A program that runs until it is ended: the simulated Steam client.
inline std::string longCommand() {
    return "\"" + std::filesystem::path(VANTOR_SIM_DIR "/steam.exe").make_preferred().string() + "\"";
}
// Batch lines as the command interpreter runs them.
inline std::string batchExitLine(int code) { return "exit " + std::to_string(code); }
inline std::string batchTouchLine(const std::string& name) { return "type nul > \"" + name + "\""; }

// Ended (or never there): the process cannot be opened or has an exit code.
inline bool processGone(int pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return true;
    DWORD code = 0;
    const bool ended = !GetExitCodeProcess(h, &code) || code != STILL_ACTIVE;
    CloseHandle(h);
    return ended;
}
inline bool processRunning(int pid) { return !processGone(pid); }

// Ends the process as a kill would; code is the exit code it then reports.
inline void endProcess(int pid, unsigned code = 137) {
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
        TerminateProcess(h, code);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
    }
}

// Ends the process with the code SIGTERM gives on POSIX (128 + 15).
inline void endProcessGently(int pid) { endProcess(pid, 143); }

// The ids of this program's threads.
inline std::set<std::string> threadIds() {
    std::set<std::string> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL more = Thread32First(snapshot, &e); more; more = Thread32Next(snapshot, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(std::to_string(e.th32ThreadID));
    CloseHandle(snapshot);
    return ids;
}
inline bool threadExists(const std::string& tid) { return threadIds().count(tid) > 0; }

#else

inline constexpr bool kWindows = false;
inline bool runningUnderWine() { return false; }

inline std::string exitCommand(int code) { return "sh -c \"exit " + std::to_string(code) + "\""; }
inline std::string quickCommand() { return "true"; }
inline std::string longCommand() { return "sleep 30"; }
inline std::string batchExitLine(int code) { return exitCommand(code); }
inline std::string batchTouchLine(const std::string& name) { return "touch \"" + name + "\""; }

// Gone from the process table: ended and reaped (a zombie still has its entry).
inline bool processGone(int pid) { return !std::filesystem::exists("/proc/" + std::to_string(pid)); }

// Running and not a zombie.
inline bool processRunning(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = all.rfind(')');
    return close != std::string::npos && close + 2 < all.size() && all[close + 2] != 'Z';
}

// Ends the process with SIGKILL (a POSIX exit code of 128 + 9).
inline void endProcess(int pid, unsigned = 137) { ::kill(static_cast<pid_t>(pid), SIGKILL); }

// SIGTERM: a POSIX exit code of 128 + 15.
inline void endProcessGently(int pid) { ::kill(static_cast<pid_t>(pid), SIGTERM); }

inline std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(e.path().filename().string());
    return ids;
}
inline bool threadExists(const std::string& tid) { return std::filesystem::exists("/proc/self/task/" + tid); }

#endif

}  // namespace vantor::test
