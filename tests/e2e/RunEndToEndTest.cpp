// Whole benchmark runs against the simulated Steam and game, with short timings.
#include "app/MainController.h"
#include "platform/PlainEventLoop.h"
#include "platform/RegistryHive.h"
#include "run/DemoInstaller.h"
#include "run/SystemNames.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeView.h"
#include "tests/support/SimInstall.h"
#include "tests/support/SimTiming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (auto& l : lines) s += l + "\n";
    return s;
}

// A fixture per installation layout (tests/support/SimInstall.h).
template <SimLayout Layout>
class RunAgainst : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok) << "scripts/make-sim-install failed";
        sim.knobs("play_ms=250\nstart_delay_ms=30\n");
        registry = std::make_unique<RegistryHive>(sim.hive());
        controller = std::make_unique<MainController>(view, dialogs, loop, *registry, query ? *query : sim.processes);
        auto& ctx = controller->context();
        ctx.paths.BenchPath = sim.bench();
        ctx.homeFolder = sim.dir.path() + "home/";
        ctx.timing = simRunTiming(1500ms, 1500ms);
        ctx.shellOpen = [this](const std::string& target) { opened.push_back(target); };
        bool started = false;
        controller->startUp([&] { started = true; });
        ASSERT_TRUE(loop.runUntil([&] { return started; }, 10s));
        ASSERT_TRUE(controller->gameFound());

        view.setChoice(Choice::Detail, 0);
        view.setChoice(Choice::Demo, 0);
        view.setChoice(Choice::AF, 6);
        view.setChoice(Choice::AA, 2);
        view.setChoice(Choice::DirectX, 3);
        view.setChoice(Choice::Heapsize, 0);
        view.setChoice(Choice::Refresh, 2);
        view.setChecked(Check::FastZ, false);
        view.setText(Field::NoteEdit, "AMD <3 & co");
        view.setText(Field::ResEdit, sim.dir.path() + "Reports/");
        std::filesystem::create_directories(sim.dir.path() + "Reports");
        // A fresh store ticks 1280×720; these tests tick their own sizes.
        view.setTodayResolutionChecked(0, false);
        userFiles = snapshot(sim.cfg());
        // A fresh store asks nothing at start-up.
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{});
    }

    void tick(std::initializer_list<int> widths) {
        for (int w : widths)
            for (int i = 0; i < kResolutionCount; ++i)
                if (kWidths[i] == w) view.setResolutionChecked(i, true);
    }

    // Clicks the run button and serves the loop until the run has ended,
    // recording every distinct "vantor.bat" it sees.
    void run(std::chrono::seconds limit = 30s) {
        std::function<void()> watch = [&] {
            std::string bat = readFile(sim.steam() + "vantor.bat");
            if (!bat.empty() && (bats.empty() || bats.back() != bat)) bats.push_back(bat);
            watchTimer = loop.startTimer(5ms, watch);
        };
        watch();
        controller->runButtonClicked();
        loop.runUntil([&] { return !controller->sequencer().running(); }, limit);
        loop.cancelTimer(watchTimer);
        EXPECT_FALSE(controller->sequencer().running()) << joined(controller->log().lines());
    }

    // The reports (the result files beside them are not counted).
    std::vector<std::string> reports() {
        std::vector<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(sim.dir.path() + "Reports"))
            if (e.path().extension() == ".htm") out.push_back(e.path().string());
        return out;
    }

    const std::vector<std::string>& log() { return controller->log().lines(); }

    // A run of 640×480 and 800×600 whose first pass gave no result (knobs say
    // why): the report holds 800×600 alone, the log has logLine, the user's
    // files are back.
    void firstPassWithoutResult(const std::string& knobs, const std::string& logLine) {
        sim.knobs(knobs);
        sim.startSteam();
        tick({640, 800});
        run();
        auto files = reports();
        ASSERT_EQ(files.size(), 1u) << joined(log());
        const std::string report = readFile(files[0]);
        EXPECT_EQ(report.find("Resolution: 640"), std::string::npos);
        EXPECT_NE(report.find("Resolution: 800\xD7"
                              "600"),
                  std::string::npos);
        EXPECT_NE(std::find(log().begin(), log().end(), logLine), log().end()) << joined(log());
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    }

    // A run whose last pass (of widths) gave no result: no report, the run
    // aborted, the log has logLine, the user's files are back.
    void lastPassWithoutResult(const std::string& knobs, std::initializer_list<int> widths,
                               const std::string& logLine) {
        sim.knobs(knobs);
        sim.startSteam();
        tick(widths);
        run();
        EXPECT_TRUE(reports().empty());
        EXPECT_EQ(view.status(), "Benchmark aborted.");
        EXPECT_NE(std::find(log().begin(), log().end(), logLine), log().end()) << joined(log());
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    }

    // A run of 640×480 and 1024×768: the report byte for byte (start time and
    // scores masked; scorePattern matches the scores of the layout's engine),
    // the batch files, the log, and the user's files put back.
    void twoResolutionRun(const std::string& scorePattern) {
        sim.startSteam();
        tick({640, 1024});
        run();

        ASSERT_EQ(bats.size(), 2u) << joined(log());
        const std::string options = " -preload -novid -mat_preloadshaders -nocdaudio -nosound -width ";
        EXPECT_EQ(bats[0],
                  "steam.exe -applaunch 220 -console" + options +
                      "640 -height 480 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1\r\n");
        EXPECT_EQ(bats[1],
                  "steam.exe -applaunch 220" + options +
                      "1024 -height 768 +r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1\r\n");

        auto files = reports();
        ASSERT_EQ(files.size(), 1u) << joined(log());
        const std::string stamp = controller->context().run.FileStamp;
        EXPECT_EQ(std::filesystem::path(files[0]).filename().string(), "result_" + stamp + ".htm");
        // With the stored defaults the result files lie beside the report.
        for (const char* ext : {".json", ".csv"})
            EXPECT_TRUE(exists(sim.dir.path() + "Reports/result_" + stamp + ext)) << ext;
        // Their start time: the date first, with the offset from UTC.
        const std::string resultJson = readFile(sim.dir.path() + "Reports/result_" + stamp + ".json");
        EXPECT_TRUE(std::regex_search(
            resultJson,
            std::regex("\"started\": \"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}\"")))
            << resultJson;
        // The start time and the frame rates vary; everything else is fixed.
        std::string report = readFile(files[0]);
        report = std::regex_replace(report, std::regex("started at [^<]*<"), "started at START<");
        report = std::regex_replace(report, std::regex("Score = " + scorePattern + " FPS"), "Score = N FPS");
        const std::string bench = sim.bench();
        const std::string block = std::string("Demo: Quorvane - Coast<br>\r\nDetail: Maximum quality<br>\r\n") +
                                  "Antialising mode: 4\xD7<br>\r\nFiltering mode: From System<br>\r\n" +
                                  "Hardware DirectX level: DirectX 9<br>\r\nHeapsize: 64 MB - default<br>\r\n" +
                                  "Fast Z: Disabled<br>\r\n<span class=\"style5\"><b>Score = N FPS</b></span><br>\r\n" +
                                  "<br><HR>\r\n";
        const std::string expected =
            "<html>\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\r\n"
            "<title>Half-Life 2 Benchmark - www.quorvane.example</title>\r\n"
            "<style type=\"text/css\">\r\n<!--\r\n.style4 {\r\n\tcolor: #0066FF;\r\n\tfont-weight: bold;\r\n}\r\n"
            ".style5 {color: #990000}\r\n.style6 {color: #0066FF}\r\n-->\r\n</style>\r\n</head>\r\n<body>\r\n"
            "<p align=\"center\"><img src=\"" +
            bench + nativePath("Others/logo1.gif") +
            "\" width=\"204\" height=\"204\"></p><br>\r\n"
            "   <FONT size=2>The benchmark started at START</FONT><br>\r\n"
            "<FONT size=2><span class=\"style6\">Comment:</span> AMD &lt;3 &amp; co</FONT><br>\r\n"
            "<hr>\r\n"
            "<BR><B><FONT size=5>Resolution: 640\xD7"
            "480</FONT></B><BR>\r\n" +
            block +
            "<BR><B><FONT size=5>Resolution: 1024\xD7"
            "768</FONT></B><BR>\r\n" +
            block +
            "<P></P>\r\n<CENTER>Any bug, etc: <a href=\"mailto:pellmarr@quorvane.example\">Pellmarr</a></CENTER>\r\n"
            "<CENTER>The Quorvane Half-Life 2 Benchmarking Tool is FREE!</CENTER><BR>\r\n</body></html>\r\n";
        EXPECT_EQ(report, expected);

        // The user's files are back, byte for byte, and nothing of the run is left.
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
        EXPECT_FALSE(exists(sim.steam() + "vantor.bat"));
        EXPECT_FALSE(exists(sim.resultFile()));
        EXPECT_EQ(view.status(), "The benchmarking is successful.");
        EXPECT_TRUE(view.isEnabled(Control::BenchButton));
        EXPECT_TRUE(controller->context().run.RunFinished);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], sim.dir.path() + "Reports/result_" + stamp + ".htm");
        EXPECT_EQ(view.report, opened[0]);
        EXPECT_TRUE(view.statusHistory.end() != std::find(view.statusHistory.begin(), view.statusHistory.end(),
                                                          "Benchmarking in progress... Resolution: 1024\xC3\x97"
                                                          "768"));

        // The run's lines, in order (the date and the scores masked).
        std::vector<std::string> lines = log();
        for (auto& l : lines) {
            if (l.rfind("Debug date: ", 0) == 0) l = "Debug date: D";
            l = std::regex_replace(l, std::regex("^Result: " + scorePattern + " FPS$"), "Result: N FPS");
            if (l.rfind("Result saved to ", 0) == 0) l = "Result saved to R";
        }
        const std::vector<std::string> expectedLog = {"",
                                                      "Create benchmark folder",
                                                      "Total resolution: 2",
                                                      "Debug date: D",
                                                      "Rc exist: changed to old.",
                                                      "Rc: file saved.",
                                                      "CFG file exist: changed to old.",
                                                      "Built-in demo (qvn_coast1.dem) not exist. Copy...",
                                                      "Set filters (AF1-AF2/AA): 6,2",
                                                      "Details: maximum.",
                                                      "Hardware DirectX level: DirectX 9",
                                                      "Refresh rate: 75 Hz",
                                                      "Fast Z: Disabled",
                                                      "Heapsize: 64 MB - default",
                                                      "",
                                                      "...",
                                                      "",
                                                      "START HL2 in 640\xC3\x97"
                                                      "480.",
                                                      "Half-Life 2 terminated.",
                                                      "640\xC3\x97"
                                                      "480 successful. More to come...",
                                                      "Source1 exist.",
                                                      "Source1 conversion successful.",
                                                      "Source2 loading, editing.",
                                                      "Result: N FPS",
                                                      "Source1 deleted.",
                                                      "Source2 deleted.",
                                                      "HL2B deleted.",
                                                      "",
                                                      "START HL2 in 1024\xC3\x97"
                                                      "768.",
                                                      "Half-Life 2 terminated.",
                                                      "1024\xC3\x97"
                                                      "768 successful.",
                                                      "Source1 exist.",
                                                      "Source1 conversion successful.",
                                                      "Source2 loading, editing.",
                                                      "Result: N FPS",
                                                      "Source1 deleted.",
                                                      "Source2 deleted.",
                                                      "HL2B deleted.",
                                                      "Result saved to R",
                                                      "Settings restoring...",
                                                      "Config file: deleted. Restored original.",
                                                      "RC file: deleted. Restored original.",
                                                      "",
                                                      "DEBUG FINISHED.",
                                                      std::string(55, '-')};
        EXPECT_EQ(lines, expectedLog) << joined(log());
    }

    SimInstall sim{true, Layout};
    ProcessQuery* query = nullptr;  // the run's process query: sim.processes unless set before SetUp
    std::unique_ptr<RegistryHive> registry;
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    std::unique_ptr<MainController> controller;
    std::map<std::string, std::string> userFiles;
    std::vector<std::string> bats;
    std::vector<std::string> opened;
    EventLoop::TimerId watchTimer = 0;
};

