#include "run/Launcher.h"

#include "platform/TextFile.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"
#include "tests/support/Portable.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/SimInstall.h"
#include "tests/support/StandIn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace vantor;
using namespace vantor::test;

namespace {

RunState runWith(const std::string& fastZ, const std::string& refresh, const std::string& heap,
                 const std::string& demo) {
    RunState r;
    r.FastZArg = fastZ;
    r.RefreshArg = refresh;
    r.HeapArg = heap;
    r.DemoName = demo;
    return r;
}

}  // namespace

TEST(LaunchCommand, PiecesInOrderWithBlanksWherePiecesAreUnset) {
    const std::string opts = " -preload -novid -mat_preloadshaders -nocdaudio -nosound -width ";
    struct Case {
        int index;
        RunState run;
        std::string command;
    } cases[] = {
        {1, runWith("+r_fastzreject 0", "-refresh 75", "-heapsize 64000", "qvn_coast1"),
         "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 800 -height 600 "
         "+r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1"},
        {0, runWith("+r_fastzreject 1", "-refresh 60", "-heapsize 128000", "d3c171"),
         "steam.exe -applaunch 220 -console" + opts +
             "640 -height 480 +r_fastzreject 1 -refresh 60 -heapsize 128000 +timedemoquit d3c171"},
        {2, runWith("+r_fastzreject 0", "", "-heapsize 256000", "x"),
         "steam.exe -applaunch 220" + opts + "1024 -height 768 +r_fastzreject 0  -heapsize 256000 +timedemoquit x"},
        {3, runWith("+r_fastzreject 0", "-refresh 85", "", "x"),
         "steam.exe -applaunch 220" + opts + "1280 -height 1024 +r_fastzreject 0 -refresh 85  +timedemoquit x"},
        {4, runWith("+r_fastzreject 1", "-refresh 70", "-heapsize 1024000", ""),
         "steam.exe -applaunch 220" + opts +
             "1600 -height 1200 +r_fastzreject 1 -refresh 70 -heapsize 1024000 +timedemoquit "},
        {5, runWith("+r_fastzreject 0", "", "", "Raza3Z_demo6"),
         "steam.exe -applaunch 220" + opts + "2048 -height 1536 +r_fastzreject 0   +timedemoquit Raza3Z_demo6"},
    };
    for (const auto& c : cases) EXPECT_EQ(buildLaunchCommand(c.index, c.run), c.command) << c.index;
    // Another Steam program starts the same command.
    EXPECT_EQ(buildLaunchCommand(1, cases[0].run, "flatpak run com.valvesoftware.Steam"),
              "flatpak run com.valvesoftware.Steam" + cases[0].command.substr(9));
}

class LauncherTest : public ::testing::Test {
protected:
    RunTestContext t;
    Launcher launcher{t.ctx};
    std::vector<std::string> events;

    void SetUp() override {
        // A stand-in for the Steam client: notes each start beside itself.
        StandIn steam;
        steam.argsTo = t.ctx.paths.SteamPath + "started.txt";
        steam.install(t.ctx.paths.SteamPath, "steam.exe");
        launcher.setTerminateHandler([this](std::uint32_t) { events.push_back("terminate"); });
        t.ctx.run.FastZArg = "+r_fastzreject 0";
        t.ctx.run.RefreshArg = "-refresh 75";
        t.ctx.run.HeapArg = "-heapsize 64000";
        t.ctx.run.DemoName = "qvn_coast1";
    }

    std::optional<LaunchResult> launch(int width) {
        std::optional<LaunchResult> result;
        launcher.LaunchPass(width, [&](LaunchResult r) {
            result = r;
            events.push_back("done");
        });
        t.runUntil([&] { return result.has_value(); });
        return result;
    }
    // Until cp's batch process has ended and its notification went out.
    bool batchEnded() {
        return t.runUntil([&] {
            return launcher.passRunner().state() != TCreateProcess::State::Waiting && !events.empty() &&
                   events.back() == "terminate";
        });
    }
};

