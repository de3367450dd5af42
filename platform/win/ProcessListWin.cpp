// Windows backend of the process list: a ToolHelp snapshot. Process id 0 is
// "System Idle Process"; a name is the snapshot's file name reduced to its last
// path component, or with fullPath the program file's full path where the
// system gives it (QueryFullProcessImageName), else the snapshot's name.

#include "platform/ProcessList.h"

#include "platform/win/WinError.h"

#include <windows.h>

#include <tlhelp32.h>

#include <memory>
#include <type_traits>

namespace vantor {
namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

std::string lastComponent(const std::string& name) {
    const auto sep = name.find_last_of("\\/");
    return sep == std::string::npos ? name : name.substr(sep + 1);
}

// The full path of a process's program file; empty when it cannot be read.
std::string imagePath(DWORD id) {
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return {};
    wchar_t buffer[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(buffer));
    if (!QueryFullProcessImageNameW(process.get(), 0, buffer, &size)) return {};
    return win::narrow(std::wstring(buffer, size));
}

std::uint64_t fileTimeMs(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return v.QuadPart / 10'000;  // 100 ns steps to milliseconds
}

// Calls visit(entry) for every process of a snapshot; false when no snapshot
// could be taken.
template <typename Visit>
bool forEachProcess(Visit visit) {
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        visit(entry);
    return true;
}

}  // namespace

bool ListRunningProcesses(std::vector<ProcessEntry>& list, bool fullPath) {
    std::vector<ProcessEntry> found;
    const bool ok = forEachProcess([&](const PROCESSENTRY32W& e) {
        std::string name;
        if (e.th32ProcessID == 0) {
            name = "System Idle Process";
        } else {
            const std::string snapshotName = win::narrow(e.szExeFile);
            if (fullPath) name = imagePath(e.th32ProcessID);
            if (name.empty()) name = fullPath ? snapshotName : lastComponent(snapshotName);
        }
        found.push_back({std::move(name), e.th32ProcessID});
    });
    // One change for observers of the list.
    list.insert(list.end(), found.begin(), found.end());
    return ok;
}

// Start times are creation times on the system clock (UTC, 100 ns steps).
std::uint64_t processClockNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return fileTimeMs(now);
}

bool ListProcessStarts(std::vector<ProcessStart>& list) {
    return forEachProcess([&](const PROCESSENTRY32W& e) {
        if (e.th32ProcessID == 0) return;
        Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
        if (!process) return;
        FILETIME created, exited, kernel, user;
        if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return;
        DWORD code = 0;
        if (!GetExitCodeProcess(process.get(), &code) || code != STILL_ACTIVE) return;
        wchar_t buffer[MAX_PATH * 4];
        DWORD size = static_cast<DWORD>(std::size(buffer));
        if (!QueryFullProcessImageNameW(process.get(), 0, buffer, &size)) return;
        list.push_back({e.th32ProcessID, win::narrow(std::wstring(buffer, size)), fileTimeMs(created)});
    });
}

bool TerminateProcessById(std::uint32_t id) {
    if (id == 0) return false;
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.get(), 1);
}

}  // namespace vantor
