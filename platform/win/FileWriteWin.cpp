// Writing files on Windows: the atomic writer (temporary file, flush,
// MoveFileEx over the target), moves, a new file filled in order. Names are
// in the ANSI code page, as the narrow API takes them.
#include "platform/FileOps.h"
#include "platform/TextFile.h"
#include "platform/win/WinError.h"

#include <random>

#include <windows.h>

namespace vantor {
namespace {

bool writeAll(HANDLE h, const char* data, std::size_t size, DWORD& error) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (written == 0) {
            error = ERROR_DISK_FULL;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

IoResult writeFileAtomic(const std::string& path, std::string_view bytes) {
    std::random_device rd;
    std::string tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    // A fresh name each try: an existing file of that name is never truncated.
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        tmp = path + ".tmp" + std::to_string(rd() % 1000000);
        h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (h == INVALID_HANDLE_VALUE) return {false, win::systemErrorText(error)};
    bool ok = writeAll(h, bytes.data(), bytes.size(), error);
    if (ok && !FlushFileBuffers(h)) {
        error = GetLastError();
        ok = false;
    }
    if (!CloseHandle(h) && ok) {
        error = GetLastError();
        ok = false;
    }
    if (ok && !MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        ok = false;
    }
    if (!ok) {
        DeleteFileA(tmp.c_str());
        return {false, win::systemErrorText(error)};
    }
    return {};
}

bool moveFile(const std::string& source, const std::string& target, std::string* error) {
    if (!fileExists(source)) {
        if (error) *error = "The file '" + source + "' does not exist.";
        return false;
    }
    // Another volume: copied and the source deleted, as the rename's fallback on POSIX.
    if (MoveFileExA(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error) *error = win::lastErrorText();
    return false;
}

bool canCreateFilesIn(const std::string& folder, std::string* error) {
    auto fail = [error](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    if (!folderExists(folder)) return fail("the folder does not exist");
    const std::string base = withTrailingSep(folder) + ".vantor-write-test-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe = base + std::to_string(attempt);
        // CREATE_NEW: created here, or the call fails; an existing file is never touched.
        HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
            return fail(win::systemErrorText(code));
        }
        CloseHandle(h);  // deletes the probe
        return true;
    }
    return fail("no probe file name is free");
}

void syncFolder(const std::string&) {}  // moves are written through already

NewFile::~NewFile() {
    std::string ignored;
    close(ignored);
}

bool NewFile::create(const std::string& path, std::string& error, bool hiddenTemporary) {
    std::string ignored;
    close(ignored);
    deleteFile(path);
    const DWORD attributes = hiddenTemporary ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = win::lastErrorText();
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool NewFile::write(const char* data, std::size_t size, std::string& error) {
    DWORD code = 0;
    if (writeAll(reinterpret_cast<HANDLE>(handle_), data, size, code)) return true;
    error = win::systemErrorText(code);
    return false;
}

bool NewFile::close(std::string& error) {
    if (handle_ == kNoHandle) return true;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    handle_ = kNoHandle;
    // The handle is closed whether or not the flush succeeded.
    const DWORD flushErr = FlushFileBuffers(h) ? 0 : GetLastError();
    const DWORD closeErr = CloseHandle(h) ? 0 : GetLastError();
    if (flushErr != 0 || closeErr != 0) {
        error = win::systemErrorText(flushErr != 0 ? flushErr : closeErr);
        return false;
    }
    return true;
}

}  // namespace vantor
