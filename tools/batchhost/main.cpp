// vantor-batch FILE [ARGUMENTS...]
//
// Runs a batch file the way the Windows command processor runs the simple lines
// the program writes: lines end in CR LF (or LF), the text is Windows-1252; blank
// lines and "rem" lines are skipped; a leading "@" is dropped; blanks separate
// words and double quotes group them. The program of a line is looked up in the
// working folder first (the name as written, e.g. "steam.exe"), then on PATH. Each
// program is waited for; the exit code is that of the last line. A program that
// is not found prints the command processor's message and sets 9009 (of which a
// POSIX exit status keeps the low 8 bits). No shell is involved.

#include "platform/TextFile.h"
#include "platform/posix/ProgramLookup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace vantor::posix;

constexpr unsigned kNotFound = 9009;

bool isRemark(const std::string& text) {
    if (text.size() < 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = text[i];
        if (c != "rem"[i] && c != "REM"[i]) return false;
    }
    return text.size() == 3 || text[3] == ' ' || text[3] == '\t';
}

unsigned notFound(const std::string& name) {
    std::fprintf(stderr,
                 "'%s' is not recognized as an internal or external command, "
                 "operable program or batch file.\n",
                 name.c_str());
    return kNotFound;
}

std::string currentFolder() {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

// Runs one command and waits for it; returns its exit code.
unsigned runCommand(std::vector<std::string> words, const std::string& folder) {
    const std::string file = findProgram(words.front(), folder);
    if (file.empty()) return notFound(words.front());

    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (int rc = posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ); rc != 0) {
        if (rc == ENOENT) return notFound(words.front());
        std::fprintf(stderr, "'%s': %s\n", words.front().c_str(), std::strerror(rc));
        return 1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    return exitCodeOf(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vantor-batch FILE.bat\n");
        return 1;
    }
    std::vector<std::string> lines;
    if (!vantor::readTextLines(argv[1], lines)) {
        std::fprintf(stderr, "The batch file cannot be found.\n");
        return 1;
    }
    const std::string folder = currentFolder();
    unsigned exitCode = 0;
    for (const std::string& line : lines) {
        std::string text = trimBlanks(line);
        if (!text.empty() && text.front() == '@') text = trimBlanks(std::string_view(text).substr(1));
        if (text.empty() || isRemark(text)) continue;
        std::vector<std::string> words = splitCommandWords(text);
        if (words.empty()) continue;
        exitCode = runCommand(std::move(words), folder);
    }
    return static_cast<int>(exitCode);
}
