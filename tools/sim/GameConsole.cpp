#include "GameConsole.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vantor::sim {
namespace {

constexpr int kMaxExecDepth = 8;  // "exec" nesting, guards against files that run themselves

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits one line into commands at ';' outside quotes, dropping a "//" comment.
std::vector<std::string> splitCommands(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '/' && i + 1 < line.size() && line[i + 1] == '/') break;
        if (!quoted && c == ';') {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    out.push_back(cur);
    return out;
}

std::vector<std::string> tokens(const std::string& command) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < command.size()) {
        while (i < command.size() && std::isspace(static_cast<unsigned char>(command[i]))) ++i;
        if (i >= command.size()) break;
        std::string tok;
        if (command[i] == '"') {
            const auto close = command.find('"', i + 1);
            tok = command.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            i = close == std::string::npos ? command.size() : close + 1;
        } else {
            while (i < command.size() && !std::isspace(static_cast<unsigned char>(command[i]))) tok += command[i++];
        }
        out.push_back(tok);
    }
    return out;
}

}  // namespace

GameConsole::GameConsole(std::string cfgFolder, std::vector<std::string> commandLine, Log log)
    : cfgFolder_(std::move(cfgFolder)), commandLine_(std::move(commandLine)), log_(std::move(log)) {}

void GameConsole::boot() {
    execFile("config.cfg");
    if (!execFile("valve.rc")) execFile("autoexec.cfg");
    stuffCmds(0);
}

bool GameConsole::execFile(const std::string& name, int depth) {
    if (depth > kMaxExecDepth) {
        log_("exec " + name + ": nested too deep, skipped");
        return false;
    }
    std::string file = name;
    if (file.find('.') == std::string::npos) file += ".cfg";
    const std::string path = cfgFolder_ + "/" + file;
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular) {
        // A folder (or worse) in a configuration file's place: the game cannot start.
        if (fault_.empty()) fault_ = file + " is not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        log_("exec: couldn't exec " + file);
        return false;
    }
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception& e) {
        if (fault_.empty()) fault_ = file + " cannot be read (" + e.what() + ")";
        return false;
    }
    if (in.bad()) {
        if (fault_.empty()) fault_ = file + " cannot be read";
        return false;
    }
    filesRun_.push_back(file);
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        execLine(bytes.substr(start, end - start), depth);
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return true;
}

void GameConsole::execLine(const std::string& line, int depth) {
    for (const auto& command : splitCommands(line)) {
        const auto tok = tokens(command);
        if (tok.empty()) continue;
        const std::string name = lower(tok[0]);
        if (name == "exec") {
            if (tok.size() > 1) execFile(tok[1], depth + 1);
        } else if (name == "stuffcmds") {
            stuffCmds(depth);
        } else if (tok.size() > 1) {
            vars_[name] = tok[1];
        }
    }
}

void GameConsole::stuffCmds(int depth) {
    if (stuffed_) return;
    stuffed_ = true;
    for (const auto& command : commandLine_) execLine(command, depth);
}

std::string GameConsole::value(const std::string& name, const std::string& fallback) const {
    auto it = vars_.find(lower(name));
    return it != vars_.end() ? it->second : fallback;
}

double GameConsole::number(const std::string& name, double fallback) const {
    const std::string v = value(name);
    if (v.empty()) return fallback;
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(v.c_str(), &end);
    return (errno != 0 || end == v.c_str() || *end != '\0') ? fallback : d;
}

}  // namespace vantor::sim
