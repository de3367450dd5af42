#pragma once
// Command words and program lookup as the Windows command processor does them,
// shared by the POSIX process runner and the batch host (tools/batchhost).
// Header-only so the batch host needs nothing else of the core.

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantor::posix {

// Text without leading and trailing blanks and control characters.
inline std::string trimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

// Splits a command line into words: blanks and tabs separate words, double
// quotes group blanks into a word and are removed ("" is an empty word).
// Backslashes are plain characters (they are folder separators on Windows).
inline std::vector<std::string> splitCommandWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

inline bool endsWithIgnoringCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char a = text[i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

inline bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline bool isExecutableFile(const std::string& path) {
    return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

// path when absolute, else folder/path.
inline std::string pathIn(const std::string& folder, const std::string& path) {
    if (path.empty() || path.front() == '/' || folder.empty()) return path;
    return folder.back() == '/' ? folder + path : folder + "/" + path;
}

// The program file for a name as written on a command line. A name with a
// folder part is taken as a path (relative to folder). A bare name is looked up
// in folder first, then in the folders of PATH (relative PATH entries count from
// folder). An executable file wins; a plain file of that name in folder is
// returned when nothing executable is found, so running it reports why it
// cannot run. Empty when there is no such file.
inline std::string findProgram(const std::string& name, const std::string& folder) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) {
        std::string path = pathIn(folder, name);
        return isRegularFile(path) ? path : std::string();
    }
    const std::string local = pathIn(folder, name);
    if (isExecutableFile(local)) return local;
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/bin:/usr/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string dir = path.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = pathIn(pathIn(folder, dir), name);
            if (isExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return isRegularFile(local) ? local : std::string();
}

// The exit code of a reaped child: its exit status, or 128 + the signal number
// when a signal ended it (as POSIX shells report it).
inline unsigned exitCodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<unsigned>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<unsigned>(WTERMSIG(status));
    return 0;
}

}  // namespace vantor::posix
