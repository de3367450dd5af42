// The program updates itself from its window, on a virtual display (Xvfb):
// "vantor --update" clicks "Update benchmark", the keyboard (xdotool) answers
// the question with Yes and the completed progress window with OK; the
// replacement program puts the served next version in place and starts
// "vantor /afterupgrade0", whose start-up takes the new version.

#include "core/ProgramVersion.h"
#include "platform/RegistryHive.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/SanitizerEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"
#include "update/UpgradeList.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";

pid_t spawnWith(std::vector<std::string> args, std::vector<std::string> env, const std::string& out) {
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The processes whose program file is path, with their command lines.
std::vector<std::pair<pid_t, std::string>> processesOf(const std::string& path) {
    std::vector<std::pair<pid_t, std::string>> out;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ec;
        if (fs::read_symlink(e.path() / "exe", ec).string().rfind(path, 0) != 0 || ec) continue;
        std::string cmd = readFile((e.path() / "cmdline").string());
        for (char& c : cmd)
            if (c == '\0') c = ' ';
        out.emplace_back(static_cast<pid_t>(std::stol(name)), cmd);
    }
    return out;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200 && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(10ms);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, WNOHANG);
}

class UpdateWindowEndToEnd : public ::testing::Test {
protected:
    TempDir dir;
    HttpTestServer server;
    TestKey key = TestKey::fromFile(std::string(VANTOR_TEST_KEY_DIR) + "/update.key");
    pid_t xvfb = 0, program = 0;
    std::string display;
    std::vector<std::string> env;

    void TearDown() override {
        stop(program);
        for (auto& [pid, cmd] : processesOf(dir / "prog/vantor")) stop(pid);
        stop(xvfb);
    }

    // Runs xdotool with the arguments; its output.
    std::string xdotool(const std::string& args) {
        const std::string out = dir / "xdotool.out";
        const std::string cmd = "DISPLAY=" + display + " xdotool " + args + " > '" + out + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) return {};
        return readFile(out);
    }
    // Presses Return in the window named "Application update wizard".
    bool pressReturnInUpdateWindow() {
        std::string id = xdotool("search --name 'Application update wizard'");
        if (id.empty()) return false;
        id = id.substr(0, id.find('\n'));
        xdotool("windowfocus --sync " + id);
        xdotool("key Return");
        return true;
    }
};

TEST_F(UpdateWindowEndToEnd, TheWindowUpdatesItselfAndShowsTheNewVersion) {
    if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/setup installs them)";
    ASSERT_TRUE(server.running());
    const std::string prog = dir / "prog/";
    fs::create_directories(prog);
    fs::create_directories(dir / "tmp");
    const std::string original = readFile(std::string(VANTOR_TESTKEY_BIN_DIR) + "/vantor");
    const std::string newer = readFile(std::string(VANTOR_TESTKEY_NEWER_DIR) + "/vantor");
    const std::string next = VANTOR_TEST_NEWER_VERSION;
    ASSERT_FALSE(original.empty());
    ASSERT_FALSE(newer.empty());
    writeFile(prog + "vantor", original);
    ::chmod((prog + "vantor").c_str(), 0755);
    const std::string hive = dir / "registry.reg";
    {
        RegistryHive h(hive);
        for (auto [name, value] : std::map<std::string, std::string>{{"Programversion", std::string(programVersion())},
                                                                     {"Addinfo", "0"},
                                                                     {"Donate", "1"},
                                                                     {"NoErrorWarning", "0"}})
            ASSERT_TRUE(h.setString(RegRoot::LocalMachine, kKey, name, value));
    }
    server.put("vantor", newer);
    server.put("version.txt", next);
    const std::string info =
        infoFile(next, {{server.url("/files/vantor"), newer}, {server.url("/files/version.txt"), next}});
    server.put("qvn_vantor.inf", info);
    server.put("qvn_vantor.inf.sig", key.sign(info));

    // A display of our own.
    int n = 90 + ::getpid() % 400;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
        ++n;
    display = ":" + std::to_string(n);
    xvfb = spawnWith({"/usr/bin/Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"}, {},
                     dir / "xvfb.log");
    // Ready once it answers (its socket alone can come before that on a loaded machine);
    // -noreset: without it the server resets when that first client leaves, and a
    // program connecting meanwhile is refused.
    ASSERT_TRUE(waitUntil([&] { return !xdotool("getdisplaygeometry").empty(); }, 30s))
        << "Xvfb " << display << " does not answer:\n"
        << readFile(dir / "xvfb.log");

    env = {
        "DISPLAY=" + display,     "VANTOR_REGISTRY=" + hive, "VANTOR_UPDATE_URL=" + server.url("/files/qvn_vantor.inf"),
        "VANTOR_NO_SHELL_OPEN=1", "TMPDIR=" + dir / "tmp",   "XDG_RUNTIME_DIR=" + dir / "tmp",
        "HOME=" + dir.path(),     "PATH=/usr/bin:/bin",      "QT_QPA_PLATFORM=xcb"};
    for (auto& e : sanitizerEnvironment()) env.push_back(e);
    program = spawnWith({prog + "vantor", "--update"}, env, dir / "vantor.log");
    ASSERT_GT(program, 0);

    // The question: "&Yes" is its default button. (The first Qt start on a fresh
    // machine may build the font cache first.)
    ASSERT_TRUE(waitUntil([&] { return !xdotool("search --name 'Application update wizard'").empty(); }, 120s))
        << readFile(dir / "vantor.log") << " windows: " << xdotool("search --name .")
        << " running: " << (::waitpid(program, nullptr, WNOHANG) == 0)
        << "\nXvfb running: " << (::waitpid(xvfb, nullptr, WNOHANG) == 0) << "\n"
        << readFile(dir / "xvfb.log");
    std::this_thread::sleep_for(300ms);
    pressReturnInUpdateWindow();
    // Both files arrive; then the progress window's completed state has "&OK" as its default.
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code ec;
            return fs::file_size(prog + "vantor.uTMP", ec) == newer.size() && fs::exists(prog + "version.txt.uTMP");
        },
        60s));
    std::this_thread::sleep_for(500ms);
    pressReturnInUpdateWindow();

    // The program closes, the replacement program puts the new version in place and starts it again.
    ASSERT_TRUE(waitUntil([&] { return ::waitpid(program, nullptr, WNOHANG) == program; }, 60s));
    program = 0;
    std::string restarted;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (auto& [pid, cmd] : processesOf(prog + "vantor"))
                if (cmd.find("/afterupgrade0") != std::string::npos) restarted = cmd;
            return !restarted.empty() && !fs::exists(prog + "version.txt");
        },
        60s))
        << readFile(dir / "vantor.log");
    EXPECT_NE(restarted.find(prog + "vantor /afterupgrade0"), std::string::npos) << restarted;
    // Its start-up took the new version (the window's version label shows it).
    ASSERT_TRUE(waitUntil(
        [&] {
            RegistryHive h(hive);
            return h.query(RegRoot::LocalMachine, kKey, "Programversion").text == next;
        },
        30s));
    EXPECT_EQ(readFile(prog + "vantor"), newer);
    EXPECT_EQ(::access((prog + "vantor").c_str(), X_OK), 0);
    EXPECT_FALSE(fs::exists(prog + kUpgradeListName));
    EXPECT_FALSE(fs::exists(prog + "vantor.uTMP"));
}

}  // namespace