using RunEndToEnd = RunAgainst<SimLayout::Accounts>;
using TodayRunEndToEnd = RunAgainst<SimLayout::Today>;

// The installation's process list, except that a game that has quit stays in
// it until the system has told its end through an exit watch: only that can end
// a pass, never a poll of the list.
class ExitToldOnly final : public ProcessQuery {
public:
    explicit ExitToldOnly(ProcessQuery& real) : real_(real) {}

    bool list(std::vector<ProcessEntry>& out) override {
        std::vector<ProcessEntry> now;
        if (!real_.list(now)) return false;
        bool listed = false;
        for (const auto& p : now) {
            if (!isGame(p.name)) continue;
            listed = true;
            if (p.id != game_.id) {
                game_ = p;  // a new game: its end is not told yet
                endTold_ = false;
            }
        }
        out.insert(out.end(), now.begin(), now.end());
        if (!listed && game_.id != 0 && !endTold_) out.push_back(game_);
        return true;
    }
    bool startedUnder(const std::string& folder, std::uint64_t sinceMs, std::vector<std::uint32_t>& ids) override {
        return real_.startedUnder(folder, sinceMs, ids);
    }
    bool terminate(std::uint32_t id) override { return real_.terminate(id); }
    std::uint64_t now() override { return real_.now(); }
    std::unique_ptr<ProcessExitWatch> watchExit(std::span<const char* const> names, EventLoop& loop,
                                                std::function<void()> ended) override {
        return ProcessQuery::watchExit(names, loop, [this, ended = std::move(ended)] {
            endTold_ = true;
            ++ends;
            ended();
        });
    }

