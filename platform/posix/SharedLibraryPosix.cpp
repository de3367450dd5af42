#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace vantor {

SharedLibrary::SharedLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        handle_ = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            error_.clear();
            return;
        }
        const char* why = ::dlerror();
        if (!error_.empty()) error_ += "; ";
        error_ += why ? why : name;
    }
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_) return nullptr;
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address) {
        if (!error_.empty()) error_ += "; ";
        error_ += std::string("no symbol ") + name;
    }
    return address;
}

}  // namespace vantor
