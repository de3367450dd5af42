// Debug mode's button: the Steam offer's differences, the log header and the
// report lines, the debug run's options, and the ways the tool can fail.
// (A whole debug run against the simulator: tests/e2e/DebugModeEndToEndTest.cpp.)
#include "app/MainController.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "run/SystemNames.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"
#include "tests/support/Portable.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/StandIn.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

class DebugModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& ctx = controller.context();
        ctx.timing = shortTiming();
        ctx.paths.BenchPath = dir / "my bench/";
        ctx.paths.SteamPath = dir / "steam/";
        std::filesystem::create_directories(ctx.paths.BenchPath);
        std::filesystem::create_directories(ctx.paths.SteamPath);
        registry.put(RegRoot::LocalMachine, kSettingsKey, sv::Programversion, "1.3");
        processes.names = {"steam.exe"};
        view.setChecked(Check::HDDUse, true);
    }

    // A stand-in for the tool, dxdiag.exe in a folder of its own.
    void fakeTool(const StandIn& standIn) {
        controller.diagTool().folder = dir / "tools";
        standIn.install(controller.diagTool().folder);
    }

    // Clicks the debug button and serves the loop until the tool has ended.
    void click(int ms = 10'000) {
        controller.startDebugMode();
        runLoopUntil(
            loop, [&] { return !controller.debugMode().waitingForTool(); }, ms);
    }

    std::vector<std::string> header() {
        const auto& p = controller.context().paths;
        return {std::string(50, '='),
                "Quorvane Half-Life 2 benchmark debug information",
                std::string(50, '='),
                "",
                "Benchmark version: 1.3",
                "BenchPath: " + p.BenchPath,
                "SteamPath: " + p.SteamPath,
                "CFGPath: ",
                "ResultsPath: ",
                ""};
    }

    TempDir dir;
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    FakeProcesses processes;
    MainController controller{view, dialogs, loop, registry, processes};
};

}  // namespace

TEST_F(DebugModeTest, SteamNotRunningOffersItWithDebugModesThreeDifferences) {
    struct Case {
        const char* name;
        bool yes;
        bool steamFolder;
        const char* status;
        bool runButton;
    };
    const Case cases[] = {
        {"No", false, true, "Please RUN the Steam (online or offline) before bench.", false},
        {"Yes, started", true, true, kDebugSteamLoadingStatus, false},
        {"Yes, start failed", true, false, kProgramErrorStatus, true},
    };
    processes.names.clear();
    auto& ctx = controller.context();
    ctx.run.HDDMinimize = true;  // the lines are logged all the same
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ctx.run.DebugMode = false;
        controller.log().clear();
        view.setEnabled(Control::BenchButton, false);
        dialogs.answers = {c.yes};
        ctx.paths.SteamPath = c.steamFolder ? dir / "steam/" : dir / "no steam/";
        controller.startDebugMode();
        EXPECT_FALSE(ctx.run.DebugMode) << "the debug button is clicked again once Steam runs";
        std::vector<std::string> expected = {"", "The Steam NOT running! Waiting..."};
        if (c.yes && !c.steamFolder) {
            expected.push_back(std::string(kErrorHandlingPrefix) + "Steam.bat save is impossible.");
            expected.push_back(std::string(kErrorHandlingPrefix) + "CP CurrentDirectory not exist.");
            expected.push_back(std::string(kErrorHandlingPrefix) +
                               "Steam run error 640\xC3\x97"
                               "480.");
        }
        EXPECT_EQ(controller.log().lines(), expected);
        if (c.yes && !c.steamFolder) {
            // The classic line, then what to do next.
            ASSERT_GE(view.statusHistory.size(), 2u);
            EXPECT_EQ(view.statusHistory[view.statusHistory.size() - 2], c.status);
            EXPECT_EQ(view.status(), "Steam could not be started from " + ctx.paths.SteamPath +
                                         ". Please start Steam yourself, then click RUN again.");
        } else {
            EXPECT_EQ(view.status(), c.status);
        }
        EXPECT_EQ(view.isEnabled(Control::BenchButton), c.runButton);
        EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
        EXPECT_EQ(controller.debugMode().toolRunner().ItemCount(), 0u);
    }
}

