// The batch host vantor-batch, started directly: how it splits and runs the
// lines of a batch file, where it finds programs, and what it exits with.

#include "platform/SystemInfo.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

using namespace vantor;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

struct BatchResult {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string stderrText;
};

// Runs vantor-batch on batchFile in folder; extraEnv lines replace or add
// variables of this process's environment.
BatchResult runBatch(const std::string& batchFile, const std::string& folder, const TempDir& scratch,
                     const std::vector<std::string>& extraEnv = {}) {
    const std::string host = SystemFolder() + "/vantor-batch";
    const std::string errFile = scratch / "stderr.txt";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string line = *e;
        bool replaced = false;
        for (const auto& x : extraEnv)
            if (line.substr(0, line.find('=') + 1) == x.substr(0, x.find('=') + 1)) replaced = true;
        if (!replaced) env.push_back(line);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string a0 = host, a1 = batchFile;
    char* argv[] = {a0.data(), a1.data(), nullptr};

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    BatchResult result;
    const int rc = posix_spawn(&pid, host.c_str(), &fa, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&fa);
    EXPECT_EQ(rc, 0) << host;
    if (rc != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.stderrText = readFile(errFile);
    return result;
}

void writeProgram(const std::string& path, const std::string& script) {
    writeFile(path, "#!/bin/sh\n" + script);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

const std::string kNotRecognized =
    "' is not recognized as an internal or external command, operable program or batch file.\n";

}  // namespace

TEST(BatchHost, SplitsWordsAtBlanksAndGroupsThemByDoubleQuotes) {
    TempDir dir;
    writeProgram(dir / "showargs", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > args.txt\n");
    writeFile(dir / "run.bat", "showargs one   \"two words\" \"\" th\"re\"e C:\\steam\\x.exe\t\"tab\there\"\r\n");
    const BatchResult r = runBatch(dir / "run.bat", dir.path(), dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(readFile(dir / "args.txt"), "[one][two words][][three][C:\\steam\\x.exe][tab\there]");
}

TEST(BatchHost, LooksInTheWorkingFolderBeforePath) {
    TempDir dir;
    const std::string work = dir / "steam", onPath = dir / "bin";
    std::filesystem::create_directories(work);
    writeProgram(work + "/tool", "echo working folder > ../which.txt\n");
    writeProgram(onPath + "/tool", "echo path > ../which.txt\n");
    writeFile(dir / "run.bat", "tool\r\n");
    const std::vector<std::string> env = {"PATH=" + onPath + ":/usr/bin:/bin"};

    EXPECT_EQ(runBatch(dir / "run.bat", work, dir, env).status, 0);
    EXPECT_EQ(readFile(dir / "which.txt"), "working folder\n");

    std::filesystem::remove(work + "/tool");
    EXPECT_EQ(runBatch(dir / "run.bat", work, dir, env).status, 0);
    EXPECT_EQ(readFile(dir / "which.txt"), "path\n");
}

TEST(BatchHost, SkipsBlankAndRemLinesDropsAtAndExitsWithTheLastCode) {
    TempDir dir;
    writeFile(dir / "run.bat",
              "@rem first\r\n"
              "\r\n"
              "REM the next line sets 6\r\n"
              "   \r\n"
              "sh -c \"exit 6\"\r\n"
              "rem\n"
              "@sh -c \"echo $0 > second.txt; exit 4\" second\n");
    const BatchResult r = runBatch(dir / "run.bat", dir.path(), dir);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.stderrText, "");  // no "rem" was run as a program
    EXPECT_EQ(readFile(dir / "second.txt"), "second\n");
}

TEST(BatchHost, UnknownProgramPrintsTheCommandMessageAndSets9009) {
    TempDir dir;
    writeFile(dir / "last.bat", "sh -c \"exit 0\"\r\nno-such-program-vantor arg\r\n");
    BatchResult r = runBatch(dir / "last.bat", dir.path(), dir);
    EXPECT_EQ(r.stderrText, "'no-such-program-vantor" + kNotRecognized);
    EXPECT_EQ(r.status, 9009 & 0xFF);  // a POSIX exit status keeps the low 8 bits

    // As in the command processor, the following lines still run.
    writeFile(dir / "then.bat", "\"missing folder/prog.exe\"\r\ntouch ran.txt\r\n");
    r = runBatch(dir / "then.bat", dir.path(), dir);
    EXPECT_EQ(r.stderrText, "'missing folder/prog.exe" + kNotRecognized);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(vantor::test::exists(dir / "ran.txt"));
}

TEST(BatchHost, ReadsTheBatchFileAsWindows1252) {
    TempDir dir;
    writeProgram(dir / "Caf\xC3\xA9 dir/mark", "echo ran > \"$1\"\n");
    // The program writes its batch files in Windows-1252: 0xE9 is "é".
    writeFile(dir / "run.bat", "\"" + dir.path() + "Caf\xE9 dir/mark\" marker.txt\r\n");
    const BatchResult r = runBatch(dir / "run.bat", dir.path(), dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir / "marker.txt"), "ran\n");
}

TEST(BatchHost, MissingBatchFileFails) {
    TempDir dir;
    const BatchResult r = runBatch(dir / "gone.bat", dir.path(), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.stderrText, "The batch file cannot be found.\n");
}