    int ends = 0;  // ends the system told

private:
    static bool isGame(const std::string& name) {
        for (const char* game : processNamesFor(kThisOs).game)
            if (ContainsIgnoringCase(game, name)) return true;
        return false;
    }
    ProcessQuery& real_;
    ProcessEntry game_;
    bool endTold_ = false;
};

// The installation's process list where the system tells no program's end:
// each pass ends at a poll of the list, as before there were exit watches.
class NoExitWatch final : public ProcessQuery {
public:
    explicit NoExitWatch(ProcessQuery& real) : real_(real) {}
    bool list(std::vector<ProcessEntry>& out) override { return real_.list(out); }
    bool startedUnder(const std::string& folder, std::uint64_t sinceMs, std::vector<std::uint32_t>& ids) override {
        return real_.startedUnder(folder, sinceMs, ids);
    }
    std::unique_ptr<ProcessExitWatch> watchExit(std::span<const char* const>, EventLoop&,
                                                std::function<void()>) override {
        ++asked;
        return nullptr;
    }
    int asked = 0;

private:
    ProcessQuery& real_;
};

class ExitToldRunEndToEnd : public RunEndToEnd {
protected:
    ExitToldRunEndToEnd() { query = &told; }
    ExitToldOnly told{sim.processes};
};