TEST_F(LauncherTest, SetLaunchOptionsFromTheChoices) {
    setChoiceIndex(t.ctx.request, Choice::Refresh, 2);
    setChoiceIndex(t.ctx.request, Choice::Heapsize, 4);
    setSwitch(t.ctx.request, Check::FastZ, true);
    launcher.SetLaunchOptions();
    EXPECT_EQ(t.ctx.run.RefreshArg, "-refresh 75");
    EXPECT_EQ(t.ctx.run.FastZArg, "+r_fastzreject 1");
    EXPECT_EQ(t.ctx.run.HeapArg, "-heapsize 1024000");
    // Nothing chosen: the values of the run before stay.
    setChoiceIndex(t.ctx.request, Choice::Refresh, -1);
    setChoiceIndex(t.ctx.request, Choice::Heapsize, -1);
    setSwitch(t.ctx.request, Check::FastZ, false);
    launcher.SetLaunchOptions();
    EXPECT_EQ(t.ctx.run.RefreshArg, "-refresh 75");
    EXPECT_EQ(t.ctx.run.FastZArg, "+r_fastzreject 0");
    EXPECT_EQ(t.ctx.run.HeapArg, "-heapsize 1024000");
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"Refresh rate: 75 Hz", "Fast Z: Enabled", "Heapsize: 1024 MB",
                                                       "Refresh rate: ", "Fast Z: Disabled", "Heapsize: "}));
}

TEST_F(LauncherTest, ChecksLookForTheNamesIgnoringCase) {
    t.processes.names = {"init", "Steam.EXE", "bash"};
    launcher.CheckSteamRunning();
    launcher.CheckGameRunning();
    EXPECT_TRUE(t.ctx.run.SteamRunning);
    EXPECT_FALSE(t.ctx.run.GameRunning);
    t.processes.names = {"HL2.exe"};
    launcher.CheckSteamRunning();
    launcher.CheckGameRunning();
    EXPECT_FALSE(t.ctx.run.SteamRunning);
    EXPECT_TRUE(t.ctx.run.GameRunning);
    EXPECT_TRUE(t.log.lines().empty());
}

TEST_F(LauncherTest, QueryFailureIsLoggedOnceAndKeepsTheFlags) {
    t.processes.fail = true;
    t.ctx.run.GameRunning = true;
    launcher.CheckGameRunning();
    launcher.CheckSteamRunning();
    launcher.CheckGameRunning();
    launcher.CheckSteamRunning();
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{"The hl2.exe not exist."});
    EXPECT_FALSE(t.ctx.run.SteamRunning);
    EXPECT_TRUE(t.ctx.run.GameRunning);
    EXPECT_TRUE(t.ctx.run.QueryFailureLogged);
}

TEST_F(LauncherTest, OfferSteamStartDeclined) {
    t.dialogs.answers = {false};
    t.view.setEnabled(Control::BenchButton, false);
    launcher.OfferSteamStart();
    EXPECT_EQ(t.dialogs.confirmations, std::vector<std::string>{"Error! The STEAM not running. Run now?"});
    EXPECT_EQ(t.view.statusHistory,
              (std::vector<std::string>{"Error! The Steam NOT running!",
                                        "Please RUN the Steam (online or offline) before bench."}));
    EXPECT_EQ(t.view.repaints, 1);
    EXPECT_TRUE(t.view.isEnabled(Control::BenchButton));
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"", "The Steam NOT running! Waiting..."}));
    EXPECT_FALSE(exists(t.ctx.paths.SteamPath + "steam.bat"));

    t.ctx.run.HDDMinimize = true;
    t.dialogs.answers = {false};
    launcher.OfferSteamStart();
    EXPECT_EQ(t.log.lines().size(), 2u);
}

