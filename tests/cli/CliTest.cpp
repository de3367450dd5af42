// vantor-cli as a user starts it: a separate process with its own environment,
// against the simulated Steam and game, checked by its exit code, its stdout and
// stderr, and the files it leaves.
#include "platform/RegistryHive.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

extern char** environ;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";
const std::string kHyphens(55, '-');

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A simulated installation whose stored settings tick 640×480 and 800×600,
// maximum detail, the first built-in demo and a reports folder of its own.
class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok) << "scripts/make-sim-install failed";
        std::filesystem::create_directories(reports());
        RegistryHive hive(sim.hive());
        const std::map<std::string, std::string> settings = {{"Programversion", "1.3"},
                                                             {"Addinfo", "0"},
                                                             {"Donate", "1"},
                                                             {"NoErrorWarning", "0"},
                                                             {"640", "1"},
                                                             {"800", "1"},
                                                             {"Detail", "1"},
                                                             {"AFLevel", "Sys"},
                                                             {"AALevel", "1"},
                                                             {"DXLevel", "90"},
                                                             {"Heapsize", "64000"},
                                                             {"Refresh", "60"},
                                                             {"Demo", "1"},
                                                             {"FastZ", "0"},
                                                             {"ResultPath", reports()}};
        for (auto& [name, value] : settings) ASSERT_TRUE(hive.setString(RegRoot::LocalMachine, kKey, name, value));
        userFiles = snapshot(sim.cfg());
    }

    std::string reports() const { return sim.dir.path() + "Reports/"; }
    std::string logFile() const { return sim.dir.path() + "debug.log"; }
    Cli cli(std::vector<std::string> args) {
        return Cli(sim.dir.path(), sim.hive(), std::move(args),
                   {"VANTOR_SIM_PLAY_MS=250", "VANTOR_SIM_START_DELAY_MS=30"});
    }
    std::size_t reportCount() const {
        std::size_t n = 0;
        for (auto& e : std::filesystem::directory_iterator(reports())) n += e.path().extension() == ".htm";
        return n;
    }
    bool gameRunning() {
        std::vector<ProcessEntry> mine;
        sim.processes.list(mine);
        return std::any_of(mine.begin(), mine.end(), [](auto& e) { return e.name == "hl2.exe"; });
    }

    SimInstall sim;
    std::map<std::string, std::string> userFiles;
};

TEST_F(CliRun, ASuccessfulRunPrintsItsStatusLinesThenTheReportPathAndWritesTheLog) {
    sim.startSteam();
    Cli run = cli({"run", "--log", logFile()});
    ASSERT_TRUE(run.started());
    const int code = run.wait();
    const std::string out = run.out();
    ASSERT_EQ(code, 0) << out << run.err();

    const auto lines = linesOf(out);
    ASSERT_EQ(lines.size(), 5u) << out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1),
              (std::vector<std::string>{"Preparing...", "Benchmarking in progress... Resolution: 640\u00D7480",
                                        "Benchmarking in progress... Resolution: 800\u00D7600",
                                        "The benchmarking is successful."}));
    const std::string report = lines.back();
    EXPECT_EQ(report.rfind(reports(), 0), 0u) << report;
    EXPECT_EQ(std::filesystem::path(report).filename().string().rfind("result_", 0), 0u) << report;
    EXPECT_TRUE(std::filesystem::is_regular_file(report)) << report;
    EXPECT_EQ(reportCount(), 1u);
    EXPECT_EQ(run.err(), "");  // nothing to confirm, no message box
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);

    // The log file: Windows-1252 with CR LF, the run's lines up to its closing block.
    const std::string log = readFile(logFile());
    const std::string tail = "DEBUG FINISHED.\r\n" + kHyphens + "\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    EXPECT_NE(log.find("\r\nSTART HL2 in 640\xD7"
                       "480.\r\n"),
              std::string::npos)
        << log;
    // The log keeps the saved form of the path; stdout shows it plainly.
    const auto saved = log.find("\r\nResult saved to ");
    ASSERT_NE(saved, std::string::npos) << log;
    const auto begin = saved + std::string("\r\nResult saved to ").size();
    const std::string savedPath = log.substr(begin, log.find("\r\n", begin) - begin);
    EXPECT_EQ(std::filesystem::path(savedPath).lexically_normal().string(), report);
}