TEST_F(DebugModeTest, ReportLinesFollowTheHeaderThenTheDebugRunStarts) {
    // A report with every label; one line holds "=" and is logged from there.
    fakeTool(StandIn::writesAFullReport());
    view.setResolutionChecked(0, true);
    view.setResolutionChecked(3, true);
    view.setResolutionChecked(5, true);
    view.setChoice(Choice::Detail, 2);
    view.setChoice(Choice::AF, 6);
    view.setChoice(Choice::AA, 5);
    view.setChoice(Choice::Demo, 5);
    view.setChoice(Choice::Heapsize, 4);
    view.setChoice(Choice::Refresh, 0);
    view.setChoice(Choice::DirectX, 0);
    view.setChecked(Check::FastZ, true);
    controller.log().append("a line of an earlier run");
    view.setChecked(Check::HDDUse, true);
    view.setText(Field::NoteEdit, "my note");
    const FakeView before = view;

    controller.startDebugMode();
    // While the tool runs.
    auto& ctx = controller.context();
    EXPECT_TRUE(ctx.run.DebugMode);
    EXPECT_EQ(ctx.run.CurrentWidth, "debug");
    EXPECT_FALSE(view.isEnabled(Control::DebugBtn));
    EXPECT_FALSE(view.isEnabled(Control::BenchButton));
    EXPECT_EQ(view.status(), kDebugWaitStatus);
    EXPECT_EQ(controller.log().lines(), header());
    EXPECT_EQ(controller.diagTool().user(), DiagTool::User::DebugMode);
    ASSERT_TRUE(runLoopUntil(
        loop, [&] { return !controller.debugMode().waitingForTool(); }, 10'000));

    std::vector<std::string> expected = header();
    for (const char* line : {"Operating System: Test OS", "Language: C", "Processor: Test CPU", "Memory: 2048MB RAM",
                             "DirectX Version: Not available", "Card name: Test GPU", "Display Memory: 64.0 MB",
                             "Monitor Max Res: 1600,1200", "Driver Version: 1.0"})
        expected.push_back(line);
    const auto& log = controller.log().lines();
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    EXPECT_FALSE(exists(ctx.paths.BenchPath + "dxinfo.txt"));
    EXPECT_EQ(controller.diagTool().user(), DiagTool::User::None);

    // The debug run's request: 800×600, and 2048×1536 as the user's run has
    // it; fixed options; the user's note.
    const RunRequest& run = ctx.request;
    EXPECT_EQ(run.sizes, (std::vector<Resolution>{{800, 600}, {2048, 1536}}));
    EXPECT_EQ(run.detail, DetailLevel::Maximum);
    EXPECT_EQ(run.filtering, TextureFiltering::Bilinear);
    EXPECT_EQ(run.antialiasing, Antialiasing::None);
    EXPECT_EQ(run.demo, DemoChoice::QuorvaneCoast);
    EXPECT_EQ(run.heapSize, HeapSize::Mb64);
    EXPECT_EQ(run.refreshRate, RefreshRate::Hz75);
    EXPECT_EQ(run.directX, DirectXLevel::DirectX9);
    EXPECT_FALSE(run.fastZ);
    EXPECT_FALSE(run.minimizeHddUse);
    EXPECT_EQ(run.note, "my note");
    // Debug mode is one run and leaves the user's options as they were, in the
    // window and in the settings; afterwards it is off.
    EXPECT_EQ(view.res, before.res);
    EXPECT_EQ(view.choices, before.choices);
    EXPECT_EQ(view.checks, before.checks);
    EXPECT_FALSE(ctx.run.DebugMode);
    EXPECT_EQ(view.debugModeShown, (std::vector<bool>{true, false}));
    EXPECT_EQ(registry.query(RegRoot::LocalMachine, kSettingsKey, sv::Detail).kind, RegValueKind::Absent);
    EXPECT_EQ(registry.query(RegRoot::LocalMachine, kSettingsKey, sv::Demo).kind, RegValueKind::Absent);

    // The run button's handler ran: without a game it refuses, and both
    // buttons come back.
    EXPECT_EQ(view.status(), "Half-Life 2 was not found. Please choose its " + gameProgramsText(kThisOs) +
                                 " with \"Browse...\" beside the Half-Life 2 path on the \"Path & information\" page.");
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
}

TEST_F(DebugModeTest, ToolFailuresSayWhyKeepTheLinesAndGiveTheButtonsBack) {
    struct Case {
        const char* name;
        std::optional<StandIn> standIn;  // none: no tool
        std::string status;
        std::vector<std::string> lines;  // report lines logged before the error
    };
    const Case cases[] = {
        {"tool missing",
         std::nullopt,
         "The hardware report tool could not be started: " + fileNotFoundText() + ".",
         {}},
        {"no report", StandIn::fails(1), "The hardware report tool wrote no report.", {}},
        {"report without a language",
         StandIn::writes("System Information\r\n   Operating System: Test OS\r\n          Processor: X\r\n"),
         "The hardware report has no \"Language:\" line.",
         {"Operating System: Test OS"}},
        {"never ends", StandIn::hangs(), "The hardware report tool did not finish within 1 seconds.", {}},
    };
    auto& ctx = controller.context();
    ctx.timing.diagToolBound = 1ms;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.standIn)
            controller.diagTool().folder = dir / "no tools";
        else
            fakeTool(*c.standIn);
        view.setEnabled(Control::BenchButton, true);
        click();
        EXPECT_FALSE(controller.debugMode().waitingForTool());
        EXPECT_EQ(view.status(), c.status);
        std::vector<std::string> expected = header();
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        const auto& log = controller.log().lines();
        ASSERT_EQ(log.size(), expected.size() + 1);
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.end() - 1), expected);
        EXPECT_EQ(log.back().rfind(std::string(kErrorPrefix) + c.status, 0), 0u) << log.back();
        EXPECT_TRUE(view.isEnabled(Control::BenchButton));
        EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
        EXPECT_FALSE(ctx.run.DebugMode);
        EXPECT_FALSE(controller.sequencer().running());
        EXPECT_EQ(controller.diagTool().user(), DiagTool::User::None);
        EXPECT_FALSE(exists(ctx.paths.BenchPath + "dxinfo.txt"));
    }
    // The hung tool is left running; end it here.
    auto& run = controller.debugMode().toolRunner();
    test::killProcess(run.Item(run.ItemCount() - 1).ProcessId());
}

TEST_F(DebugModeTest, RunButtonThatWasOffStaysOffAfterAFailure) {
    controller.diagTool().folder = dir / "no tools";
    view.setEnabled(Control::BenchButton, false);  // no game was found at start-up
    click();
    EXPECT_FALSE(view.isEnabled(Control::BenchButton));
    EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
}

TEST_F(DebugModeTest, RefusedWhileTheInformationWindowRunsTheTool) {
    controller.diagTool().claim(DiagTool::User::HardwareInfo);
    controller.log().append("kept");
    controller.startDebugMode();
    EXPECT_EQ(view.status(), kInfoWindowHasToolStatus);
    EXPECT_FALSE(controller.context().run.DebugMode);
    EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_EQ(controller.log().lines(), std::vector<std::string>{"kept"});
    EXPECT_EQ(controller.debugMode().toolRunner().ItemCount(), 0u);
}