class PolledRunEndToEnd : public RunEndToEnd {
protected:
    PolledRunEndToEnd() { query = &polled; }
    NoExitWatch polled{sim.processes};
};

// The game's end as the system tells it ends each pass: the run goes through
// although no poll of the list ever sees the game gone.
TEST_F(ExitToldRunEndToEnd, ThePassEndsWhenTheSystemTellsTheGamesEnd) {
    twoResolutionRun("[0-9]+\\.[0-9][0-9]");
    EXPECT_EQ(told.ends, 2);
}

// Where the system tells no end, the poll of the process list ends each pass.
TEST_F(PolledRunEndToEnd, WithoutExitWatchesThePollEndsEachPass) {
    twoResolutionRun("[0-9]+\\.[0-9][0-9]");
    EXPECT_GE(polled.asked, 2);
}

TEST_F(RunEndToEnd, TwoResolutionsGiveTheReportAndPutTheUserFilesBack) {
    // The first engine's scores: the third field as written, two decimals.
    twoResolutionRun("[0-9]+\\.[0-9][0-9]");
}

TEST_F(TodayRunEndToEnd, TwoResolutionsGiveTheReportAndPutTheUserFilesBack) {
    // Today's engine: the fps column without its padding, one decimal.
    twoResolutionRun("[0-9]+\\.[0-9]");
    // Discovery went through the library list to the game's folder as spelled on disk.
    const auto& paths = controller->context().paths;
    EXPECT_EQ(paths.HL2Path, sim.hl2());
    EXPECT_EQ(pathKey(paths.CFGPath), pathKey(sim.cfg()));
}

