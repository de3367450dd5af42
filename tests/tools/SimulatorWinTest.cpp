// The Windows build of the Steam and game simulator (tools/sim), driven as the
// program drives it: steam.exe's command line, the knobs, the process list and
// the result file. The POSIX build: SimulatorTest.cpp.

#ifdef _WIN32

#include "platform/ProcessList.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kPassOptions = {"-preload",       "-novid",    "-width",   "800", "-height",   "600",
                                               "+r_fastzreject", "0",         "-refresh", "75",  "-heapsize", "64000",
                                               "+timedemoquit",  "qvn_coast1"};

std::string quoted(const std::string& a) { return a.find(' ') == std::string::npos ? a : "\"" + a + "\""; }

// A started program and its handle.
class Started {
public:
    Started(const std::string& program, const std::vector<std::string>& args) {
        std::string line = quoted(program);
        for (const auto& a : args) line += " " + quoted(a);
        std::wstring wline = fs::path(line).wstring();
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, wline.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                           &pi)) {
            CloseHandle(pi.hThread);
            process_ = pi.hProcess;
        }
    }
    ~Started() {
        if (!process_) return;
        TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    bool ok() const { return process_ != nullptr; }
    // The exit code; -1 when it did not end within the limit.
    long long waitEnd(std::chrono::milliseconds limit) {
        if (WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    bool running() { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

private:
    HANDLE process_ = nullptr;
};

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class SimulatorWin : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(tmp_.path()).make_preferred().string();
        fs::create_directories(mod() + "cfg");
        fs::copy_file(VANTOR_SIM_DIR "/steam.exe", steamExe());
        fs::copy_file(VANTOR_SIM_DIR "/hl2.exe", gameExe());
        fs::copy_file(VANTOR_SOURCE_DIR "/assets/Demos/qvn_coast1.dem", mod() + "qvn_coast1.dem");
        writeFile(mod() + "cfg\\autoexec.cfg", "mat_picmip 1\r\n");
    }
    // Ends whatever of this installation still runs.
    void TearDown() override {
        for (auto id : gameIds()) TerminateProcessById(id);
    }

    std::string steamExe() const { return root_ + "Steam\\steam.exe"; }
    std::string game() const { return root_ + "Steam\\SteamApps\\player1\\half-life 2\\"; }
    std::string gameExe() const { return game() + "hl2.exe"; }
    std::string mod() const { return game() + "hl2\\"; }
    std::string result() const { return mod() + "sourcebench.csv"; }
    void knobs(const std::string& lines) { writeFile(root_ + "Steam\\vantor-sim.cfg", lines); }

    // Ids of the running programs whose file is the game's.
    std::vector<std::uint32_t> gameIds() const {
        std::vector<ProcessEntry> list;
        ListRunningProcesses(list, true);
        std::vector<std::uint32_t> ids;
        std::error_code ec;
        for (const auto& p : list)
            if (fs::equivalent(p.name, gameExe(), ec)) ids.push_back(p.id);
        return ids;
    }

    TempDir tmp_;
    std::string root_;
};

}  // namespace

TEST_F(SimulatorWin, SteamClientStaysUpUntilEnded) {
    Started client(steamExe(), {});
    ASSERT_TRUE(client.ok());
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(client.running());
}

TEST_F(SimulatorWin, LaunchReturnsAtOnceAndTheDetachedGameAppearsAfterItsDelayPlaysWritesAndQuits) {
    knobs("start_delay_ms=400\nplay_ms=600\n");
    std::vector<std::string> args{"-applaunch", "220"};
    args.insert(args.end(), kPassOptions.begin(), kPassOptions.end());
    const auto started = std::chrono::steady_clock::now();
    Started launch(steamExe(), args);
    ASSERT_TRUE(launch.ok());
    EXPECT_EQ(launch.waitEnd(5s), 0);
    EXPECT_TRUE(gameIds().empty()) << "the game is there before its start delay";

    ASSERT_TRUE(waitUntil([&] { return !gameIds().empty(); }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 400ms);
    const auto ids = gameIds();
    ASSERT_EQ(ids.size(), 1u);
    std::vector<ProcessEntry> names;
    ListRunningProcesses(names, false);
    bool named = false;
    for (const auto& p : names) named = named || (p.id == ids[0] && p.name == "hl2.exe");
    EXPECT_TRUE(named) << "the process list does not see it as hl2.exe";
    EXPECT_FALSE(exists(result())) << "a result before the demo was played";

    ASSERT_TRUE(waitUntil([&] { return gameIds().empty(); }, 10s));
    std::istringstream in(readFile(result()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("qvn_coast1,[^,]*,[0-9]+\\.[0-9][0-9],.*\r"))) << lines[3];
}

TEST_F(SimulatorWin, GameModesEndAsNamed) {
    struct Case {
        const char* mode;
        long long exitCode;  // -1: still running at the limit
        bool result;
    };
    const Case cases[] = {
        {"normal", 0, true},
        {"crash", 0xC0000005, false},  // the code of an access violation
        {"hang", -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        std::error_code ec;
        fs::remove(result(), ec);
        knobs(std::string("play_ms=100\nmode=") + c.mode + "\n");
        Started game(gameExe(), kPassOptions);
        ASSERT_TRUE(game.ok());
        EXPECT_EQ(game.waitEnd(c.exitCode < 0 ? 1500ms : 10s), c.exitCode);
        EXPECT_EQ(exists(result()), c.result);
    }
}

#else

#include <gtest/gtest.h>

TEST(SimulatorWin, WindowsBuildOfTheSimulator) {
    GTEST_SKIP() << "the Windows build of the simulator; SimulatorTest covers the POSIX build";
}

#endif
