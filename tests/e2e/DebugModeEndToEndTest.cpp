// Debug mode end to end: the real hardware-report tool (under Wine, whose own
// tool lacks a line, a stand-in), then a debug run
// against the simulated Steam and game, with short timings.
#include "app/MainController.h"
#include "diag/ScanDxReport.h"
#include "platform/PlainEventLoop.h"
#include "platform/RegistryHive.h"
#include "platform/TextFile.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeView.h"
#include "tests/support/SimInstall.h"
#include "tests/support/SimTiming.h"
#include "tests/support/StandIn.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

// The lines of a file the program wrote (Windows-1252, CR LF), in UTF-8.
std::vector<std::string> crlfLines(const std::string& file) {
    const std::string bytes = fromWindows1252(readFile(file));
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto end = bytes.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(at) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (auto& l : lines) s += l + "\n";
    return s;
}

class DebugModeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok) << "scripts/make-sim-install failed";
        sim.knobs("play_ms=250\nstart_delay_ms=30\n");
        registry = std::make_unique<RegistryHive>(sim.hive());
        registry->setString(RegRoot::LocalMachine, kSettingsKey, sv::Programversion, "1.3");
        controller = std::make_unique<MainController>(view, dialogs, loop, *registry, sim.processes);
        auto& ctx = controller->context();
        ctx.paths.BenchPath = sim.bench();
        ctx.timing = simRunTiming(1500ms, 1500ms);
        ctx.shellOpen = [](const std::string&) {};
        bool started = false;
        controller->startUp([&] { started = true; });
        ASSERT_TRUE(loop.runUntil([&] { return started; }, 10s));
        ASSERT_TRUE(controller->gameFound());
        if (runningUnderWine()) {  // Wine's own dxdiag writes no "DirectX Version:" line
            StandIn::writesAFullReport().install(sim.dir / "tools/");
            controller->diagTool().folder = sim.dir / "tools";
        }
        view.setText(Field::ResEdit, sim.dir.path() + "Reports/");
        std::filesystem::create_directories(sim.dir.path() + "Reports");
        view.setChecked(Check::HDDUse, true);
        // Options the debug run replaces.
        view.setResolutionChecked(0, true);
        view.setResolutionChecked(2, true);
        view.setChoice(Choice::Detail, 1);
        view.setChoice(Choice::Demo, 2);
        view.setChoice(Choice::AF, 6);
        view.setChoice(Choice::AA, 2);
        view.setChoice(Choice::Heapsize, 3);
        view.setChoice(Choice::Refresh, 0);
        view.setChoice(Choice::DirectX, 1);
        view.setChecked(Check::FastZ, true);
    }

    // Serves the loop until the debug run has ended, recording every distinct
    // "vantor.bat" it sees.
    void serveUntilEnded(std::chrono::seconds limit = 40s) {
        EventLoop::TimerId timer = 0;
        std::function<void()> watch = [&] {
            std::string bat = readFile(sim.steam() + "vantor.bat");
            if (!bat.empty() && (bats.empty() || bats.back() != bat)) bats.push_back(bat);
            timer = loop.startTimer(5ms, watch);
        };
        watch();
        loop.runUntil([&] { return !controller->debugMode().waitingForTool() && !controller->sequencer().running(); },
                      limit);
        loop.cancelTimer(timer);
        ASSERT_FALSE(controller->sequencer().running()) << joined(controller->log().lines());
    }

    std::vector<std::string> header() {
        const auto& p = controller->context().paths;
        return {std::string(50, '='),
                "Quorvane Half-Life 2 benchmark debug information",
                std::string(50, '='),
                "",
                "Benchmark version: 1.3",
                "BenchPath: " + p.BenchPath,
                "SteamPath: " + p.SteamPath,
                "CFGPath: " + p.CFGPath,
                "ResultsPath: " + p.ResultsPath,
                ""};
    }

    // The width of each launch command seen.
    std::vector<std::string> passWidths() const {
        std::vector<std::string> widths;
        for (const auto& bat : bats) {
            const auto at = bat.find("-width ");
            widths.push_back(at == std::string::npos ? "?" : bat.substr(at + 7, bat.find(' ', at + 7) - at - 7));
        }
        return widths;
    }

    SimInstall sim;
    std::unique_ptr<RegistryHive> registry;
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    std::unique_ptr<MainController> controller;
    std::vector<std::string> bats;
};

}  // namespace

