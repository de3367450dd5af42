// vantor-cli as a user starts it: a separate process with its own environment,
// against the simulated Steam and game, checked by its exit code, its stdout and
// stderr, and the files it leaves.
#include "platform/AsciiCase.h"
#include "platform/RegistryHive.h"

#include <nlohmann/json.hpp>
#include "run/SystemNames.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"
#include "tests/support/StoredSettings.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

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
        ASSERT_TRUE(storeSettings(sim.hive(), chosenSettings(reports())));
        userFiles = snapshot(sim.cfg());
    }

    std::string reports() const { return sim.dir / "Reports/"; }
    std::string logFile() const { return sim.dir.path() + "debug.log"; }
    Cli cli(std::vector<std::string> args, const std::string& name = "cli") {
        return Cli(sim.dir.path(), sim.hive(), std::move(args),
                   {"VANTOR_SIM_PLAY_MS=250", "VANTOR_SIM_START_DELAY_MS=30"}, name);
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

// A sanitizer build checks vantor-cli too: its settings reach the child's
// clean environment (shown here by a program that prints its environment).
TEST(CliProcess, TheSanitizersSettingsReachTheChild) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "the sanitizer builds and /usr/bin/env are POSIX matters";
    TempDir dir;
    const char* name = "UBSAN_OPTIONS";
    const char* old = std::getenv(name);
    const std::string kept = old ? old : "";
    setEnv(name, "print_stacktrace=1:vantor_probe=1");
    Cli env(dir.path(), dir / "hive.reg", {}, {}, "env", "/usr/bin/env");
    EXPECT_EQ(env.wait(), 0);
    if (old)
        setEnv(name, kept);
    else
        unsetEnv(name);
    EXPECT_NE(env.out().find("UBSAN_OPTIONS=print_stacktrace=1:vantor_probe=1\n"), std::string::npos) << env.out();
}