TEST_F(LauncherTest, OfferSteamStartAcceptedStartsSteamBatHidden) {
    t.dialogs.answers = {true};
    t.view.setEnabled(Control::BenchButton, false);
    launcher.OfferSteamStart();
    EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "steam.bat"), "steam.exe\r\n");
    EXPECT_EQ(t.view.status(), "Loading. Please wait while the Steam successfully loaded... After that click RUN.");
    EXPECT_TRUE(t.view.isEnabled(Control::BenchButton));
    EXPECT_EQ(launcher.steamRunner().CurrentDirectory, t.ctx.paths.SteamPath);
    EXPECT_EQ(launcher.steamRunner().CommandLine, t.ctx.paths.SteamPath + "steam.bat");
    EXPECT_FALSE(launcher.steamRunner().WaitForTerminate());
    EXPECT_EQ(launcher.steamRunner().state(), TCreateProcess::State::Started);
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"", "The Steam NOT running! Waiting..."}));
    // steam.bat started the client from the Steam folder, without arguments.
    EXPECT_TRUE(t.runUntil([&] { return exists(t.ctx.paths.SteamPath + "started.txt"); }));
    EXPECT_TRUE(t.runUntil([&] { return readFile(t.ctx.paths.SteamPath + "started.txt") == "\n"; }));
    for (TCreateProcess* p : {&launcher.passRunner(), &launcher.steamRunner()}) {
        EXPECT_FALSE(p->StartupInfo.DefaultPosition);
        EXPECT_FALSE(p->StartupInfo.DefaultSize);
        EXPECT_FALSE(p->StartupInfo.DefaultWindowState);
        EXPECT_EQ(p->StartupInfo.ShowWindow, TCPSShowWindow::Hide);
    }
}

TEST_F(LauncherTest, OfferSteamStartWithABadSteamFolder) {
    t.ctx.paths.SteamPath = t.dir / "no-steam/";
    t.ctx.run.HDDMinimize = true;
    t.dialogs.answers = {true};
    t.view.setEnabled(Control::BenchButton, false);
    launcher.OfferSteamStart();
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{">>> ERROR <<< Error handling. Steam.bat save is impossible.",
                                                       ">>> ERROR <<< Error handling. CP CurrentDirectory not exist.",
                                                       ">>> ERROR <<< Error handling. Steam run error 640×480."}));
    // The classic line, then what to do next: without a Steam folder, how to choose one.
    const auto& shown = t.view.statusHistory;
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2], kProgramErrorStatus);
    EXPECT_EQ(t.view.status(), "Steam could not be started from " + t.ctx.paths.SteamPath +
                                   ". Please start Steam yourself, then click RUN again.");
    EXPECT_TRUE(t.view.isEnabled(Control::BenchButton));

    t.ctx.paths.SteamPath.clear();
    t.dialogs.answers = {true};
    launcher.OfferSteamStart();
    EXPECT_NE(t.view.status().find("Steam was not found. Please choose Steam's folder with \"Browse...\""),
              std::string::npos)
        << t.view.status();
}

TEST_F(LauncherTest, EveryPassWritesItsBatchFileAndWaitsForTheGame) {
    const char* const commands[] = {
        "steam.exe -applaunch 220 -console -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 640 -height 480 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
        "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 800 -height 600 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
        "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 1024 -height 768 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
        "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 1280 -height 1024 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
        "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 1600 -height 1200 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
        "steam.exe -applaunch 220 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 2048 -height 1536 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1",
    };
    t.ctx.run.DebugMode = true;
    const std::string debugLog = t.ctx.paths.BenchPath + "debuginfo.txt";
    t.ctx.timing.gameStartBound = std::chrono::milliseconds(5000);
    for (int i = 0; i < kResolutionCount; ++i) {
        SCOPED_TRACE(kWidths[i]);
        events.clear();
        t.processes.names = {};
        // The game shows up at the third look.
        const int firstCall = t.processes.calls;
        t.processes.onList = [&, firstCall](int call) {
            if (call - firstCall >= 3) t.processes.names = {"hl2.exe"};
        };
        const auto before = t.log.lines().size();
        t.ctx.run.GameRunning = false;
        EXPECT_EQ(launch(kWidths[i]), LaunchResult::Running);
        EXPECT_EQ(t.processes.calls - firstCall, 3);
        EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "vantor.bat"), std::string(commands[i]) + "\r\n");
        EXPECT_EQ(t.ctx.run.LaunchCommand, commands[i]);
        EXPECT_EQ(t.ctx.run.CurrentWidth, std::to_string(kWidths[i]));
        EXPECT_EQ(t.view.status(), "Debug in progress... Resolution: " + resolutionText(i));
        std::vector<std::string> lines;
        if (i != 0) lines.push_back("");
        lines.push_back("START HL2 in " + resolutionText(i) + ".");
        EXPECT_EQ(t.logFrom(before), lines);
        // Only the 800×600 pass saves the debug log.
        EXPECT_EQ(exists(debugLog), i >= 1);
        EXPECT_EQ(launcher.passRunner().CurrentDirectory, t.ctx.paths.SteamPath);
        EXPECT_EQ(launcher.passRunner().CommandLine, t.ctx.paths.SteamPath + "vantor.bat");
        ASSERT_TRUE(batchEnded());
        // The batch file ran the client from the Steam folder with the pass's options.
        std::vector<std::string> started;
        ASSERT_TRUE(readTextLines(t.ctx.paths.SteamPath + "started.txt", started));
        EXPECT_EQ("steam.exe " + started.back(), commands[i]);
    }
    t.ctx.run.DebugMode = false;
    t.processes.names = {"hl2.exe"};
    events.clear();
    launch(1024);
    EXPECT_EQ(t.view.status(), "Benchmarking in progress... Resolution: 1024×768");
    ASSERT_TRUE(batchEnded());
}

