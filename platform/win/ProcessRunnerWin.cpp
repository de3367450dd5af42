// Windows backend of TCreateProcess: CreateProcess with the start-up record, the
// creation flags and the working folder as given. A command line that names a
// ".bat" file is run by the system's command interpreter, as CreateProcess
// does it. The wide call is used so that the program's UTF-8 texts reach the
// system unchanged whatever the ANSI code page.

#include "platform/ProcessRunnerBackend.h"

#include "platform/win/ReadyForInput.h"
#include "platform/win/WinError.h"

#include <windows.h>

namespace vantor::detail {
namespace {

HANDLE handleOf(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

void closeIfSet(std::intptr_t h) {
    if (h) CloseHandle(handleOf(h));
}

// "NAME=value" lines as the block CreateProcess takes: each ended by a zero,
// one more zero after the last.
std::wstring environmentBlock(const std::vector<std::string>& lines) {
    std::wstring block;
    for (const auto& line : lines) {
        block += win::widen(line);
        block += L'\0';
    }
    block += L'\0';
    return block;
}

}  // namespace

std::string osErrorMessage(int code) { return win::systemErrorText(static_cast<std::uint32_t>(code)); }

StartedProcess createProcess(const ProcessLaunch& launch) {
    const std::wstring desktop = win::widen(launch.startup.lpDesktop);
    const std::wstring title = win::widen(launch.startup.lpTitle);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = launch.startup.dwFlags;
    si.dwX = static_cast<DWORD>(launch.startup.dwX);
    si.dwY = static_cast<DWORD>(launch.startup.dwY);
    si.dwXSize = static_cast<DWORD>(launch.startup.dwXSize);
    si.dwYSize = static_cast<DWORD>(launch.startup.dwYSize);
    si.wShowWindow = static_cast<WORD>(launch.startup.wShowWindow);
    si.lpDesktop = desktop.empty() ? nullptr : const_cast<wchar_t*>(desktop.c_str());
    si.lpTitle = title.empty() ? nullptr : const_cast<wchar_t*>(title.c_str());

    const std::wstring application = win::widen(launch.applicationName);
    std::wstring commandLine = win::widen(launch.commandLine);  // CreateProcess may write into it
    const std::wstring folder = win::widen(launch.workingFolder);
    DWORD flags = launch.creationFlags;
    // A hidden console program gets no console of the caller's: a batch file's
    // echo stays out of vantor-cli's output.
    if ((si.dwFlags & STARTF_USESHOWWINDOW) && si.wShowWindow == SW_HIDE) flags |= CREATE_NO_WINDOW;
    std::wstring environment;
    if (!launch.environment.empty()) {
        environment = environmentBlock(launch.environment);
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }

    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(application.empty() ? nullptr : application.c_str(), commandLine.data(), nullptr,
                                   nullptr, FALSE, flags, environment.empty() ? nullptr : environment.data(),
                                   folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    if (!ok) throw EOSError(static_cast<int>(GetLastError()));

    StartedProcess process;
    process.processId = static_cast<int>(pi.dwProcessId);
    process.processHandle = reinterpret_cast<std::intptr_t>(pi.hProcess);
    process.threadHandle = reinterpret_cast<std::intptr_t>(pi.hThread);
    return process;
}

bool prepareWait(StartedProcess& process, int& error) {
    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // manual reset, not signalled
    if (!stop) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    process.stopEvent = reinterpret_cast<std::intptr_t>(stop);
    return true;
}

bool waitForExit(const StartedProcess& process, std::uint32_t& exitCode, int& error) {
    const HANDLE h = handleOf(process.processHandle);
    win::waitUntilReadyForInput(h, INFINITE);
    const HANDLE objects[2] = {handleOf(process.stopEvent), h};
    const DWORD r = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0 + 1) {
        DWORD code = 0;
        if (GetExitCodeProcess(h, &code)) {
            exitCode = code;
            return true;
        }
    } else if (r == WAIT_OBJECT_0) {
        exitCode = 0xFFFFFFFFu;
        error = 0;
        return false;
    }
    error = static_cast<int>(GetLastError());
    return false;
}

void stopWait(const StartedProcess& process) {
    if (process.stopEvent) SetEvent(handleOf(process.stopEvent));
}

void closeWait(const StartedProcess& process) {
    closeIfSet(process.stopEvent);
    closeIfSet(process.threadHandle);
    closeIfSet(process.processHandle);
}

void releaseProcess(const StartedProcess& process) {
    if (process.processHandle) win::waitUntilReadyForInput(handleOf(process.processHandle), INFINITE);
    closeWait(process);
}

}  // namespace vantor::detail