TEST_F(CliRun, ASuccessfulRunPrintsItsStatusLinesThenTheReportPathAndWritesTheLog) {
    sim.startSteam();
    Cli run = cli({"run", "--log", logFile()});
    ASSERT_TRUE(run.started());
    const int code = run.wait();
    const std::string out = run.out();
    ASSERT_EQ(code, 0) << out << run.err();

    const auto lines = linesOf(out);
    ASSERT_EQ(lines.size(), 8u) << out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"Preparing...", "Benchmarking in progress... Resolution: 640\u00D7480",
                                        "Benchmarking in progress... Resolution: 800\u00D7600"}));
    // From the second pass on, the time left as the first pass took.
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Time left: (about [0-9]+ s|less than a second)"))) << lines[3];
    EXPECT_EQ(lines[4], "The benchmarking is successful.");
    // One score line per resolution, before the report's path.
    EXPECT_TRUE(std::regex_match(lines[5], std::regex("640\u00D7480: [0-9]+\\.[0-9][0-9] FPS"))) << lines[5];
    EXPECT_TRUE(std::regex_match(lines[6], std::regex("800\u00D7600: [0-9]+\\.[0-9][0-9] FPS"))) << lines[6];
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
        std::vector<std::string> status;  // the status lines after the first
        bool steamStarted;
    };
    const Case cases[] = {
        {{"run"},
         "Error! The STEAM not running. Run now? [No]\n",
         {"Please RUN the Steam (online or offline) before bench."},
         false},
        {{"run", "--yes"},
         "Error! The STEAM not running. Run now? [Yes]\n",
         {"Loading. Please wait while the Steam successfully loaded... After that click RUN.",
          "vantor-cli: once Steam has loaded, run the command again."},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        Cli run = cli(c.args);
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.wait(), 1);
        EXPECT_EQ(run.err(), c.answer);
        std::vector<std::string> lines{"Error! The Steam NOT running!"};
        lines.insert(lines.end(), c.status.begin(), c.status.end());
        EXPECT_EQ(linesOf(run.out()), lines);
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

// Ctrl+C, and on POSIX a closed terminal (SIGHUP) and a stop request (SIGTERM).
TEST_F(CliRun, CtrlCStopsTheRunAndPutsTheUserFilesBack) {
    if (runningUnderWine()) GTEST_SKIP() << "Wine delivers no Ctrl+Break to a program without a console";
    ASSERT_FALSE(userFiles.empty());
    sim.startSteam();
    struct Ending {
        std::string name;
        int signal;        // 0: Ctrl+C
        std::string size;  // the pass under way when it comes
    };
    const std::string first = "640\u00D7480", second = "800\u00D7600";
    // The log is Windows-1252.
    auto logText = [](std::string text) { return std::regex_replace(text, std::regex("\u00D7"), "\xD7"); };
    // Stopped in the second pass the first pass has a score, yet the run has no
    // report: no score line either way.
    std::vector<Ending> endings = {{"Ctrl+C", 0, first}, {"Ctrl+C in the second pass", 0, second}};
    if (kThisOs != OsFamily::Windows) endings.insert(endings.end(), {{"SIGHUP", 1, first}, {"SIGTERM", 15, second}});
    for (const auto& [name, signal, size] : endings) {
        SCOPED_TRACE(name);
        std::filesystem::remove(logFile());
        Cli run = cli({"run", "--log", logFile()});
        ASSERT_TRUE(run.started());
        // The middle of the pass: the game plays it with the run's files in place.
        const std::string passLine = "Benchmarking in progress... Resolution: " + size + "\n";
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while ((run.out().find(passLine) == std::string::npos || !gameRunning()) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(gameRunning()) << run.out() << run.err();
        ASSERT_NE(run.out().find(passLine), std::string::npos) << run.out();
        EXPECT_NE(snapshot(sim.cfg()), userFiles);
        if (signal == 0)
            run.interrupt();
        else
            sendSignal(run.id(), signal);

        EXPECT_EQ(run.wait(), 1);
        const auto lines = linesOf(run.out());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(run.out().find("The benchmarking is successful."), std::string::npos) << run.out();
        EXPECT_EQ(run.out().find(" FPS"), std::string::npos) << run.out();
        EXPECT_EQ(run.out().find("no result"), std::string::npos) << run.out();
        EXPECT_NE(run.err().find("vantor-cli: the run was stopped; no scores and no report.\n"), std::string::npos)
            << run.err();
        EXPECT_EQ(reportCount(), 0u);
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
        const std::string log = readFile(logFile());
        EXPECT_NE(log.find("\r\nBenchmark stopped by the user in " + logText(size) + ".\r\n"), std::string::npos)
            << log;
        // The game this run launched was closed before the files were put back.
        EXPECT_FALSE(gameRunning());
        EXPECT_NE(log.find("\r\nHalf-Life 2 closed.\r\n"), std::string::npos) << log;
        EXPECT_EQ(lines.back(), "Benchmark stopped. Half-Life 2 was closed and your game settings were restored.");
        std::this_thread::sleep_for(300ms);  // longer than a pass would have played
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    }
}

// Two runs started at once against one installation: one refuses before it
// changes anything, the other gives the score a run alone gives.
TEST_F(CliRun, TwoRunsAtOnceGiveOneRefusalAndOneCorrectResult) {
    sim.startSteam();
    Cli alone = cli({"run", "--json"}, "alone");
    ASSERT_EQ(alone.wait(60s), 0) << alone.err();
    const auto expected = nlohmann::json::parse(alone.out())["passes"];

    Cli first = cli({"run", "--json"}, "first");
    Cli second = cli({"run", "--json"}, "second");
    const int a = first.wait(60s), b = second.wait(60s);
    ASSERT_EQ(std::min(a, b), 0) << first.err() << second.err();
    ASSERT_EQ(std::max(a, b), 1) << first.err() << second.err();
    Cli& won = a == 0 ? first : second;
    Cli& refused = a == 0 ? second : first;
    EXPECT_NE(refused.err().find("Another benchmark is running"), std::string::npos) << refused.err();
    const auto passes = nlohmann::json::parse(won.out())["passes"];
    ASSERT_EQ(passes.size(), expected.size());
    for (std::size_t i = 0; i < passes.size(); ++i) EXPECT_EQ(passes[i]["score"], expected[i]["score"]) << i;
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
}

TEST_F(CliRun, DiscoverPrintsThePathsStartUpFindsAndWhereTheyCameFrom) {
    Cli discover = cli({"discover"});
    ASSERT_TRUE(discover.started());
    EXPECT_EQ(discover.wait(), 0) << discover.err();
    const std::string bench = (std::filesystem::canonical(VANTOR_BIN_DIR) / "").string();
    // Windows ignores case: there the program spells the game's folder its own way.
    const auto asFileNames = [](std::vector<std::string> lines) {
        if (kThisOs == OsFamily::Windows)
            for (auto& line : lines) line = asciiLower(line);
        return lines;
    };
    EXPECT_EQ(asFileNames(linesOf(discover.out())),
              asFileNames({"BenchPath: " + bench + " (program folder)", "SteamPath: " + sim.steam() + " (stored value)",
                           "HL2Path: " + sim.hl2() + " (stored value)", "CFGPath: " + sim.cfg() + " (stored value)",
                           "ResultsPath: " + sim.results() + " (stored value)"}));
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
         ") was not found in the Steam folder"},
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

TEST(CliDiscover, TodaysSteamIsFoundThroughItsLibraryListOrAUsualFolder) {
    SimInstall sim(true, SimLayout::Today);
    ASSERT_TRUE(sim.ok);
    const std::string bench = (std::filesystem::canonical(VANTOR_BIN_DIR) / "").string();
    {
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 0) << discover.err();
        EXPECT_EQ(linesOf(pathKey(discover.out())),
                  (std::vector<std::string>{pathKey("BenchPath: " + bench + " (program folder)"),
                                            pathKey("SteamPath: " + sim.steam() + " (stored value)"),
                                            pathKey("HL2Path: " + sim.hl2() + " (library list)"),
                                            pathKey("CFGPath: " + sim.cfg() + " (library list)"),
                                            pathKey("ResultsPath: " + sim.results() + " (library list)")}));
        EXPECT_EQ(discover.err(), "");
    }
    if (kThisOs == OsFamily::Windows) return;  // no usual Steam folders there
    // No SteamExe, a broken list in the stored Steam folder's place: the usual
    // folder ~/.steam/steam (HOME is the installation's folder) leads to it.
    writeFile(sim.hive(), "Windows Registry Editor Version 5.00\r\n");
    std::filesystem::create_directories(sim.dir.path() + ".steam");
    std::filesystem::create_directory_symlink(sim.steam(), sim.dir.path() + ".steam/steam");
    {
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 0) << discover.err();
        const std::string steam = sim.dir.path() + ".steam/steam/";
        EXPECT_EQ(linesOf(discover.out()),
                  (std::vector<std::string>{
                      "BenchPath: " + bench + " (program folder)", "SteamPath: " + steam + " (usual folder)",
                      "HL2Path: " + sim.hl2() + " (library list)", "CFGPath: " + sim.cfg() + " (library list)",
                      "ResultsPath: " + sim.results() + " (library list)"}));
    }
    // A malformed list: no game, and the reason on stderr.
    writeFile(sim.steam() + "steamapps/libraryfolders.vdf", "\"libraryfolders\"\n{\n\t\"1\" \"/x\n");
    {
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 1);
        EXPECT_NE(discover.out().find("\nSteamPath: " + sim.dir.path() + ".steam/steam/ (usual folder)\nHL2Path: \n"),
                  std::string::npos)
            << discover.out();
        EXPECT_EQ(discover.err(),
                  "vantor-cli: " + sim.dir.path() +
                      ".steam/steam/steamapps/libraryfolders.vdf: line 3: a quoted text is not closed; "
                      "its libraries are left out.\n"
                      "vantor-cli: Half-Life 2 (" +
                      gameProgramsText(kThisOs) +
                      ") was not found in the Steam folder, its libraries or the usual Steam folders; choose its " +
                      gameProgramsText(kThisOs) + " with `vantor-cli set-game PATH`.\n");
    }
}