TEST_F(LauncherTest, ANativeLinuxSteamGetsTheSameCommandThroughItsOwnProgram) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "a Linux client: Windows has only steam.exe";
    // A Linux client's folder: its start script, no steam.exe. The stand-in for
    // the client's "steam" command notes its arguments beside itself.
    t.ctx.paths.SteamPath = t.dir / "linux-steam/";
    const std::string steam = t.ctx.paths.SteamPath + "steam";
    writeFile(t.ctx.paths.SteamPath + "steam.sh", "#!/bin/sh\n");
    writeFile(steam, "#!/bin/sh\necho \"$*\" >> \"$(dirname \"$0\")/started.txt\"\n");
    std::filesystem::permissions(steam, std::filesystem::perms::owner_all);
    // The native game's process.
    t.processes.onList = [&](int) {
        if (launcher.passRunner().state() != TCreateProcess::State::Waiting) t.processes.names = {"bash", "hl2_linux"};
    };
    t.ctx.timing.gameStartBound = std::chrono::milliseconds(5000);  // the batch ends first, late on a loaded machine
    EXPECT_EQ(launch(640), LaunchResult::Running);
    ASSERT_TRUE(batchEnded());
    const std::string options =
        "-applaunch 220 -console -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 640 -height 480 "
        "+r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1";
    EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "vantor.bat"), "steam " + options + "\r\n");
    EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "started.txt"), options + "\n");

    t.dialogs.answers = {true};
    launcher.OfferSteamStart();
    EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "steam.bat"), "steam\r\n");
}

TEST_F(LauncherTest, EndOfTheBatchProcessIsDeliveredAfterTheLaunchsDone) {
    // The game appears only once the batch process has ended, so its end
    // notification arrives while the launch still waits.
    t.processes.onList = [&](int) {
        if (launcher.passRunner().state() != TCreateProcess::State::Waiting) t.processes.names = {"hl2.exe"};
    };
    t.ctx.timing.gameStartBound = std::chrono::milliseconds(5000);  // a batch run by Wine's cmd.exe is slow
    EXPECT_EQ(launch(1280), LaunchResult::Running);
    ASSERT_TRUE(batchEnded());
    EXPECT_EQ(events, (std::vector<std::string>{"done", "terminate"}));
}

TEST_F(LauncherTest, StoppedLaunchDropsTheHeldNotification) {
    // Only the stop may end this wait, however slowly the batch process runs
    // (a loaded machine took longer than the short start bound).
    t.ctx.timing.gameStartBound = std::chrono::hours(1);
    writeFile(t.ctx.paths.SteamPath + "steam.exe", "#!/bin/sh\nsleep 0.2\n");
    std::optional<LaunchResult> result;
    launcher.LaunchPass(1600, [&](LaunchResult r) { result = r; });
    // The batch process ends while the game never shows up.
    ASSERT_TRUE(t.runUntil([&] { return launcher.passRunner().state() != TCreateProcess::State::Waiting; }));
    t.runUntil([] { return false; }, 20);
    launcher.stopLaunch();
    EXPECT_EQ(result, LaunchResult::Stopped);
    t.runUntil([] { return false; }, 30);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{""});
    launcher.stopLaunch();  // nothing waits any more
    EXPECT_EQ(result, LaunchResult::Stopped);
}

