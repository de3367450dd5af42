#include "platform/AsciiCase.h"
#include "platform/PathCase.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <sys/stat.h>

namespace vantor {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The entry of folder that equals name ignoring case (the first in byte order);
// empty when there is none.
std::string matchInFolder(const std::string& folder, std::string_view name) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return {};
    std::string best;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view entry(e->d_name);
        if (entry == "." || entry == "..") continue;
        if (equalsIgnoringAsciiCase(entry, name) && (best.empty() || entry < best)) best = entry;
    }
    return best;
}

// The entries of folder that equal name ignoring case: name itself first when
// it is there, the others in byte order.
std::vector<std::string> matchesInFolder(const std::string& folder, std::string_view name) {
    std::vector<std::string> found;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return found;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view entry(e->d_name);
        if (entry == "." || entry == "..") continue;
        if (equalsIgnoringAsciiCase(entry, name)) found.emplace_back(entry);
    }
    std::sort(found.begin(), found.end());
    std::stable_partition(found.begin(), found.end(), [&](const std::string& f) { return f == name; });
    return found;
}

// Appends to out every existing spelling of path + relative[pos...].
void collectSpellings(const std::string& path, const std::string& relative, std::size_t pos,
                      std::vector<std::string>& out) {
    if (pos >= relative.size()) {
        struct stat st;
        if (::stat(path.empty() ? "." : path.c_str(), &st) == 0) out.push_back(path);
        return;
    }
    const std::size_t slash = relative.find('/', pos);
    const std::size_t end = slash == std::string::npos ? relative.size() : slash;
    const std::size_t next = slash == std::string::npos ? relative.size() : slash + 1;
    const std::string_view name(relative.data() + pos, end - pos);
    const std::string_view tail = slash == std::string::npos ? std::string_view() : std::string_view("/");
    if (name.empty() || name == "." || name == "..") {
        collectSpellings(path + std::string(name) + std::string(tail), relative, next, out);
        return;
    }
    for (const auto& match : matchesInFolder(path, name))
        collectSpellings(path + match + std::string(tail), relative, next, out);
}

}  // namespace

std::vector<std::string> pathsIgnoringCase(const std::string& folder, const std::string& relative) {
    std::vector<std::string> out;
    collectSpellings(folder, relative, 0, out);
    return out;
}

std::string comparablePath(std::string path) { return path; }

std::string pathIgnoringCase(const std::string& folder, const std::string& relative) {
    std::string path = folder;
    std::size_t pos = 0;
    while (pos < relative.size()) {
        const std::size_t slash = relative.find('/', pos);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        const std::string_view name(relative.data() + pos, end - pos);
        if (!name.empty() && name != "." && name != "..") {
            struct stat st;
            const std::string asGiven = path + std::string(name);
            if (::lstat(asGiven.c_str(), &st) != 0) {
                const std::string match = matchInFolder(path, name);
                if (match.empty()) return path + relative.substr(pos);
                path += match;
            } else {
                path += name;
            }
        } else {
            path += name;
        }
        if (slash == std::string::npos) break;
        path += '/';
        pos = slash + 1;
    }
    return path;
}

}  // namespace vantor
