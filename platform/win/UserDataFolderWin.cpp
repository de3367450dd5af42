#include "platform/UserDataFolder.h"

#include "platform/FileOps.h"

#include <cstdlib>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace vantor {
namespace {

std::string utf8Of(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

}  // namespace

// %LOCALAPPDATA% as the environment names it (so a caller can point it
// elsewhere, as XDG_DATA_HOME on POSIX), else the known folder.
std::string userDataFolder() {
    std::string folder;
    if (const wchar_t* env = ::_wgetenv(L"LOCALAPPDATA"); env && *env) folder = utf8Of(env);
    if (folder.empty()) {
        PWSTR path = nullptr;
        if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path)) && path)
            folder = utf8Of(path);
        ::CoTaskMemFree(path);
    }
    return folder.empty() ? std::string() : withTrailingSep(folder);
}

std::string programDataFolder() {
    const std::string root = userDataFolder();
    return root.empty() ? std::string() : root + "Quorvane\\Vantor\\";
}

}  // namespace vantor