TEST_F(TodayRunEndToEnd, ARowForAnotherResolutionLeavesThatPassWithoutResult) {
    firstPassWithoutResult("play_ms=250\nstart_delay_ms=30\nwrongsize_widths=640\n",
                           ">>> ERROR <<< Source2 holds the result of 1024\xC3\x97"
                           "768, not of 640\xC3\x97"
                           "480.");
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
    EXPECT_FALSE(exists(sim.resultFile()));
}

TEST_F(TodayRunEndToEnd, AMalformedRowOfTheLastPassAbortsWithoutAFile) {
    lastPassWithoutResult("play_ms=250\nstart_delay_ms=30\nmalformed_widths=800\nmalformed=nocomma\n", {640, 800},
                          ">>> ERROR <<< Source2 result row has too few fields.");
}

TEST_F(RunEndToEnd, FirstPassCrashLeavesNoBlockAndTheRunGoesOn) {
    firstPassWithoutResult("play_ms=250\nstart_delay_ms=30\ncrash_widths=640\n", ">>> ERROR <<< Source1 not exist.");
}

TEST_F(RunEndToEnd, LastPassWithoutResultAbortsWithoutAFile) {
    lastPassWithoutResult("play_ms=250\nstart_delay_ms=30\nmalformed_widths=1280\nmalformed=nocomma\n", {800, 1280},
                          "Benchmark aborted.");
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

TEST_F(RunEndToEnd, SteamNotRunningAnsweredNoChangesNothing) {
    tick({640});
    dialogs.answers = {false};
    run();
    EXPECT_EQ(dialogs.confirmations, std::vector<std::string>{"Error! The STEAM not running. Run now?"});
    EXPECT_EQ(view.status(), "Please RUN the Steam (online or offline) before bench.");
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_FALSE(exists(sim.steam() + "steam.bat"));
}

TEST_F(RunEndToEnd, SteamNotRunningAnsweredYesStartsTheClient) {
    tick({640});
    dialogs.answers = {true};
    run();
    EXPECT_EQ(view.status(), "Loading. Please wait while the Steam successfully loaded... After that click RUN.");
    EXPECT_EQ(readFile(sim.steam() + "steam.bat"), "steam.exe\r\n");
    // The client started through the batch host shows up in the process list.
    std::function<void()> poll = [&] {
        controller->launcher().CheckSteamRunning();
        if (!controller->context().run.SteamRunning) loop.startTimer(20ms, poll);
    };
    poll();
    EXPECT_TRUE(loop.runUntil([&] { return controller->context().run.SteamRunning; }, 5s));
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
}

TEST_F(RunEndToEnd, NoResolutionTickedChangesNoFile) {
    sim.startSteam();
    run();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Please, choose a resolution of Half-Life 2."});
    // The log says why the run did not start, on a line of its own.
    ASSERT_GE(log().size(), 2u);
    EXPECT_EQ(std::vector<std::string>(log().end() - 2, log().end()),
              (std::vector<std::string>{"Total resolution: 0", "Please, choose a resolution of Half-Life 2."}));
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

// An option the run reads but nobody chose would hand the game an empty value
// (a demo-less "+timedemoquit" never ends): the run is refused before anything
// changes, naming the option and its page.
TEST_F(RunEndToEnd, AnUnchosenOptionIsRefusedBeforeAnythingChanges) {
    sim.startSteam();
    tick({640});
    const std::pair<Choice, const char*> cases[] = {
        {Choice::Demo, "Please choose a demo on the \"Filters & demos\" page."},
        {Choice::AF, "Please choose the texture filtering on the \"Filters & demos\" page."},
        {Choice::Heapsize, "Please choose the heap size on the \"Miscellaneous\" page."},
        {Choice::DirectX, "Please choose the DirectX level on the \"Miscellaneous\" page."},
    };
    for (const auto& [choice, text] : cases) {
        SCOPED_TRACE(text);
        const int chosen = view.choice(choice);
        view.setChoice(choice, -1);
        dialogs.messages.clear();
        controller->runButtonClicked();
        EXPECT_FALSE(controller->sequencer().running());
        const std::string message = std::string(text) + " The benchmark has not started.";
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{message});
        EXPECT_EQ(view.status(), message);
        EXPECT_EQ(log().back(), ">>> ERROR <<< " + message);
        EXPECT_TRUE(view.isEnabled(Control::BenchButton));
        EXPECT_FALSE(exists(sim.steam() + "vantor.bat"));
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
        view.setChoice(choice, chosen);
    }
}

TEST_F(RunEndToEnd, GameThatNeverStartsEndsCleanlyAtTheBound) {
    sim.knobs("mode=nostart\n");
    sim.startSteam();
    tick({800});
    run();
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_TRUE(std::any_of(log().begin(), log().end(), [](const std::string& l) {
        return l.rfind(">>> ERROR <<< ", 0) == 0;
    })) << joined(log());
}

TEST_F(RunEndToEnd, GameThatNeverQuitsEndsCleanlyAtTheBound) {
    sim.knobs("mode=hang\nstart_delay_ms=30\n");
    sim.startSteam();
    tick({800});
    run();
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_NE(std::find(log().begin(), log().end(),
                        ">>> ERROR <<< HL2 did not quit in 800\xC3\x97"
                        "600."),
              log().end());
}

// A program started from path with no arguments (the simulated game then stays
// up as at its menu); ended with the object.
class Program {
public:
    explicit Program(const std::string& path) {
        const std::string none = kThisOs == OsFamily::Windows ? "NUL" : "/dev/null";
        process_.start(path, {}, {}, none, none);
    }
    bool running() { return !process_.ended(); }

private:
    test::ChildProcess process_;
};

TEST_F(RunEndToEnd, StopClosesTheGameOfThisRunOnlyThenRestores) {
    sim.knobs("play_ms=3000\nstart_delay_ms=30\n");
    sim.startSteam();
    // Under the game's folder but started before the run: not the run's game.
    const std::string game = sim.hl2() + "half-life 2/";
    std::filesystem::copy_file(game + "hl2.exe", game + "hl2_tool.exe");
    Program before(game + "hl2_tool.exe");
    tick({640, 800});
    controller->runButtonClicked();
    // Stop once the first game runs.
    ASSERT_TRUE(loop.runUntil([&] { return controller->context().run.GameRunning; }, 10s));
    EXPECT_TRUE(view.runActive);
    // Started after the launch but outside the game's folder: not the run's game either.
    TempDir elsewhere;
    std::filesystem::copy_file(game + "hl2.exe", elsewhere / "hl2.exe");
    Program outside(elsewhere / "hl2.exe");
    controller->stopRun();
    loop.runUntil([&] { return !controller->sequencer().running(); }, 10s);
    EXPECT_FALSE(controller->sequencer().running());

    std::vector<ProcessEntry> left;
    sim.processes.list(left);
    EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](auto& p) { return p.name == "hl2.exe"; }));
    EXPECT_TRUE(before.running());
    EXPECT_TRUE(outside.running());
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_FALSE(view.runActive);
    EXPECT_EQ(view.status(), kRunStoppedGameClosedStatus);
    const std::vector<std::string> expected = {
        "Benchmark stopped by the user in 640\xC3\x97"
        "480.",
        "Half-Life 2 closed."};
    const auto at = std::search(log().begin(), log().end(), expected.begin(), expected.end());
    EXPECT_NE(at, log().end()) << joined(log());
    // The restore came after the game had gone.
    EXPECT_NE(std::find(at, log().end(), "Config file: deleted. Restored original."), log().end()) << joined(log());
}

