#include "platform/win/WinRegistry.h"

#include "platform/RegistryHive.h"
#include "platform/win/WinError.h"

#include <cstdlib>
#include <vector>

#include <windows.h>

namespace vantor {
namespace {

HKEY rootKey(RegRoot root) { return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

REGSAM view(RegRoot root) { return root == RegRoot::LocalMachine ? KEY_WOW64_32KEY : 0; }

// "\SOFTWARE\Quorvane\Vantor" names the key from the root: no leading separator.
std::wstring subKey(const std::string& key) {
    std::size_t from = 0;
    while (from < key.size() && key[from] == '\\') ++from;
    return win::widen(key.substr(from));
}

// Opens (and creates when missing, as every key opening of the program does).
HKEY openKey(RegRoot root, const std::string& key, REGSAM access) {
    HKEY h = nullptr;
    const LONG rc = RegCreateKeyExW(rootKey(root), subKey(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    access | view(root), nullptr, &h, nullptr);
    return rc == ERROR_SUCCESS ? h : nullptr;
}

}  // namespace

bool WinRegistry::createKey(RegRoot root, const std::string& key) {
    HKEY h = openKey(root, key, KEY_READ | KEY_WRITE);
    if (!h) return false;
    RegCloseKey(h);
    return true;
}

RegValue WinRegistry::query(RegRoot root, const std::string& key, const std::string& name) {
    RegValue value;
    HKEY h = nullptr;
    if (RegOpenKeyExW(rootKey(root), subKey(key).c_str(), 0, KEY_QUERY_VALUE | view(root), &h) != ERROR_SUCCESS)
        return value;
    const std::wstring wname = win::widen(name);
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(h, wname.c_str(), nullptr, &type, nullptr, &size);
    std::vector<wchar_t> data;
    // The value may grow between the two calls: ask again until it fits.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        if (type != REG_SZ) break;
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            size = got;
            break;
        }
        if (rc == ERROR_MORE_DATA) size = got;
    }
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return value;
    if (type != REG_SZ) {
        value.kind = RegValueKind::Other;
        return value;
    }
    // The stored size may or may not count the terminating NUL.
    std::wstring text(data.data(), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    value.kind = RegValueKind::String;
    value.text = win::narrow(text);
    return value;
}

bool WinRegistry::setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) {
    HKEY h = openKey(root, key, KEY_SET_VALUE);
    if (!h) return false;
    const std::wstring text = win::widen(value);
    const LONG rc = RegSetValueExW(h, win::widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

// The registry; VANTOR_REGISTRY names a .reg hive file to use instead (a
// portable copy, the tests).
std::unique_ptr<Registry> openPlatformRegistry() {
    if (const char* env = std::getenv("VANTOR_REGISTRY"); env && *env) return std::make_unique<RegistryHive>(env);
    return std::make_unique<WinRegistry>();
}

}  // namespace vantor