TEST_F(DebugModeEndToEnd, LogFileStartsWithTheHeaderAndTheMachineThenOneDebugPassAt800) {
    sim.startSteam();
    controller->startDebugMode();
    serveUntilEnded();

    const std::string file = sim.bench() + "debuginfo.txt";
    ASSERT_TRUE(exists(file)) << joined(controller->log().lines());
    const std::vector<std::string> lines = crlfLines(file);
    const std::vector<std::string> head = header();
    ASSERT_GT(lines.size(), head.size() + kDebugLabels.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), head);
    for (std::size_t i = 0; i < kDebugLabels.size(); ++i)
        EXPECT_EQ(lines[10 + i].rfind(kDebugLabels[i], 0), 0u) << lines[10 + i];
    // The file holds the whole log of the run, up to its closing lines.
    EXPECT_EQ(lines, controller->log().lines());
    EXPECT_EQ(lines[lines.size() - 2], "DEBUG FINISHED.");
    EXPECT_EQ(lines.back(), std::string(55, '-'));
    EXPECT_FALSE(exists(sim.bench() + "dxinfo.txt"));

    EXPECT_EQ(passWidths(), std::vector<std::string>{"800"});
    EXPECT_NE(bats[0].find("+r_fastzreject 0 -refresh 75 -heapsize 64000 +timedemoquit qvn_coast1"), std::string::npos)
        << bats[0];
    EXPECT_NE(std::find(view.statusHistory.begin(), view.statusHistory.end(), kDebugWaitStatus),
              view.statusHistory.end());
    EXPECT_NE(std::find(view.statusHistory.begin(), view.statusHistory.end(),
                        "Debug in progress... Resolution: 800\xC3\x97"
                        "600"),
              view.statusHistory.end());
    EXPECT_EQ(view.status(), "The debugging is successful.");
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
    EXPECT_TRUE(view.checked(Check::HDDUse)) << "the user's own switch, untouched by the debug run";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sim.dir.path() + "Reports"), {}), 1);

    // Debug mode is one run: the next run with the run button is the user's
    // own, with the user's options, and the debug file stays as it was.
    EXPECT_FALSE(controller->context().run.DebugMode);
    EXPECT_EQ(view.choice(Choice::Demo), 2);
    bats.clear();
    controller->runButtonClicked();
    serveUntilEnded();
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
    ASSERT_FALSE(bats.empty());
    EXPECT_NE(bats.front().find("-width 640 -height 480"), std::string::npos) << bats.front();
    EXPECT_EQ(crlfLines(file), lines);
}

TEST_F(DebugModeEndToEnd, TickedHighestResolutionAddsItsPass) {
    view.setResolutionChecked(5, true);
    sim.startSteam();
    controller->startDebugMode();
    serveUntilEnded();
    EXPECT_EQ(passWidths(), (std::vector<std::string>{"800", "2048"})) << joined(controller->log().lines());
    EXPECT_EQ(view.status(), "The debugging is successful.");
    const auto& log = controller->log().lines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "2048\xC3\x97"
                        "1536 successful."),
              log.end());
}

TEST_F(DebugModeEndToEnd, DebugButtonDuringARunIsRefused) {
    sim.startSteam();
    view.setChoice(Choice::Detail, 0);
    view.setChoice(Choice::Demo, 0);
    controller->runButtonClicked();
    ASSERT_TRUE(controller->sequencer().running());
    controller->startDebugMode();
    EXPECT_EQ(view.status(), kDebugDuringRunStatus);
    EXPECT_FALSE(controller->context().run.DebugMode);
    EXPECT_EQ(controller->debugMode().toolRunner().ItemCount(), 0u);
    serveUntilEnded();
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
}
