// vantor-cli updates itself: a loopback server offers a newer version (the
// same build compiled as the next version, signed with the test key the test
// copies of the program trust); "vantor-cli update" checks, asks, downloads, hands over to
// the replacement program, which puts the files in place and starts
// "vantor-cli /afterupgrade0", which shows the new version. Killing the
// replacement program at several points leaves a program that starts.

#include "core/ProgramVersion.h"
#include "platform/RegistryHive.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"
#include "update/UpgradeList.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";
constexpr std::time_t kReleaseTime = 1121817600;  // 2005-07-20, the served files' Last-Modified

// The processes whose program file is path (also once it was deleted).
std::vector<pid_t> processesOf(const std::string& path) {
    std::vector<pid_t> out;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ec;
        const std::string exe = fs::read_symlink(e.path() / "exe", ec).string();
        if (!ec && exe.rfind(path, 0) == 0) out.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return out;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class UpdateEndToEnd : public ::testing::Test {
protected:
    TempDir dir;
    HttpTestServer server;
    TestKey key = TestKey::fromFile(std::string(VANTOR_TEST_KEY_DIR) + "/update.key");
    std::string prog, hive, program, original, newer;
    const std::string current{programVersion()};
    const std::string next = VANTOR_TEST_NEWER_VERSION;

    void SetUp() override {
        ASSERT_TRUE(server.running());
        prog = dir / "prog/";
        hive = dir / "registry.reg";
        program = prog + "vantor-cli";
        fs::create_directories(prog);
        fs::create_directories(dir / "tmp");
        original = readFile(std::string(VANTOR_TESTKEY_BIN_DIR) + "/vantor-cli");
        newer = readFile(std::string(VANTOR_TESTKEY_NEWER_DIR) + "/vantor-cli");
        ASSERT_FALSE(original.empty());
        ASSERT_FALSE(newer.empty());
        freshProgramFolder();
        offer(next);
    }

    void freshProgramFolder() {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(prog)) fs::remove_all(e.path(), ec);
        writeFile(program, original);
        ::chmod(program.c_str(), 0755);
        fs::remove(hive, ec);
        RegistryHive h(hive);
        for (auto [name, value] : std::map<std::string, std::string>{
                 {"Programversion", current}, {"Addinfo", "0"}, {"Donate", "1"}, {"NoErrorWarning", "0"}})
            ASSERT_TRUE(h.setString(RegRoot::LocalMachine, kKey, name, value));
    }

    // The program of the next version and its version file, signed.
    void offer(const std::string& version, const TestKey* signer = nullptr) {
        server.put("vantor-cli", newer, kReleaseTime);
        server.put("version.txt", version, kReleaseTime);
        const std::string info =
            infoFile(version, {{server.url("/files/vantor-cli"), newer}, {server.url("/files/version.txt"), version}});
        server.put("qvn_vantor.inf", info);
        server.put("qvn_vantor.inf.sig", (signer ? *signer : key).sign(info));
    }

    Cli cli(std::vector<std::string> args, const std::string& name = "cli") {
        return Cli(dir.path(), hive, std::move(args),
                   {"VANTOR_UPDATE_URL=" + server.url("/files/qvn_vantor.inf"), "TMPDIR=" + dir / "tmp"}, name,
                   program);
    }

    std::string storedVersion() {
        RegistryHive h(hive);
        const RegValue v = h.query(RegRoot::LocalMachine, kKey, "Programversion");
        return v.kind == RegValueKind::String ? v.text : "(none)";
    }

    std::vector<std::string> leftovers() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(prog)) {
            const std::string n = e.path().filename().string();
            if (n.ends_with(".uTMP") || n == kUpgradeListName) out.push_back(n);
        }
        return out;
    }

    // Waits until no replacement program and no restarted program runs.
    void waitForQuiet() {
        EXPECT_TRUE(waitUntil([&] { return processesOf(dir / "tmp/Upgrader3.exe").empty(); }, 30s));
        EXPECT_TRUE(waitUntil([&] { return processesOf(program).empty(); }, 30s));
    }
};

