#pragma once
// File services of the shell: moves and copies that replace an existing target
// (files only, no questions), deletion, existence tests, folder creation.
// Paths are native: folders end with the native separator.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// Folder path with exactly one trailing separator (empty stays empty).
std::string withTrailingSep(std::string folder);

bool fileExists(const std::string& path);    // a file (not a folder) is there
bool folderExists(const std::string& path);  // a folder is there
bool pathExists(const std::string& path);    // anything is there

// Creates the folder and any missing parents. True when it exists afterwards.
bool createFolders(const std::string& path);

// Deletes a file. True when it is gone afterwards (also when it never existed).
bool deleteFile(const std::string& path);

// Moves a file onto target, replacing it. Falls back to copy + delete across
// file systems. The error text is set when it fails.
bool moveFile(const std::string& source, const std::string& target, std::string* error = nullptr);

// Makes renames inside the folder durable (POSIX: the folder is flushed; on
// Windows a move with write-through already is).
void syncFolder(const std::string& folder);

// A file written front to back, as a download fills it. create() makes it anew:
// an earlier file of that name is replaced and a link there is not followed;
// hiddenTemporary marks it so on Windows (POSIX has no such marks). close()
// flushes it to the disk, so a rename that follows never publishes a file whose
// bytes are not there yet. Each call gives the system's text in error when it
// fails.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool create(const std::string& path, std::string& error, bool hiddenTemporary = false);
    bool write(const char* data, std::size_t size, std::string& error);
    // Flushes and closes the file (also when a write failed); false when the
    // flush or the close failed.
    bool close(std::string& error);
    bool isOpen() const { return handle_ != kNoHandle; }

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::intptr_t handle_ = kNoHandle;  // descriptor (POSIX) or HANDLE (Windows)
};

// Copies a file onto target, replacing it atomically (temporary + rename).
bool copyFile(const std::string& source, const std::string& target, std::string* error = nullptr);

// Whether a new file can be created in folder: a probe file is created there
// (never over an existing one) and removed. The error text is set when not.
bool canCreateFilesIn(const std::string& folder, std::string* error = nullptr);

// Whether the path is absolute on this system ("/..." on POSIX; a drive or
// network path on Windows).
bool isAbsolutePath(const std::string& path);

// The file-name part of a path (after the last separator; both '/' and '\\' count).
std::string fileNamePart(const std::string& path);

}  // namespace vantor
