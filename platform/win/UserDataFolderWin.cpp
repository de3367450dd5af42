#include "platform/UserDataFolder.h"

#include "platform/FileOps.h"
#include "platform/win/WinError.h"

#include <cstdlib>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace vantor {

// %LOCALAPPDATA% as the environment names it (so a caller can point it
// elsewhere, as XDG_DATA_HOME on POSIX), else the known folder.
std::string userDataFolder() {
    std::string folder;
    if (const wchar_t* env = ::_wgetenv(L"LOCALAPPDATA"); env && *env) folder = win::narrow(env);
    if (folder.empty()) {
        PWSTR path = nullptr;
        if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path)) && path)
            folder = win::narrow(path);
        ::CoTaskMemFree(path);
    }
    return folder.empty() ? std::string() : withTrailingSep(folder);
}

std::string programDataFolder() {
    const std::string root = userDataFolder();
    return root.empty() ? std::string() : root + "Quorvane\\Vantor\\";
}

// The known folder Documents (where the user moved it, if so).
std::string documentsFolder() {
    std::string folder;
    PWSTR path = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &path)) && path)
        folder = win::narrow(path);
    ::CoTaskMemFree(path);
    return folder.empty() ? std::string() : withTrailingSep(folder);
}

}  // namespace vantor