TEST_F(UpdateEndToEnd, UpdatesItselfAndStartsAgainWithTheNewVersion) {
    auto c = cli({"update", "--yes"});
    ASSERT_EQ(c.wait(60s), 0) << c.out() << c.err();
    // The restarted program writes to the same output.
    EXPECT_TRUE(waitUntil([&] { return c.out().find("Benchmark version: " + next) != std::string::npos; }, 30s))
        << c.out() << c.err();
    waitForQuiet();
    const std::string out = c.out();
    EXPECT_NE(out.find("Downloading 1 of 2"), std::string::npos) << out;
    EXPECT_NE(out.find("Downloading 2 of 2"), std::string::npos) << out;
    EXPECT_NE(out.find("The update of Quorvane Half-Life 2 benchmark has been successfully completed."),
              std::string::npos);
    EXPECT_EQ(storedVersion(), next);
    EXPECT_FALSE(exists(prog + "version.txt"));  // taken by the start-up
    EXPECT_TRUE(leftovers().empty());
    // The program's file is the downloaded one: its bytes, its time, still executable.
    EXPECT_EQ(readFile(program), newer);
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kReleaseTime);
    EXPECT_EQ(::access(program.c_str(), X_OK), 0);
    // The restarted program removed the replacement program.
    EXPECT_FALSE(exists(dir / "tmp/Upgrader3.exe"));
}

TEST_F(UpdateEndToEnd, TheAnswerAndTheOutcomeGiveTheExitCode) {
    {
        auto c = cli({"update"});  // the question is answered Later
        EXPECT_EQ(c.wait(60s), 1);
        EXPECT_NE(c.err().find("Do you want to update your version with the latest one? [Later]"), std::string::npos)
            << c.err();
        EXPECT_NE(c.err().find("vantor-cli: Update aborted."), std::string::npos) << c.err();
        EXPECT_NE(c.out().find("Update aborted."), std::string::npos);
    }
    {
        const TestKey stranger;
        offer(next, &stranger);
        auto c = cli({"update", "--yes"});
        EXPECT_EQ(c.wait(60s), 1);
        EXPECT_NE(c.err().find("vantor-cli: The update information could not be verified."), std::string::npos)
            << c.err();
    }
    {
        offer(current);
        auto c = cli({"update", "--yes"});
        EXPECT_EQ(c.wait(60s), 0);
        EXPECT_NE(c.out().find("No update available."), std::string::npos) << c.out();
    }
    {
        auto c = cli({"update", "--now"});
        EXPECT_EQ(c.wait(60s), 2);
    }
    EXPECT_EQ(readFile(program), original);
    EXPECT_EQ(storedVersion(), current);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(server.hits("/files/vantor-cli"), 0);
}

// The replacement program killed while it waits for the program, and at
// several moments after the program has ended: the program starts every time,
// and the start that follows leaves the new version whole.
TEST_F(UpdateEndToEnd, KillingTheReplacementProgramLeavesAProgramThatStarts) {
    const std::vector<int> delaysMs = {-1, 0, 1, 3, 10, 30};  // -1: while the program still runs
    for (const int delay : delaysMs) {
        SCOPED_TRACE("kill after " + std::to_string(delay) + " ms");
        freshProgramFolder();
        pid_t holder = 0;
        if (delay < 0) {
            // Another instance of the program holds its file: the replacement waits.
            std::vector<std::string> args = {"/usr/bin/flock", "-s", program, "sleep", "20"};
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ASSERT_EQ(posix_spawn(&holder, argv[0], nullptr, nullptr, argv.data(), environ), 0);
            std::this_thread::sleep_for(100ms);
        }
        auto c = cli({"update", "--yes"}, "update" + std::to_string(delay + 1));
        ASSERT_EQ(c.wait(60s), 0) << c.err();
        if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        if (delay < 0) std::this_thread::sleep_for(200ms);
        for (pid_t pid : processesOf(dir / "tmp/Upgrader3.exe")) ::kill(pid, SIGKILL);
        if (holder) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
        waitForQuiet();
        if (delay < 0) {
            EXPECT_EQ(readFile(prog + "version.txt"), "");  // nothing was replaced yet
            EXPECT_FALSE(leftovers().empty());
        }
        // The program starts, whatever the moment was, and that start leaves the
        // new version in place, which the next start runs.
        const std::string before = readFile(program);
        EXPECT_TRUE(before == original || before == newer);
        auto start = cli({"start"}, "start" + std::to_string(delay + 1));
        EXPECT_EQ(start.wait(60s), 0) << start.err();
        waitForQuiet();
        EXPECT_EQ(readFile(program), newer);
        EXPECT_TRUE(leftovers().empty());
        EXPECT_EQ(::access(program.c_str(), X_OK), 0);
        auto again = cli({"start"}, "again" + std::to_string(delay + 1));
        EXPECT_EQ(again.wait(60s), 0) << again.err();
        EXPECT_EQ(storedVersion(), next);
    }
}

}  // namespace