TEST(CliUsage, WrongArgumentsGetTheUsageAndExitCode2) {
    const struct {
        std::vector<std::string> args;
        const char* problem;
    } cases[] = {
        {{}, "no command given"},
        {{"bogus"}, "unknown command 'bogus'"},
        {{"--bogus"}, "unknown command '--bogus'"},
        {{"run", "--bogus"}, "wrong arguments for 'run': unknown option '--bogus'"},
        {{"run", "--log"}, "--log needs a value"},
        {{"run", "--yes", "extra"}, "wrong arguments for 'run': unexpected argument 'extra'"},
        {{"run", "--filtering", "x"},
         "filtering takes bilinear, trilinear, aniso2x, aniso4x, aniso8x, aniso16x, system, not 'x'"},
        {{"run", "--demo", "9"},
         "demo takes 1 (Quorvane Coast), 2 (Quorvane d13c17), 3 (Raza3Z demo4), 4 (Raza3Z demo5), 5 (Raza3Z "
         "demo6), or a .dem file of your own, not '9'"},
        {{"run", "--heap-size"}, "--heap-size needs a value"},
        {{"run", "--only"}, "--only plays the sizes given with --resolution, and none was given"},
        {{"set", "filtering"}, "wrong arguments for 'set': give NAME and VALUE (`vantor-cli options` lists the names)"},
        {{"set", "colour", "red"}, "unknown option name 'colour' for 'set' (`vantor-cli options` lists them)"},
        {{"set", "refresh", "100"}, "refresh takes 60, 70, 75, 85, not '100'"},
        {{"set", "note", std::string(51, 'n')}, "note: at most 50 characters, not 51"},
        {{"--version", "x"}, "wrong arguments for '--version': unexpected argument 'x'"},
        {{"run", "--passes", "11"}, "--passes takes a whole number from 1 to 10, not '11'"},
        {{"run", "--cap", "x"}, "--cap takes a whole number from 2 to 20, not 'x'"},
        {{"run", "--threshold"}, "--threshold needs a value"},
        {{"run", "--resolution", "1921x1080"},
         "The custom resolution 1921\u00D71080 is refused: width and height "
         "must be even."},
        {{"run", "--resolution", "2560x1600", "--resolution", "3440x1440"},
         "only one size of your own can be played (--resolution)"},
        {{"discover", "extra"}, "wrong arguments for 'discover': unexpected argument 'extra'"},
        {{"start", "--no"}, "wrong arguments for 'start': unknown option '--no'"},
        {{"start", "--yes", "--yes"}, "wrong arguments for 'start': '--yes' given twice"},
        {{"set-game"}, "wrong arguments for 'set-game': give the path of the game's program"},
        {{"--help", "run"}, "wrong arguments for '--help': unexpected argument 'run'"},
        {{"hwinfo", "--bogus"}, "wrong arguments for 'hwinfo': unknown option '--bogus'"},
        {{"hwinfo", "--save", "extra"}, "wrong arguments for 'hwinfo': unexpected argument 'extra'"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        std::string shown;
        for (auto& a : c.args) shown += a + " ";
        SCOPED_TRACE("vantor-cli " + shown);
        Cli cli(dir.path(), dir.path() + "registry.reg", c.args);
        ASSERT_TRUE(cli.started());
        EXPECT_EQ(cli.wait(), 2);
        EXPECT_EQ(cli.err().rfind(std::string("vantor-cli: ") + c.problem + "\nusage: vantor-cli discover\n", 0), 0u)
            << cli.err();
        EXPECT_NE(cli.err().find("vantor-cli run [--yes] [--debug] [--log FILE] [--json]\n"), std::string::npos)
            << cli.err();
        EXPECT_NE(cli.err().find("vantor-cli hwinfo [--save]\n"), std::string::npos) << cli.err();
        EXPECT_EQ(cli.out(), "");
    }
}

TEST(CliUsage, HelpPrintsEveryCommandItsOptionsAndTheSettingsFileToStdout) {
    TempDir dir;
    for (const char* flag : {"--help", "-h", "help"}) {
        SCOPED_TRACE(flag);
        Cli cli(dir.path(), dir.path() + "registry.reg", {flag});
        ASSERT_TRUE(cli.started());
        EXPECT_EQ(cli.wait(), 0);
        EXPECT_EQ(cli.err(), "");
        const std::string out = cli.out();
        // Each command on a line of its own with what it does.
        for (const char* line : {"\n  discover  ", "\n  processes  ", "\n  start  ", "\n  run  ", "\n  set-game PATH  ",
                                 "\n  --help, -h  ", "\n  --yes  ", "\n  --log FILE  ", "\n  --json  "})
            EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
        EXPECT_NE(out.find("VANTOR_REGISTRY"), std::string::npos) << out;
        EXPECT_NE(out.find("Quorvane/Vantor/registry.reg"), std::string::npos) << out;
    }
}

TEST_F(CliRun, JsonPrintsTheRunAsOneObject) {
    sim.startSteam();
    Cli run = cli({"run", "--json"});
    ASSERT_TRUE(run.started());
    ASSERT_EQ(run.wait(), 0) << run.out() << run.err();
    // The status lines went to stderr; stdout holds the object alone.
    EXPECT_NE(run.err().find("The benchmarking is successful.\n"), std::string::npos) << run.err();
    const auto json = nlohmann::json::parse(run.out(), nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << run.out();
    EXPECT_EQ(json["status"], "The benchmarking is successful.");
    EXPECT_EQ(json["succeeded"], true);
    const std::string report = json["report"];
    EXPECT_EQ(report.rfind(reports() + "result_", 0), 0u) << report;
    EXPECT_TRUE(std::filesystem::is_regular_file(report));
    EXPECT_EQ(json["resolutions"], nlohmann::json({"640\u00D7480", "800\u00D7600"}));
    ASSERT_EQ(json["passes"].size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& pass = json["passes"][i];
        EXPECT_EQ(pass["width"], i == 0 ? 640 : 800);
        EXPECT_EQ(pass["height"], i == 0 ? 480 : 600);
        ASSERT_TRUE(pass["score"].is_number()) << pass;
        EXPECT_GT(pass["score"].get<double>(), 0.0);
        // The report shows the same score.
        char shown[32];
        std::snprintf(shown, sizeof shown, "Score = %.2f FPS", pass["score"].get<double>());
        EXPECT_NE(readFile(report).find(shown), std::string::npos) << shown;
    }
    const auto& settings = json["settings"];
    EXPECT_EQ(settings["demo"], "Quorvane - Coast");
    EXPECT_EQ(settings["detail"], "Maximum");
    EXPECT_EQ(settings["filtering"], "From System");
    EXPECT_EQ(settings["antialiasing"], "None");
    EXPECT_EQ(settings["directx"], "DirectX 9");
    EXPECT_EQ(settings["heapsize"], "64 MB - default");
    EXPECT_EQ(settings["refresh"], "60 Hz");
    EXPECT_EQ(settings["fastZ"], false);
}

TEST_F(CliRun, JsonOfARunThatCannotStartSaysWhy) {
    Cli run = cli({"run", "--json"});  // Steam is not running; the question is answered No
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.wait(), 1);
    const auto json = nlohmann::json::parse(run.out(), nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << run.out();
    EXPECT_EQ(json["status"], "Please RUN the Steam (online or offline) before bench.");
    EXPECT_EQ(json["succeeded"], false);
    EXPECT_TRUE(json["report"].is_null());
    EXPECT_TRUE(json["passes"].empty());
}

// Without Steam's value a chosen hl2.exe is the way to the game; vantor-cli
// names the command instead of asking for a restart.
TEST(CliSetGame, TheChosenGameIsUsedWhenDiscoveryFindsNone) {
    SimInstall sim;
    ASSERT_TRUE(sim.ok);
    writeFile(sim.hive(), "Windows Registry Editor Version 5.00\r\n");  // no SteamExe
    {
        Cli run(sim.dir.path(), sim.hive(), {"run"});
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.wait(), 1);
        EXPECT_NE(run.err().find("Half-Life 2 was not found; no benchmark can run. Please choose its " +
                                 gameProgramsText(kThisOs) + " with `vantor-cli set-game PATH`."),
                  std::string::npos)
            << run.err();
        EXPECT_EQ(run.err().find("start it again"), std::string::npos) << run.err();
    }
    // What is not the game's program is refused with the reason, and nothing is stored.
    const std::string notAProgram = sim.dir.path() + "notes.txt";
    writeFile(notAProgram, "x");
    const std::pair<std::string, std::string> refused[] = {
        {sim.dir.path() + "nothing/hl2.exe", "There is no file " + sim.dir.path() + nativePath("nothing/hl2.exe.")},
        {notAProgram, notAProgram + " is not the game's program ("},
        {sim.dir.path(), " is not a file."},
    };
    for (const auto& [path, reason] : refused) {
        SCOPED_TRACE(path);
        Cli bad(sim.dir.path(), sim.hive(), {"set-game", path});
        ASSERT_TRUE(bad.started());
        EXPECT_EQ(bad.wait(), 2);
        EXPECT_NE(bad.err().find(reason), std::string::npos) << bad.err();
        EXPECT_EQ(RegistryHive(sim.hive()).query(RegRoot::LocalMachine, kKey, "HL2Exe").kind, RegValueKind::Absent);
    }
    const std::string exe = sim.game() + "hl2.exe";
    Cli set(sim.dir.path(), sim.hive(), {"set-game", exe});
    ASSERT_TRUE(set.started());
    EXPECT_EQ(set.wait(), 0) << set.err();
    EXPECT_EQ(linesOf(set.out()), (std::vector<std::string>{"HL2Exe: " + exe, "HL2Path: " + sim.hl2(),
                                                            "CFGPath: " + sim.cfg(), "ResultsPath: " + sim.results()}));
    RegistryHive hive(sim.hive());
    EXPECT_EQ(hive.query(RegRoot::LocalMachine, kKey, "HL2Exe").text, exe);

    // Without SteamExe the game is still found, from the user's choice, and
    // leads to the Steam folder that holds its library.
    {
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 0) << discover.err();
        EXPECT_NE(discover.out().find("\nHL2Path: " + sim.hl2() + " (user's choice)\n"), std::string::npos)
            << discover.out();
        EXPECT_NE(discover.out().find("\nSteamPath: " + sim.steam() + " (derived from the game's library)\n"),
                  std::string::npos)
            << discover.out();
    }
    // Without a Steam client there, Steam's absence fails discover, and says what to do.
    std::filesystem::remove(sim.steam() + "steam.exe");
    {
        Cli discover(sim.dir.path(), sim.hive(), {"discover"});
        ASSERT_TRUE(discover.started());
        EXPECT_EQ(discover.wait(), 1) << discover.err();
        EXPECT_NE(discover.out().find("\nHL2Path: " + sim.hl2() + " (user's choice)\n"), std::string::npos)
            << discover.out();
        EXPECT_NE(discover.err().find("Steam was not found"), std::string::npos) << discover.err();
        EXPECT_NE(discover.err().find("`vantor-cli set-steam FOLDER`"), std::string::npos) << discover.err();
    }
    // The user points the program at Steam's folder: a folder without the client is refused.
    {
        Cli bad(sim.dir.path(), sim.hive(), {"set-steam", sim.steam()});
        ASSERT_TRUE(bad.started());
        EXPECT_EQ(bad.wait(), 2);
        EXPECT_NE(bad.err().find("holds no Steam client"), std::string::npos) << bad.err();
    }
    const std::string otherSteam = sim.dir.path() + nativePath("OtherSteam/");
    writeFile(otherSteam + "steam.exe", "client");
    Cli setSteam(sim.dir.path(), sim.hive(), {"set-steam", otherSteam});
    ASSERT_TRUE(setSteam.started());
    EXPECT_EQ(setSteam.wait(), 0) << setSteam.err();
    Cli discover(sim.dir.path(), sim.hive(), {"discover"});
    ASSERT_TRUE(discover.started());
    EXPECT_EQ(discover.wait(), 0) << discover.err();
    EXPECT_NE(discover.out().find("\nSteamPath: " + otherSteam + " (user's choice)\n"), std::string::npos)
        << discover.out();
}

}  // namespace

