// Windows backend of TRunAFile: CreateProcess of the command line with the
// start-up record and creation flags of the record, then a wait on the process
// (first) and a manual-reset stop event (second) with the wait limit.

#include "platform/RunAFileBackend.h"

#include "platform/win/ReadyForInput.h"
#include "platform/win/WinError.h"

#include <windows.h>

namespace vantor::detail {
namespace {

class WinRunProcess final : public RunProcess {
public:
    WinRunProcess(HANDLE process, DWORD id, HANDLE stop) : process_(process), stop_(stop), id_(id) {}
    ~WinRunProcess() override {
        CloseHandle(stop_);
        CloseHandle(process_);
    }

    int processId() const override { return static_cast<int>(id_); }

    bool stillActive() override {
        DWORD code = 0;
        return GetExitCodeProcess(process_, &code) && code == STILL_ACTIVE;
    }

    TRet wait(std::uint32_t limitMs) override {
        TRet ret;
        SetLastError(0);
        const HANDLE objects[2] = {process_, stop_};
        const DWORD r = WaitForMultipleObjects(2, objects, FALSE, limitMs == kInfiniteWait ? INFINITE : limitMs);
        ret.error = static_cast<int>(GetLastError());
        if (r == WAIT_OBJECT_0) {
            ret.waitResult = kWaitProcessEnded;
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            ret.exitCode = code;
        } else if (r == WAIT_OBJECT_0 + 1) {
            ret.waitResult = kWaitStopped;
        } else if (r == WAIT_TIMEOUT) {
            ret.waitResult = kWaitTimedOut;
        } else {
            ret.waitResult = kWaitFailed;
        }
        return ret;
    }

    void stop() override { SetEvent(stop_); }

private:
    const HANDLE process_;
    const HANDLE stop_;
    const DWORD id_;
};

}  // namespace

std::unique_ptr<RunProcess> startRunProcess(const RunLaunch& launch, int& error) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = launch.startup.dwFlags;
    si.wShowWindow = static_cast<WORD>(launch.startup.wShowWindow);

    std::wstring commandLine = win::widen(launch.commandLine);  // CreateProcess may write into it
    const std::wstring folder = win::widen(launch.workingFolder);
    DWORD flags = launch.creationFlags;
    std::wstring environment;
    if (!launch.environment.empty()) {
        for (const auto& line : launch.environment) {
            environment += win::widen(line);
            environment += L'\0';
        }
        environment += L'\0';
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }

    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags,
                        environment.empty() ? nullptr : environment.data(), folder.empty() ? nullptr : folder.c_str(),
                        &si, &pi)) {
        error = static_cast<int>(GetLastError());
        CloseHandle(stop);
        return nullptr;
    }
    win::waitUntilReadyForInput(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    SetLastError(0);
    return std::make_unique<WinRunProcess>(pi.hProcess, pi.dwProcessId, stop);
}

}  // namespace vantor::detail
