#include "platform/win/ReadyForInput.h"

#include <cstddef>
#include <cstdio>
#include <memory>

namespace vantor::win {
namespace {

// Whether the program file of a process is built for the console subsystem.
bool isConsoleProgram(HANDLE process) {
    wchar_t path[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path, L"rb"), &std::fclose);
    if (!file) return false;
    IMAGE_DOS_HEADER dos{};
    if (std::fread(&dos, sizeof dos, 1, file.get()) != 1 || dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
    if (std::fseek(file.get(), dos.e_lfanew, SEEK_SET) != 0) return false;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    WORD magic = 0;
    if (std::fread(&signature, sizeof signature, 1, file.get()) != 1 || signature != IMAGE_NT_SIGNATURE) return false;
    if (std::fread(&header, sizeof header, 1, file.get()) != 1) return false;
    if (std::fread(&magic, sizeof magic, 1, file.get()) != 1) return false;
    // The subsystem sits at the same offset of both optional headers.
    const long subsystemAt = offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem) - static_cast<long>(sizeof magic);
    if (std::fseek(file.get(), subsystemAt, SEEK_CUR) != 0) return false;
    WORD subsystem = 0;
    if (std::fread(&subsystem, sizeof subsystem, 1, file.get()) != 1) return false;
    return subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

}  // namespace

void waitUntilReadyForInput(HANDLE process, DWORD limitMs) {
    if (isConsoleProgram(process)) return;
    WaitForInputIdle(process, limitMs);
}

}  // namespace vantor::win
