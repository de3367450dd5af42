#include "platform/SharedLibrary.h"

#include "platform/win/WinError.h"

#include <windows.h>

namespace vantor {

SharedLibrary::SharedLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        // Only the system's search path for libraries: not the working folder.
        HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (module) {
            handle_ = reinterpret_cast<void*>(module);
            error_.clear();
            return;
        }
        const DWORD code = ::GetLastError();
        if (!error_.empty()) error_ += "; ";
        error_ += std::string(name) + ": " + win::systemErrorText(code);
    }
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_) return nullptr;
    FARPROC address = ::GetProcAddress(reinterpret_cast<HMODULE>(handle_), name);
    if (!address) {
        if (!error_.empty()) error_ += "; ";
        error_ += std::string("no symbol ") + name;
    }
    return reinterpret_cast<void*>(address);
}

}  // namespace vantor