TEST_F(LauncherTest, EndLaunchedGameClosesWhatTheLastLaunchStartedFromTheGameFolder) {
    std::optional<GameEnd> end;
    auto endGame = [&] {
        end.reset();
        launcher.EndLaunchedGame([&](GameEnd e) { end = e; });
        t.runUntil([&] { return end.has_value(); });
        return end;
    };
    // Before any launch nothing running is this program's.
    t.processes.games = {42};
    EXPECT_EQ(endGame(), GameEnd::NoneRunning);
    EXPECT_TRUE(t.processes.terminated.empty());

    t.processes.clock = 5000;
    t.processes.names = {"hl2.exe"};
    EXPECT_EQ(launch(800), LaunchResult::Running);
    EXPECT_EQ(endGame(), GameEnd::Ended);
    EXPECT_EQ(t.processes.terminated, std::vector<std::uint32_t>{42});
    ASSERT_FALSE(t.processes.startQueries.empty());
    EXPECT_EQ(t.processes.startQueries.back(),
              std::make_pair(t.ctx.paths.HL2Path + nativePath("half-life 2/"), std::uint64_t{5000}));
    // Gone already: nothing to do.
    EXPECT_EQ(endGame(), GameEnd::NoneRunning);
}

// The game's folder is the one that holds ResultsPath, however many spellings
// of it exist beside each other.
TEST_F(LauncherTest, EndLaunchedGameLooksInTheFolderOfTheResults) {
    const std::string hl2 = t.ctx.paths.HL2Path;
    t.ctx.paths.ResultsPath = hl2 + nativePath("Half-Life 2/hl2/");
    t.ctx.paths.CFGPath = t.ctx.paths.ResultsPath + nativePath("cfg/");
    std::filesystem::create_directories(t.ctx.paths.CFGPath);
    ASSERT_TRUE(std::filesystem::is_directory(hl2 + "half-life 2"));  // the other spelling stays
    t.processes.names = {"hl2.exe"};
    ASSERT_EQ(launch(800), LaunchResult::Running);
    std::optional<GameEnd> end;
    launcher.EndLaunchedGame([&](GameEnd e) { end = e; });
    ASSERT_TRUE(t.runUntil([&] { return end.has_value(); }));
    ASSERT_FALSE(t.processes.startQueries.empty());
    EXPECT_EQ(t.processes.startQueries.back().first, hl2 + nativePath("Half-Life 2/"));
}

TEST_F(LauncherTest, GameThatDoesNotGoIsReportedAtTheBound) {
    t.processes.names = {"hl2.exe"};
    EXPECT_EQ(launch(800), LaunchResult::Running);
    t.processes.games = {42};
    t.processes.endOnTerminate = false;
    const auto start = std::chrono::steady_clock::now();
    std::optional<GameEnd> end;
    launcher.EndLaunchedGame([&](GameEnd e) { end = e; });
    ASSERT_TRUE(t.runUntil([&] { return end.has_value(); }));
    EXPECT_EQ(end, GameEnd::StillRunning);
    EXPECT_GE(std::chrono::steady_clock::now() - start, t.ctx.timing.gameEndBound);
}

