#pragma once
// The sanitizers' settings of this process, for a child started with an
// environment of its own (vantor-cli, the window, the simulator): in a
// sanitizer build the child is checked and reports the same way.

#include <cstdlib>
#include <string>
#include <vector>

namespace vantor::test {

inline std::vector<std::string> sanitizerEnvironment() {
    static constexpr const char* kNames[] = {"ASAN_OPTIONS",         "UBSAN_OPTIONS",        "LSAN_OPTIONS",
                                             "MSAN_OPTIONS",         "TSAN_OPTIONS",         "ASAN_SYMBOLIZER_PATH",
                                             "LLVM_SYMBOLIZER_PATH", "UBSAN_SYMBOLIZER_PATH"};
    std::vector<std::string> out;
    for (const char* name : kNames)
        if (const char* value = std::getenv(name)) out.push_back(std::string(name) + "=" + value);
    return out;
}

}  // namespace vantor::test
