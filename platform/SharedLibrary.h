#pragma once
// A shared library loaded while the program runs, for libraries only some
// commands need: the program starts without them and loads one on first use.
// One backend per system (dlopen on POSIX, LoadLibrary on Windows). A loaded
// library stays loaded until the program ends.

#include <initializer_list>
#include <string>

namespace vantor {

class SharedLibrary {
public:
    // Loads the first of names that the system can load (file names as the
    // system's loader looks them up). error() tells why none could be.
    explicit SharedLibrary(std::initializer_list<const char*> names);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // "libcurl.so.4: cannot open shared object file: ..." for each name tried.
    const std::string& error() const { return error_; }

    // The address of an exported symbol, nullptr when the library lacks it (the
    // missing name is added to error()).
    void* symbol(const char* name);
    // The same, typed: lib.function<decltype(&curl_easy_init)>("curl_easy_init").
    template <class F>
    F function(const char* name) {
        return reinterpret_cast<F>(symbol(name));
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace vantor
