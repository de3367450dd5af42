#include "platform/FileOps.h"

#include "platform/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vantor {

std::string withTrailingSep(std::string folder) {
    if (folder.empty()) return folder;
    if (folder.back() != kPathSep) folder += kPathSep;
    return folder;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::symlink_status(path, ec));
}

bool createFolders(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return folderExists(path);
}

bool deleteFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    return !fileExists(path);
}

bool copyFile(const std::string& source, const std::string& target, std::string* error) {
    std::string bytes;
    if (!fileExists(source) || !readFileBytes(source, bytes)) {
        if (error) *error = "The file '" + source + "' cannot be read.";
        return false;
    }
    auto r = writeFileAtomic(target, bytes);
    if (!r && error) *error = r.error;
    return r.ok;
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && fs::path(path).is_absolute(); }

std::string fileNamePart(const std::string& path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace vantor
