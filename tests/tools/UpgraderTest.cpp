// The replacement program as the program starts it: written out from the
// image the program carries, waiting for the program to end, putting the files
// in place, starting the program again; killed while it waits; the external
// setup.

#include "tests/support/TempDir.h"
#include "update/UpgradeList.h"
#include "update/UpgraderImage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

pid_t spawn(std::vector<std::string> args, const std::string& out = "/dev/null") {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// The exit code, or -1 when it did not end within the limit (then it is killed).
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(2ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool waitForFile(const std::string& path, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!exists(path) || readFile(path).empty()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class UpgraderTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string prog, upgrader;

    void SetUp() override {
        prog = dir / "prog/";
        upgrader = dir / "Upgrader3.exe";
        writeFile(upgrader, std::string(upgraderImage()));
        ::chmod(upgrader.c_str(), 0700);
        script(prog + "vantor", "old");
    }

    // A program that notes how it was started.
    void script(const std::string& path, const std::string& who) {
        writeFile(path, "#!/bin/sh\necho \"" + who + " $1\" > \"$(dirname \"$0\")/started.txt\"\n");
        ::chmod(path.c_str(), 0755);
    }

    void downloadNewVersion() {
        script(prog + "vantor.uTMP", "new");
        ::chmod((prog + "vantor.uTMP").c_str(), 0644);  // as a download is written
        writeFile(prog + "version.txt.uTMP", "1.4");
        ASSERT_TRUE(UpgradeList::write(prog, UpgradeList::plan(prog, "vantor", false)));
    }
};

TEST_F(UpgraderTest, WithoutArgumentsOnlyTellsWhatItIs) {
    const pid_t pid = spawn({upgrader}, dir / "out.txt");
    EXPECT_EQ(waitFor(pid, 10s), 0);
    EXPECT_NE(readFile(dir / "out.txt").find("Upgrader3"), std::string::npos);
}

TEST_F(UpgraderTest, WaitsForTheProgramThenReplacesAndRestartsIt) {
    downloadNewVersion();
    // The running program holds its file until it ends.
    const pid_t program = spawn({"/usr/bin/flock", "-s", prog + "vantor", "sleep", "0.5"});
    std::this_thread::sleep_for(100ms);
    const pid_t pid = spawn({upgrader, prog + "vantor", "+/afterupgrade0"});
    std::this_thread::sleep_for(150ms);
    EXPECT_NE(::waitpid(pid, nullptr, WNOHANG), pid) << "it did not wait for the program";
    EXPECT_TRUE(exists(prog + "vantor.uTMP"));
    EXPECT_EQ(waitFor(program, 10s), 0);
    EXPECT_EQ(waitFor(pid, 10s), 0);
    ASSERT_TRUE(waitForFile(prog + "started.txt", 10s));
    EXPECT_EQ(readFile(prog + "started.txt"), "new /afterupgrade0\n");
    EXPECT_EQ(readFile(prog + "version.txt"), "1.4");
    EXPECT_EQ(::access((prog + "vantor").c_str(), X_OK), 0);
    EXPECT_FALSE(exists(prog + kUpgradeListName));
    EXPECT_FALSE(exists(prog + "vantor.uTMP"));
}

TEST_F(UpgraderTest, KilledWhileWaitingLeavesAProgramThatStartsAndFinishesNextTime) {
    downloadNewVersion();
    const pid_t program = spawn({"/usr/bin/flock", "-s", prog + "vantor", "sleep", "5"});
    std::this_thread::sleep_for(100ms);
    const pid_t pid = spawn({upgrader, prog + "vantor", "+/afterupgrade0"});
    std::this_thread::sleep_for(100ms);
    ::kill(pid, SIGKILL);
    waitFor(pid, 5s);
    ::kill(program, SIGKILL);
    waitFor(program, 5s);
    // The old program still starts.
    EXPECT_EQ(waitFor(spawn({prog + "vantor", "x"}), 10s), 0);
    EXPECT_EQ(readFile(prog + "started.txt"), "old x\n");
    // Its start-up finishes the update.
    UpgradeList::recover(prog);
    EXPECT_EQ(waitFor(spawn({prog + "vantor", "y"}), 10s), 0);
    EXPECT_EQ(readFile(prog + "started.txt"), "new y\n");
    EXPECT_EQ(readFile(prog + "version.txt"), "1.4");
}

TEST_F(UpgraderTest, DownloadsWithoutAListAreNotUsed) {
    script(prog + "vantor.uTMP", "unchecked");
    const pid_t pid = spawn({upgrader, prog + "vantor", "+/afterupgrade0"});
    EXPECT_EQ(waitFor(pid, 10s), 0);
    ASSERT_TRUE(waitForFile(prog + "started.txt", 10s));
    EXPECT_EQ(readFile(prog + "started.txt"), "old /afterupgrade0\n");
    EXPECT_FALSE(exists(prog + "vantor.uTMP"));
}

TEST_F(UpgraderTest, RunsAnExternalSetupThenTheProgram) {
    writeFile(prog + "setup.exe.uTMP", "#!/bin/sh\necho \"setup $1\" > \"$(dirname \"$0\")/setup.txt\"\nsleep 0.2\n");
    ASSERT_TRUE(UpgradeList::write(prog, UpgradeList::plan(prog, "vantor", true)));
    const pid_t pid = spawn({upgrader, prog + "vantor", "+/afterupgrade1"});
    EXPECT_EQ(waitFor(pid, 10s), 0);
    EXPECT_EQ(readFile(prog + "setup.txt"), "setup /afterupgrade1\n");
    EXPECT_FALSE(exists(prog + "setup.exe"));  // removed once it has run
    ASSERT_TRUE(waitForFile(prog + "started.txt", 10s));
    EXPECT_EQ(readFile(prog + "started.txt"), "old /afterupgrade1\n");
}

}  // namespace
