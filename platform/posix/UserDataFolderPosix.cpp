#include "platform/UserDataFolder.h"

#include "platform/FileOps.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

#include <pwd.h>
#include <unistd.h>

namespace vantor {

namespace {

std::string homeDirectory() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    return {};
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs file: a line
// XDG_DOCUMENTS_DIR="$HOME/..." or ="/...", backslash escapes inside the quotes;
// the last such line counts. Empty when there is none or it is neither form.
std::string documentsEntry(const std::string& file, const std::string& home) {
    std::ifstream in(file);
    std::string line, found;
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        std::string value;
        bool closed = false;
        for (std::size_t i = start + key.size(); i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value += line[i];
            }
        }
        if (!closed) continue;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            found = home + value.substr(5);
        } else if (!value.empty() && value.front() == '/') {
            found = value;
        }
    }
    return found;
}

}  // namespace

std::string userDataFolder() {
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return withTrailingSep(xdg);
    const std::string home = homeDirectory();
    if (home.empty()) return {};
    return withTrailingSep(withTrailingSep(home) + ".local/share");
}

std::string documentsFolder() {
    const std::string home = homeDirectory();
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = withTrailingSep(xdg);
    else if (!home.empty())
        config = withTrailingSep(home) + ".config/";
    if (!config.empty())
        if (std::string entry = documentsEntry(config + "user-dirs.dirs", home); !entry.empty())
            return withTrailingSep(entry);
    return home.empty() ? std::string() : withTrailingSep(withTrailingSep(home) + "Documents");
}

std::string programDataFolder() {
    const std::string root = userDataFolder();
    return root.empty() ? std::string() : root + "Quorvane/Vantor/";
}

}  // namespace vantor
