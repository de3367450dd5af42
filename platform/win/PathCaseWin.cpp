#include "platform/PathCase.h"

#include "platform/FileOps.h"

namespace vantor {

// Windows file systems ignore case: every spelling names the same entry.
std::string pathIgnoringCase(const std::string& folder, const std::string& relative) { return folder + relative; }

std::vector<std::string> pathsIgnoringCase(const std::string& folder, const std::string& relative) {
    const std::string path = folder + relative;
    if (!pathExists(path)) return {};
    return {path};
}

std::string comparablePath(std::string path) {
    for (char& c : path) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '/') c = '\\';
    }
    return path;
}

}  // namespace vantor
