#include "platform/UserDataFolder.h"

#include "platform/FileOps.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace vantor {

std::string userDataFolder() {
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return withTrailingSep(xdg);
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        home = pw->pw_dir;
    if (home.empty()) return {};
    return withTrailingSep(withTrailingSep(home) + ".local/share");
}

std::string programDataFolder() {
    const std::string root = userDataFolder();
    return root.empty() ? std::string() : root + "Quorvane/Vantor/";
}

}  // namespace vantor
