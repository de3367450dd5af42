// Writing files on POSIX: the atomic writer, moves, a new file filled in order,
// folder flushes.
#include "platform/FileOps.h"
#include "platform/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantor {

IoResult writeFileAtomic(const std::string& path, std::string_view bytes) {
    std::random_device rd;
    std::string tmp;
    int fd = -1;
    // A fresh name each try: an existing file of that name is never truncated.
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = path + ".tmp" + std::to_string(rd() % 1000000);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return {false, std::strerror(errno)};
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            return {false, std::strerror(err)};
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // The descriptor is closed whether or not the flush succeeded.
    const int syncErr = ::fsync(fd) != 0 ? errno : 0;
    const int closeErr = ::close(fd) != 0 ? errno : 0;
    if (syncErr != 0 || closeErr != 0) {
        ::unlink(tmp.c_str());
        return {false, std::strerror(syncErr != 0 ? syncErr : closeErr)};
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return {false, std::strerror(err)};
    }
    return {};
}

bool moveFile(const std::string& source, const std::string& target, std::string* error) {
    if (!fileExists(source)) {
        if (error) *error = "The file '" + source + "' does not exist.";
        return false;
    }
    std::error_code ec;
    fs::rename(source, target, ec);
    if (!ec) return true;
    if (ec == std::errc::cross_device_link) {
        if (!copyFile(source, target, error)) return false;
        fs::remove(source, ec);
        return true;
    }
    if (error) *error = ec.message();
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
        // O_EXCL: created here, or the call fails; an existing file is never touched.
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(std::strerror(errno));
        }
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }
    return fail("no probe file name is free");
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

NewFile::~NewFile() {
    std::string ignored;
    close(ignored);
}

bool NewFile::create(const std::string& path, std::string& error, bool) {
    std::string ignored;
    close(ignored);
    deleteFile(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    handle_ = fd;
    return true;
}

bool NewFile::write(const char* data, std::size_t size, std::string& error) {
    const int fd = static_cast<int>(handle_);
    std::size_t at = 0;
    while (at < size) {
        const ssize_t n = ::write(fd, data + at, size - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        at += static_cast<std::size_t>(n);
    }
    return true;
}

bool NewFile::close(std::string& error) {
    if (handle_ == kNoHandle) return true;
    const int fd = static_cast<int>(handle_);
    handle_ = kNoHandle;
    int syncErr = 0;
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        syncErr = errno;
        break;
    }
    // The descriptor is closed whether or not the flush succeeded.
    const int closeErr = ::close(fd) != 0 ? errno : 0;
    if (syncErr != 0 || closeErr != 0) {
        error = std::strerror(syncErr != 0 ? syncErr : closeErr);
        return false;
    }
    return true;
}

}  // namespace vantor
