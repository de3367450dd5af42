#include "tests/support/Portable.h"
#include "tests/support/SystemText.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <cstdlib>
#else
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace vantor::test {

#ifdef _WIN32

std::vector<std::string> systemEnvironment() {
    std::vector<std::string> env;
    for (const char* name : {"SystemRoot", "windir", "TEMP", "TMP", "SystemDrive", "ComSpec", "LOCALAPPDATA"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, MAX_PATH);
    env.push_back("PATH=" + std::string(system, n < MAX_PATH ? n : 0));
    return env;
}

std::string missingFolderText() {
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_PATH_NOT_FOUND, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = buffer ? buffer : "";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

void setEnv(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }
void unsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }
bool runningAsRoot() { return false; }
bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string systemErrorText(int code) {
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = buffer ? buffer : "";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}
std::string fileNotFoundText() { return systemErrorText(ERROR_FILE_NOT_FOUND); }

void killProcess(std::uint32_t pid) {
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
    }
}

void sendSignal(std::uint32_t, int) {}  // POSIX signals only

std::tm utcTime(std::time_t t) {
    std::tm tm{};
    gmtime_s(&tm, &t);
    return tm;
}

bool makeSymlink(const std::string& target, const std::string& link) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    // Wine answers success and makes nothing: the link must be there afterwards.
    return CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) != 0 &&
           GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void makeHidden(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
}

bool makeHardLink(const std::string& existing, const std::string& link) {
    return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& outFile, const std::string& errFile) {
    kill();
    auto quote = [](const std::string& a) {
        if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
        std::string q = "\"";
        std::size_t slashes = 0;
        for (char c : a) {
            if (c == '\\') {
                ++slashes;
                continue;
            }
            q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
            slashes = 0;
            q += c;
        }
        q.append(slashes * 2, '\\');
        return q + "\"";
    };
    std::string line = quote(program);
    for (const auto& a : args) line += " " + quote(a);
    std::string block;
    for (const auto& e : env) block += e + '\0';
    block += '\0';
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                   env.empty() ? nullptr : block.data(), nullptr, &si, &pi);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (!ok) return false;
    CloseHandle(pi.hThread);
    id_ = pi.dwProcessId;
    handle_ = reinterpret_cast<std::intptr_t>(pi.hProcess);
    exitCode_ = -1;
    return true;
}

bool ChildProcess::waitFor(int limitMs) {
    if (id_ == 0) return true;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    if (WaitForSingleObject(h, static_cast<DWORD>(limitMs < 0 ? 0 : limitMs)) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    exitCode_ = GetExitCodeProcess(h, &code) ? static_cast<int>(code) : -1;
    CloseHandle(h);
    handle_ = 0;
    id_ = 0;
    return true;
}

bool ChildProcess::ended() { return waitFor(0); }

void ChildProcess::kill() {
    if (id_ == 0) return;
    TerminateProcess(reinterpret_cast<HANDLE>(handle_), 1);
    waitFor(10000);
    exitCode_ = -1;
}

void ChildProcess::interrupt() {
    if (id_ != 0) GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_);
}

#else

std::vector<std::string> systemEnvironment() { return {"PATH=/usr/bin:/bin"}; }

std::string missingFolderText() { return std::strerror(ENOENT); }

void setEnv(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetEnv(const std::string& name) { ::unsetenv(name.c_str()); }
bool runningAsRoot() { return ::geteuid() == 0; }
bool runningUnderWine() { return false; }
std::string systemErrorText(int code) { return std::strerror(code); }
std::string fileNotFoundText() { return systemErrorText(ENOENT); }
void killProcess(std::uint32_t pid) { ::kill(static_cast<pid_t>(pid), SIGKILL); }
void sendSignal(std::uint32_t pid, int signal) { ::kill(static_cast<pid_t>(pid), signal); }

std::tm utcTime(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

bool makeSymlink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool makeHardLink(const std::string& existing, const std::string& link) {
    return ::link(existing.c_str(), link.c_str()) == 0;
}

void makeHidden(const std::string&) {}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& outFile, const std::string& errFile) {
    kill();
    std::vector<std::string> envCopy = env, argCopy = args;
    std::vector<char*> envp;
    for (auto& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string programCopy = program;
    std::vector<char*> argv{programCopy.data()};
    for (auto& a : argCopy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    id_ = static_cast<std::uint32_t>(pid);
    exitCode_ = -1;
    return true;
}

bool ChildProcess::ended() {
    if (id_ == 0) return true;
    int status = 0;
    if (::waitpid(static_cast<pid_t>(id_), &status, WNOHANG) != static_cast<pid_t>(id_)) return false;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    id_ = 0;
    return true;
}

bool ChildProcess::waitFor(int limitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ChildProcess::kill() {
    if (id_ == 0) return;
    ::kill(static_cast<pid_t>(id_), SIGKILL);
    ::waitpid(static_cast<pid_t>(id_), nullptr, 0);
    id_ = 0;
    exitCode_ = -1;
}

void ChildProcess::interrupt() {
    if (id_ != 0) ::kill(static_cast<pid_t>(id_), SIGINT);
}

#endif

std::string makeTempFolder(const std::string& prefix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return {};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        static const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
        std::string name = prefix;
        for (int i = 0; i < 8; ++i) name += digits[rd() % 36];
        const fs::path folder = base / name;
        // create_directory is false (without an error) when it was there already.
        if (fs::create_directory(folder, ec)) return folder.string();
        if (ec) return {};
    }
    return {};
}

}  // namespace vantor::test
