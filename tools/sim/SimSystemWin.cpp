#include "SimSystem.h"

#include <cstdlib>
#include <string_view>

#include <windows.h>

namespace vantor::sim {
namespace {

// The hidden first argument of steam.exe's delayed start of the game.
constexpr std::string_view kDelayedStart = "-vantor-sim-start";

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string errorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : "error " + std::to_string(code);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// One argument as the C runtime's parser splits it again.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

bool writeAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Starts program with its arguments, the environment lines (empty: this
// program's) and folder, without a console and without a tie to this program.
bool create(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& environment, const std::string& folder) {
    std::string line = quoted(program);
    for (const auto& a : args) line += " " + quoted(a);
    std::wstring commandLine = widen(line);
    std::wstring block;
    for (const auto& kv : environment) {
        block += widen(kv);
        block += L'\0';
    }
    block += L'\0';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::wstring wfolder = widen(folder);
    if (!CreateProcessW(widen(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : block.data(), wfolder.empty() ? nullptr : wfolder.c_str(), &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

std::string selfPath(const char*) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return narrow(buffer);
}

std::string todayGameProgram() { return "hl2.exe"; }

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void sleepMs(long ms) { Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms)); }

long long monotonicNs() {
    static const long long frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<long long>(static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency));
}

bool createExclusive(const std::string& path, const std::string& text) {
    Handle file{
        CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return false;
    writeAll(file.h, text);
    return true;
}

bool appendInOneWrite(const std::string& path, const std::string& text, std::string& error) {
    Handle file{CreateFileW(widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE || !writeAll(file.h, text)) {
        error = errorText(GetLastError());
        return false;
    }
    return true;
}

bool writeAtomic(const std::string& folder, const std::string& name, const std::string& bytes, std::string& error) {
    const std::wstring target = widen(folder + "\\" + name);
    const std::wstring temp = widen(folder + "\\." + name + "." + std::to_string(GetCurrentProcessId()));
    {
        Handle file{
            CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.h == INVALID_HANDLE_VALUE) {
            error = errorText(GetLastError());
            return false;
        }
        if (!writeAll(file.h, bytes) || !FlushFileBuffers(file.h)) {
            error = errorText(GetLastError());
            DeleteFileW(temp.c_str());
            return false;
        }
    }
    if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = errorText(GetLastError());
    DeleteFileW(temp.c_str());
    return false;
}

bool appendWithHeader(const std::string& path, const std::string& header, const std::string& row, std::string& error) {
    Handle file{CreateFileW(widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        error = errorText(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    const bool isNew = GetFileSizeEx(file.h, &size) && size.QuadPart == 0;
    if (!writeAll(file.h, (isNew ? header : std::string()) + row)) {
        error = errorText(GetLastError());
        return false;
    }
    return true;
}

std::vector<std::string> environmentLines() {
    std::vector<std::string> lines;
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return lines;
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        if (*p == L'=') continue;  // the per-drive folders ("=C:=C:\...")
        lines.push_back(narrow(p));
    }
    FreeEnvironmentStringsW(block);
    return lines;
}

// The game appears only after the delay, while steam.exe returns at once: a
// detached copy of steam.exe waits and then starts it.
bool startDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& environment, const std::string& folder, long delayMs) {
    std::vector<std::string> helperArgs{std::string(kDelayedStart), std::to_string(delayMs < 0 ? 0 : delayMs), program};
    helperArgs.insert(helperArgs.end(), args.begin(), args.end());
    return create(selfPath(nullptr), helperArgs, environment, folder);
}

int runDelayedStart(int argc, char** argv) {
    if (argc < 4 || argv[1] != kDelayedStart) return -1;
    sleepMs(std::atol(argv[2]));
    std::vector<std::string> args;
    for (int i = 4; i < argc; ++i) args.emplace_back(argv[i]);
    // The environment and folder are this helper's own, as steam.exe gave them.
    return create(argv[3], args, {}, {}) ? 0 : 1;
}

int runUntilEnded() {
    for (;;) Sleep(INFINITE);
}

void hangUntilEnded() {
    for (;;) Sleep(INFINITE);
}

void crash() {
    // The code of an access violation, without the system's error window.
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
    ExitProcess(0xC0000005);
}

}  // namespace vantor::sim
