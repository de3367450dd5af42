#pragma once
// A temporary folder removed with the object, and small file helpers for tests.

#include "tests/support/Portable.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace vantor::test {

class TempDir {
public:
    TempDir() : path_(makeTempFolder("vantor-test-")) {}
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing separator ('\\' on Windows).
    std::string path() const { return path_ + kSep; }
    // A path below the folder; '/' in rel becomes the system's separator.
    std::string operator/(std::string rel) const {
        for (char& c : rel)
            if (c == '/') c = kSep;
        return path() + rel;
    }

private:
#ifdef _WIN32
    static constexpr char kSep = '\\';
#else
    static constexpr char kSep = '/';
#endif
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// The regular files of a folder (not its subfolders): name -> bytes.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) files[e.path().filename().string()] = readFile(e.path().string());
    return files;
}

}  // namespace vantor::test