TEST_F(LauncherTest, GameThatNeverAppearsEndsAtTheBound) {
    // The batch process ends before the bound (its end is held, then dropped
    // with the failed launch) or after it (its end is delivered as usual).
    struct Case {
        const char* name;
        bool batchEndsFirst;
        std::vector<std::string> events;
    } cases[] = {
        {"batch ends while the launch waits", true, {"done"}},
        {"batch ends after the bound", false, {"done", "terminate"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        t.log.clear();
        // Steam's stand-in ends once the file "go" is there.
        const std::string go = t.dir / "go";
        std::filesystem::remove(go);
        StandIn steam;
        steam.waitFor = go;
        steam.install(t.ctx.paths.SteamPath, "steam.exe");
        if (c.batchEndsFirst) writeFile(go, "");
        // Long enough for a batch run by Wine's cmd.exe to end within it.
        t.ctx.timing.gameStartBound = std::chrono::milliseconds(c.batchEndsFirst ? 2000 : 60);
        t.ctx.timing.gameStartNotice = t.ctx.timing.gameStartBound / 3;
        t.view.statusHistory.clear();

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(launch(1024), LaunchResult::TimedOut);
        EXPECT_GE(std::chrono::steady_clock::now() - start, t.ctx.timing.gameStartBound);
        EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"", ">>> ERROR <<< HL2 did not start in 1024×768."}));
        // The caller tells the user; meanwhile the run said what it waits for, after its own status line.
        EXPECT_EQ(launchFailureText(LaunchResult::TimedOut).rfind("Half-Life 2 did not start", 0), 0u);
        ASSERT_EQ(t.view.statusHistory.size(), 2u);
        EXPECT_EQ(t.view.statusHistory[0], "Benchmarking in progress... Resolution: 1024×768");
        EXPECT_EQ(t.view.statusHistory[1], gameStartWaitNotice(t.ctx.timing.gameStartBound));
        EXPECT_GT(t.processes.calls, 2);
        writeFile(go, "");
        ASSERT_TRUE(
            t.runUntil([&] { return launcher.passRunner().state() != TCreateProcess::State::Waiting; }, 10'000));
        t.runUntil([] { return false; }, 20);
        EXPECT_EQ(events, c.events);
    }
}

TEST(GameStartWaitNotice, NamesWhatMayKeepTheGameAndTheBound) {
    const std::string text = gameStartWaitNotice(kGameStartBound);
    EXPECT_EQ(text.rfind("Still waiting for Half-Life 2 to start.", 0), 0u) << text;
    EXPECT_NE(text.find("waits up to 5 minutes in all"), std::string::npos) << text;
}

TEST_F(LauncherTest, BadSteamFolderFailsTheStart) {
    t.ctx.paths.SteamPath = t.dir / "no-steam/";
    t.view.setEnabled(Control::BenchButton, false);
    std::optional<LaunchResult> result;
    launcher.LaunchPass(1280, [&](LaunchResult r) { result = r; });
    EXPECT_EQ(result, LaunchResult::StartFailed);  // at once
    EXPECT_EQ(t.log.lines(),
              (std::vector<std::string>{"", ">>> ERROR <<< Error handling. Vantor.bat save is impossible.",
                                        ">>> ERROR <<< Error handling. CP CurrentDirectory not exist.",
                                        ">>> ERROR <<< Error handling. CP run error 1280×1024."}));
    EXPECT_EQ(launchFailureText(*result), kProgramErrorStatus);
    EXPECT_TRUE(t.view.isEnabled(Control::BenchButton));
    EXPECT_EQ(t.processes.calls, 0);
}

TEST_F(LauncherTest, StartThatTheSystemRefusesFailsThePass) {
    if (kThisOs == OsFamily::Windows)
        GTEST_SKIP() << "Windows runs a batch file with its own interpreter, which a test cannot take away";
    // Without the batch host the batch file cannot be started.
    TempDir emptySystemFolder;
    const char* old = std::getenv("VANTOR_SYSTEM_FOLDER");
    const std::string saved = old ? old : "";
    test::setEnv("VANTOR_SYSTEM_FOLDER", emptySystemFolder.path().c_str());
    std::optional<LaunchResult> result;
    launcher.LaunchPass(640, [&](LaunchResult r) { result = r; });
    if (old)
        test::setEnv("VANTOR_SYSTEM_FOLDER", saved.c_str());
    else
        test::unsetEnv("VANTOR_SYSTEM_FOLDER");
    EXPECT_EQ(result, LaunchResult::StartFailed);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{">>> ERROR <<< Error handling. CP run error 640×480."});
    EXPECT_EQ(readFile(t.ctx.paths.SteamPath + "vantor.bat"),
              "steam.exe -applaunch 220 -console -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 640 "
              "-height 480 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1\r\n");
}

// ---- against the simulator -----------------------------------------------------

namespace {

// Whether a program with exactly this path runs (the full-path process list).
bool programRuns(const std::string& path) {
    std::vector<ProcessEntry> list;
    if (!ListRunningProcesses(list, true)) return false;
    for (const auto& e : list)
        if (e.name == path) return true;
    return false;
}

}  // namespace

