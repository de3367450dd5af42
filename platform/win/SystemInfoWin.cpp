// Facts about this machine and program on Windows.
#include "platform/SystemInfo.h"

#include "platform/FileOps.h"
#include "platform/win/WinError.h"

#include <cstdlib>
#include <thread>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

namespace vantor {

std::uint32_t totalPhysicalMemory32() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(status.ullTotalPhys);
}

std::string executablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // cut short: a longer buffer
    }
}

std::string executableFolder() {
    const std::string path = executablePath();
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The system directory, where the system's own tools (dxdiag.exe) live;
// VANTOR_SYSTEM_FOLDER names another, as on POSIX.
std::string SystemFolder() {
    if (const char* dir = std::getenv("VANTOR_SYSTEM_FOLDER"); dir && *dir) {
        std::string s = dir;
        while (s.size() > 3 && (s.back() == '\\' || s.back() == '/')) s.pop_back();
        return s;
    }
    char buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::string() : std::string(buffer, n);
}

void shellOpen(const std::string& target, std::function<void(const std::string& error)> done) {
    if (const char* off = std::getenv("VANTOR_NO_SHELL_OPEN"); off && *off) {
        if (done) done({});
        return;
    }
    // The shell may take its time (and wants COM): on a thread of its own.
    std::thread([target, done = std::move(done)] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        info.lpVerb = "open";
        info.lpFile = target.c_str();
        info.nShow = SW_SHOWNORMAL;
        const bool ok = ShellExecuteExA(&info) != 0;
        const std::string error = ok ? std::string() : win::lastErrorText();
        if (SUCCEEDED(com)) CoUninitialize();
        if (done) done(error);
    }).detach();
}

// Settings live in the registry on Windows.
std::string userConfigFolder() { return {}; }

std::string homeFolder() {
    if (const char* profile = std::getenv("USERPROFILE"); profile && *profile) return withTrailingSep(profile);
    char buffer[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return withTrailingSep(buffer);
    return {};
}

}  // namespace vantor
