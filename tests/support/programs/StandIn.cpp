// A stand-in for an outside program, the same program on every system: the
// tests copy it into a folder under that program's name and say what it does
// in stand-in.cfg beside it, one name=value a line:
//   args_to=<path>   appends its arguments, blank-separated, as one line
//   wait_for=<path>  waits (checking every 10 ms) until the file is there
//   sleep_ms=<n>     then sleeps n milliseconds
//   report=<text>    then writes text ("\r", "\n", "\\" escaped) to the file
//                    named after "/t" on its command line
//   exit=<n>         and ends with exit code n (0 without it)
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>

namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path self = argc > 0 ? std::filesystem::path(argv[0]) : std::filesystem::path();
    std::ifstream in(self.parent_path() / "stand-in.cfg", std::ios::binary);
    if (!in) {
        std::cerr << "stand-in: no stand-in.cfg beside " << self.string() << "\n";
        return 125;
    }
    std::map<std::string, std::string> cfg;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (eq != std::string::npos) cfg[line.substr(0, eq)] = line.substr(eq + 1);
    }

    if (auto it = cfg.find("args_to"); it != cfg.end()) {
        std::string line;
        for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
        std::ofstream(it->second, std::ios::binary | std::ios::app) << line << "\n";
    }
    if (auto it = cfg.find("wait_for"); it != cfg.end())
        while (!std::filesystem::exists(it->second)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (auto it = cfg.find("sleep_ms"); it != cfg.end())
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(it->second)));
    if (auto it = cfg.find("report"); it != cfg.end()) {
        const char* target = nullptr;
        for (int i = 1; i + 1 < argc; ++i)
            if (std::strcmp(argv[i], "/t") == 0) target = argv[i + 1];
        if (target == nullptr) {
            std::cerr << "stand-in: no file after /t\n";
            return 125;
        }
        std::ofstream(target, std::ios::binary) << unescape(it->second);
    }
    if (auto it = cfg.find("exit"); it != cfg.end()) return std::stoi(it->second);
    return 0;
}