// Several passes with adaptive ones, today's size and the summary, chosen for
// this run: scores that alternate (the simulator's fps_factors) keep the spread
// above the threshold, so every resolution ends at the cap.
TEST_F(CliRun, PassesAndTodaysSizesForOneRunEndAtTheCapWithASummary) {
    sim.startSteam();
    Cli run(sim.dir.path(), sim.hive(),
            {"run", "--passes", "2", "--adaptive", "--cap", "3", "--resolution", "1280x720", "--summary"},
            {"VANTOR_SIM_PLAY_MS=150", "VANTOR_SIM_START_DELAY_MS=20", "VANTOR_SIM_FPS_FACTORS=1,0.8"});
    ASSERT_TRUE(run.started());
    ASSERT_EQ(run.wait(), 0) << run.out() << run.err();
    const auto lines = linesOf(run.out());
    std::vector<std::string> scoreLines;
    for (const auto& l : lines)
        if (l.find(" FPS (") != std::string::npos) scoreLines.push_back(l);
    ASSERT_EQ(scoreLines.size(), 3u) << run.out();
    const char* sizes[] = {"640\u00D7480", "800\u00D7600", "1280\u00D7720"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(std::regex_match(
            scoreLines[i],
            std::regex(std::string(sizes[i]) + ": [0-9]+\\.[0-9][0-9] FPS \\(min [0-9.]+, max [0-9.]+, spread "
                                               "1[0-9]\\.[0-9]%; 3 passes; cap reached with a spread of "
                                               "1[0-9]\\.[0-9]% \\(above 3%\\)\\)")))
            << scoreLines[i];
    EXPECT_GT(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("Time left: ", 0) == 0; }), 0);

    const std::string report = lines.back();
    const std::string html = readFile(report);
    EXPECT_NE(html.find("Resolution: 1280\xD7"
                        "720</FONT>"),
              std::string::npos);
    EXPECT_NE(html.find("<B><FONT size=5>Summary</FONT></B>"), std::string::npos);
    EXPECT_NE(html.find("<svg "), std::string::npos);
    // The stored options are unchanged: the next plain run is the classic one.
    RegistryHive hive(sim.hive());
    EXPECT_EQ(hive.query(RegRoot::LocalMachine, kKey, "Passes").kind, RegValueKind::Absent);
    // The result files beside the report hold all nine passes.
    const std::string csv = readFile(report.substr(0, report.size() - 4) + ".csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 10) << csv;
}