// A whole preparation and one pass on a simulated installation: the player's
// files are kept aside, the program's configuration and demo put in place, the
// launch waits until the simulated game shows up in the real process list, the
// batch process's end is delivered after the launch's done, the game plays with
// the program's configuration, writes its result and quits, and the restore
// gives back the player's files byte for byte.
TEST(LauncherWithSimulator, PassRunsTheSimulatedGameAndTheRestoreKeepsThePlayersFiles) {
    SimInstall install;
    ASSERT_TRUE(install.ok) << install.error;
    const std::string steam = install.steam();
    writeFile(steam + "vantor-sim.cfg", "play_ms=300\nstart_delay_ms=50\ncondebug=1\n");

    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    SettingsStore store(registry);
    DebugLog log;
    SystemProcessQuery processes;
    AppContext ctx(view, dialogs, loop, store, log, processes);
    ctx.timing = shortTiming();
    ctx.timing.gamePoll = std::chrono::milliseconds(20);
    ctx.timing.gameStartBound = std::chrono::milliseconds(15000);
    ctx.paths.BenchPath = std::string(VANTOR_BIN_DIR) + "/";
    ctx.paths.SteamPath = steam;
    ctx.paths.HL2Path = install.hl2();
    ctx.paths.ResultsPath = install.results();
    ctx.paths.CFGPath = install.cfg();
    const std::string game = install.game() + "hl2.exe";
    const auto playersFiles = folderFiles(ctx.paths.CFGPath);
    ASSERT_EQ(playersFiles.size(), 3u);

    setChoiceIndex(ctx.request, Choice::Detail, 0);
    setChoiceIndex(ctx.request, Choice::Demo, 0);
    setChoiceIndex(ctx.request, Choice::AF, 6);
    setChoiceIndex(ctx.request, Choice::AA, 5);
    setChoiceIndex(ctx.request, Choice::DirectX, 3);
    setChoiceIndex(ctx.request, Choice::Refresh, 2);
    setChoiceIndex(ctx.request, Choice::Heapsize, 0);

    GameConfig config(ctx);
    DemoInstaller demos(ctx);
    Launcher launcher(ctx);
    std::vector<std::string> events;
    launcher.setTerminateHandler([&](std::uint32_t code) { events.push_back("terminate " + std::to_string(code)); });

    ASSERT_TRUE(config.BackupGameConfig());
    std::optional<bool> demoOk, detailOk;
    demos.InstallDemo([&](bool ok) { demoOk = ok; });
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return demoOk.has_value(); }, 5000));
    ASSERT_EQ(demoOk, true);
    config.SetFilterLines();
    config.SetDXLine();
    config.WriteDetailConfig([&](const StepResult& r) { detailOk = r.ok(); });
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return detailOk.has_value(); }, 5000));
    launcher.SetLaunchOptions();

    std::optional<LaunchResult> result;
    launcher.LaunchPass(800, [&](LaunchResult r) {
        result = r;
        events.push_back("done");
    });
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return result.has_value(); }, 20000));
    ASSERT_EQ(result, LaunchResult::Running);
    EXPECT_EQ(log.lines().back(), "START HL2 in 800×600.");
    // The list holds names only, so another test's simulated game may have
    // ended the wait; this installation's game shows up all the same.
    EXPECT_TRUE(runLoopUntil(
        loop, [&] { return programRuns(game); }, 10000));
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return events.size() == 2; }, 10000));
    EXPECT_EQ(events, (std::vector<std::string>{"done", "terminate 0"}));

    const std::string csv = ctx.paths.ResultsPath + "sourcebench.csv";
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return exists(csv) && !programRuns(game); }, 20000));
    std::vector<std::string> resultLines;
    ASSERT_TRUE(readTextLines(csv, resultLines));
    EXPECT_GE(resultLines.size(), 4u);
    // The game ran the program's configuration files.
    const std::string console = readFile(ctx.paths.ResultsPath + "console.log");
    EXPECT_NE(console.find("autoexec.cfg"), std::string::npos) << console;

    bool restored = false;
    config.RestoreGameConfig([&] { restored = true; });
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return restored; }, 5000));
    EXPECT_EQ(folderFiles(ctx.paths.CFGPath), playersFiles);
}
