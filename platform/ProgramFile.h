#pragma once
// The program's own file during an update, and starting programs that outlive
// their starter. One backend per system (platform/posix, platform/win).

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace vantor {

// The running program marks its file as in use until the process ends (also
// when it is killed). POSIX: a shared lock on the file, not handed to children.
bool holdProgramFile(const std::string& path);

// Waits until no running program holds the file (or it is gone), checking
// every millisecond. False when the bound passes first.
bool waitUntilProgramEnded(const std::string& path, std::chrono::milliseconds bound);

// An exclusive lock on a file (created when missing), held while the object
// lives; locked() is false when another process holds it. Not inherited by
// programs this process starts.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return fd_ >= 0; }
    // Removes the lock file and lets go of the lock. A lock taken meanwhile on
    // the removed file does not count: its taker finds the file gone and
    // takes a new one (POSIX), or cannot open it until it is gone (Windows).
    void removeFile();

private:
    std::string path_;
    std::intptr_t fd_ = -1;  // descriptor (POSIX) or HANDLE (Windows)
};

// A download put in place loses the hidden and temporary marks it was written
// with and is marked for archiving (Windows; POSIX has no such marks).
bool clearDownloadMarks(const std::string& path);

// Starts a program with the arguments in its own session, not waited for.
// False (with the system's text) when it cannot be started.
bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error = nullptr);

// Starts a program and waits for its end within the bound. False when it could
// not be started or did not end in time (it is left running then).
bool runAndWait(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds bound);

// Gives a file the permission bits of another; makes a file executable (0755).
bool copyFileMode(const std::string& from, const std::string& to);
bool makeExecutable(const std::string& path);

// Sets a file's last-write time (the last-access time stays).
bool setFileModifiedTime(const std::string& path, std::time_t time);

}  // namespace vantor
