#pragma once
// File services of the shell: moves and copies that replace an existing target
// (files only, no questions), deletion, existence tests, folder creation.
// Paths are native: folders end with the native separator.

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
