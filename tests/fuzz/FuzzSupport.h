#pragma once
// Shared by the fuzz targets: a failed property aborts with its text (libFuzzer
// keeps the input; the corpus replay fails), and a scratch folder of this
// process for the parsers that read files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace vantor::fuzz {

[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "fuzz property failed: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

#define FUZZ_CHECK(cond, ...)                                                \
    do {                                                                     \
        if (!(cond)) ::vantor::fuzz::fail(#cond __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)

// A folder of this process below the temporary folder, emptied at exit.
inline const std::string& scratch() {
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        const fs::path p = fs::temp_directory_path() / ("vantor-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(p);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("vantor-fuzz-" + std::to_string(::getpid())), ec);
        });
        return p.string() + "/";
    }();
    return dir;
}

inline void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace vantor::fuzz