TEST_F(RunEndToEnd, UserDemoWithoutAFileIsRefusedBeforeAnythingChanges) {
    sim.startSteam();
    tick({640});
    view.setChoice(Choice::Demo, 5);
    view.setText(Field::DemoEdit, "");
    run();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{kNoUserDemoMessage});
    EXPECT_EQ(view.status(), kNoUserDemoMessage);
    EXPECT_TRUE(bats.empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

TEST_F(RunEndToEnd, UnwritableResultsFolderIsRefusedBeforeAnythingChanges) {
    sim.startSteam();
    tick({640});
    // A folder in which nobody, root included, can create a file.
    view.setText(Field::ResEdit, "/proc/");
    run();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind("The results folder /proc/ cannot be written (", 0), 0u) << dialogs.messages[0];
    EXPECT_EQ(view.status(), dialogs.messages[0]);
    EXPECT_TRUE(bats.empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_EQ(log().back().rfind(">>> ERROR <<< Results folder not writable: /proc/ (", 0), 0u) << joined(log());
}

TEST_F(RunEndToEnd, StopWhileTheFinishedRunRestoresKeepsItsResult) {
    sim.startSteam();
    tick({800});
    // Stop is clicked once the report is saved and the user's files are being put back.
    bool stopped = false;
    controller->gameConfig().onFileStep = [&] {
        if (!stopped && !log().empty() && log().back() == "Settings restoring...") {
            stopped = true;
            controller->stopRun();
        }
    };
    run();
    ASSERT_TRUE(stopped) << joined(log());
    EXPECT_EQ(reports().size(), 1u);
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_FALSE(view.runActive);
}

}  // namespace