TEST_F(CliRun, WithoutSteamTheConfirmationIsAnsweredByTheFlagAndNoRunStarts) {
    struct Case {
        std::vector<std::string> args;
        const char* answer;
        const char* status;
        bool steamStarted;
    };
    const Case cases[] = {
        {{"run"},
         "Error! The STEAM not running. Run now? [No]\n",
         "Please RUN the Steam (online or offline) before bench.",
         false},
        {{"run", "--yes"},
         "Error! The STEAM not running. Run now? [Yes]\n",
         "Loading. Please wait while the Steam successfully loaded... After that click RUN.",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        Cli run = cli(c.args);
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.wait(), 1);
        EXPECT_EQ(run.err(), c.answer);
        EXPECT_EQ(linesOf(run.out()), (std::vector<std::string>{"Error! The Steam NOT running!", c.status}));
        EXPECT_EQ(reportCount(), 0u);
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
        // --yes started the client through steam.bat; it runs on after vantor-cli.
        bool steam = false;
        for (int i = 0; i < 200 && !steam; ++i) {
            std::vector<ProcessEntry> mine;
            sim.processes.list(mine);
            steam = std::any_of(mine.begin(), mine.end(), [](auto& e) { return e.name == "steam.exe"; });
            if (!c.steamStarted) break;
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(steam, c.steamStarted);
        sim.endAll();
    }
}

TEST_F(CliRun, CtrlCStopsTheRunAndPutsTheUserFilesBack) {
    ASSERT_FALSE(userFiles.empty());
    sim.startSteam();
    Cli run = cli({"run", "--log", logFile()});
    ASSERT_TRUE(run.started());
    // The middle of the run: the game plays its first pass with the run's files in place.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!gameRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(gameRunning()) << run.out() << run.err();
    EXPECT_NE(snapshot(sim.cfg()), userFiles);
    run.signal(SIGINT);

    EXPECT_EQ(run.wait(), 1);
    const auto lines = linesOf(run.out());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Benchmark stopped. Your game settings were restored.") << run.out();
    EXPECT_EQ(run.out().find("The benchmarking is successful."), std::string::npos) << run.out();
    EXPECT_EQ(reportCount(), 0u);
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    const std::string log = readFile(logFile());
    EXPECT_NE(log.find("\r\nBenchmark stopped by the user in 640\xD7"
                       "480.\r\n"),
              std::string::npos)
        << log;
    // The game is left to end its pass; it must not bring the run's files back.
    while (gameRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
}

TEST_F(CliRun, DiscoverPrintsThePathsStartUpFinds) {
    Cli discover = cli({"discover"});
    ASSERT_TRUE(discover.started());
    EXPECT_EQ(discover.wait(), 0) << discover.err();
    const std::string bench = std::filesystem::canonical(VANTOR_BIN_DIR).string() + "/";
    EXPECT_EQ(linesOf(discover.out()),
              (std::vector<std::string>{"BenchPath: " + bench, "SteamPath: " + sim.steam(), "HL2Path: " + sim.hl2(),
                                        "CFGPath: " + sim.cfg(), "ResultsPath: " + sim.results()}));
}

TEST(CliDiscover, WithoutSteamOrGameItFailsWithoutADialog) {
    struct Case {
        const char* name;
        void (*breakInstall)(const SimInstall&);
        const char* why;
    };
    const Case cases[] = {
        {"no SteamExe value",
         [](const SimInstall& sim) { writeFile(sim.hive(), "Windows Registry Editor Version 5.00\r\n"); },
         "Steam was not found"},
        {"no hl2.exe under Steam",
         [](const SimInstall& sim) { std::filesystem::remove(sim.hl2() + "half-life 2/hl2.exe"); },
         "hl2.exe was not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimInstall sim;
        ASSERT_TRUE(sim.ok);
        c.breakInstall(sim);
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 1);
        EXPECT_NE(discover.err().find(c.why), std::string::npos) << discover.err();
        EXPECT_NE(discover.out().find("\nHL2Path: \n"), std::string::npos) << discover.out();
    }
}

TEST(CliUsage, WrongArgumentsGetTheUsageAndExitCode2) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"run", "--bogus"},
        {"run", "--log"},
        {"run", "--yes", "extra"},
        {"discover", "extra"},
        {"start", "--no"},
    };
    TempDir dir;
    for (const auto& args : cases) {
        std::string shown;
        for (auto& a : args) shown += a + " ";
        SCOPED_TRACE("vantor-cli " + shown);
        Cli cli(dir.path(), dir.path() + "registry.reg", args);
        ASSERT_TRUE(cli.started());
        EXPECT_EQ(cli.wait(), 2);
        EXPECT_EQ(cli.err().rfind("usage: vantor-cli discover\n", 0), 0u) << cli.err();
        EXPECT_NE(cli.err().find("vantor-cli run [--yes] [--log FILE]\n"), std::string::npos) << cli.err();
        EXPECT_EQ(cli.out(), "");
    }
}

}  // namespace
