// Windows backend of the program-file services: a handle that refuses writers
// marks "the program runs"; detached starts through CreateProcess.

#include "platform/ProgramFile.h"
#include "platform/win/WinError.h"

#include <thread>

#include <windows.h>

namespace vantor {
namespace {

std::string commandLineOf(const std::string& program, const std::vector<std::string>& args) {
    std::string line = win::quoteArgument(program);
    for (const auto& a : args) line += ' ' + win::quoteArgument(a);
    return line;
}

bool spawn(const std::string& program, const std::vector<std::string>& args, PROCESS_INFORMATION& pi, DWORD& error) {
    std::string line = commandLineOf(program, args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        error = GetLastError();
        return false;
    }
    CloseHandle(pi.hThread);
    return true;
}

}  // namespace

bool holdProgramFile(const std::string& path) {
    // Kept open on purpose until the process ends; readers may share it, writers not.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return h != INVALID_HANDLE_VALUE;
}

bool waitUntilProgramEnded(const std::string& path, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A lock on one byte far beyond the end of the file: other handles may still
// read, write and delete the file itself, as with flock on POSIX.
FileLock::FileLock(const std::string& path) : path_(path) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(h);
        return;
    }
    fd_ = reinterpret_cast<std::intptr_t>(h);
}

FileLock::~FileLock() {
    if (fd_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(fd_));  // ends the lock too
}

// Deleted while the handle is open, the file is gone once it closes; until then
// every other open of the name fails, so no one locks it meanwhile.
void FileLock::removeFile() {
    if (fd_ < 0) return;
    DeleteFileA(path_.c_str());
    CloseHandle(reinterpret_cast<HANDLE>(fd_));
    fd_ = -1;
}

bool clearDownloadMarks(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD next = (attributes & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY)) | FILE_ATTRIBUTE_ARCHIVE;
    return next == attributes || SetFileAttributesA(path.c_str(), next) != 0;
}

bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error) {
    PROCESS_INFORMATION pi{};
    DWORD code = 0;
    if (!spawn(program, args, pi, code)) {
        if (error) *error = win::systemErrorText(code);
        return false;
    }
    CloseHandle(pi.hProcess);
    return true;
}

bool runAndWait(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds bound) {
    PROCESS_INFORMATION pi{};
    DWORD code = 0;
    if (!spawn(program, args, pi, code)) return false;
    const auto ms = bound.count() < 0 ? 0 : bound.count() >= INFINITE ? INFINITE - 1 : bound.count();
    const DWORD r = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(ms));
    CloseHandle(pi.hProcess);
    return r == WAIT_OBJECT_0;
}

// Windows has no permission bits: the read-only attribute stands for them.
bool copyFileMode(const std::string& from, const std::string& to) {
    const DWORD source = GetFileAttributesA(from.c_str());
    const DWORD target = GetFileAttributesA(to.c_str());
    if (source == INVALID_FILE_ATTRIBUTES || target == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD next = (target & ~FILE_ATTRIBUTE_READONLY) | (source & FILE_ATTRIBUTE_READONLY);
    return next == target || SetFileAttributesA(to.c_str(), next ? next : FILE_ATTRIBUTE_NORMAL);
}

// Every file can be started on Windows; what a file is for, its name tells.
bool makeExecutable(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool setFileModifiedTime(const std::string& path, std::time_t time) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // Seconds since 1970 to 100 ns ticks since 1601.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(time) + 11644473600ULL) * 10000000ULL;
    FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool ok = SetFileTime(h, nullptr, nullptr, &written) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace vantor