// ---- today's sizes and the user's own --------------------------------------------

TEST_F(TodayRunEndToEnd, TodaysAndTheUsersOwnSizesRunInWidthOrderLikeTheClassicOnes) {
    sim.startSteam();
    tick({800});
    view.setTodayResolutionChecked(1, true);  // 1920×1080
    view.setText(Field::CustomResolution, "1000x500");
    view.setChecked(Check::CustomResolution, true);
    run();

    ASSERT_EQ(bats.size(), 3u) << joined(log());
    const char* sizes[] = {"-width 800 -height 600 ", "-width 1000 -height 500 ", "-width 1920 -height 1080 "};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NE(bats[i].find(sizes[i]), std::string::npos) << bats[i];
    // Each pass's row is for its own size, so each has a score.
    const auto& passes = controller->reportWriter().passScores();
    ASSERT_EQ(passes.size(), 3u);
    for (const auto& p : passes) EXPECT_TRUE(p.found) << p.width;
    const auto files = reports();
    ASSERT_EQ(files.size(), 1u);
    const std::string report = readFile(files[0]);
    std::vector<std::string> headings;
    for (std::size_t at = 0; (at = report.find("Resolution: ", at)) != std::string::npos; ++at)
        headings.push_back(report.substr(at, report.find('<', at) - at));
    EXPECT_EQ(headings, (std::vector<std::string>{"Resolution: 800\xD7"
                                                  "600",
                                                  "Resolution: 1000\xD7"
                                                  "500",
                                                  "Resolution: 1920\xD7"
                                                  "1080"}));
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
}

TEST_F(RunEndToEnd, AnInvalidSizeOfTheUsersIsRefusedBeforeAnythingChanges) {
    sim.startSteam();
    tick({800});
    view.setText(Field::CustomResolution, "1000x16390");
    view.setChecked(Check::CustomResolution, true);
    run();
    const std::string refusal =
        "The custom resolution 1000\xC3\x97"
        "16390 is refused: width and height must be at most 16384.";
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(view.status(), refusal);
    EXPECT_EQ(log().back(), refusal);
    EXPECT_TRUE(bats.empty());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

TEST_F(RunEndToEnd, SeveralPassesShowTheTimeLeftAndTheMean) {
    sim.startSteam();
    tick({800});
    view.setChoice(Choice::Passes, 2);  // 3 passes
    run();
    const auto& passes = controller->reportWriter().passScores();
    ASSERT_EQ(passes.size(), 3u) << joined(log());
    // Unknown before the first pass ended, then known and falling, none after the run.
    ASSERT_EQ(view.timeLeft.size(), 4u);
    EXPECT_EQ(view.timeLeft[0], std::nullopt);
    ASSERT_TRUE(view.timeLeft[1] && view.timeLeft[2]);
    EXPECT_GT(*view.timeLeft[1], *view.timeLeft[2]);
    EXPECT_EQ(view.timeLeft[3], std::nullopt);
    const auto results = controller->reportWriter().resolutionResults();
    ASSERT_EQ(results.size(), 1u);
    const std::string html = readFile(reports().at(0));
    EXPECT_NE(html.find("Score = " + fixed2(results[0].stats.mean) + " FPS"), std::string::npos);
    EXPECT_EQ(std::count(log().begin(), log().end(),
                         "800\xC3\x97"
                         "600 pass 2 successful. More to come..."),
              1);
}
