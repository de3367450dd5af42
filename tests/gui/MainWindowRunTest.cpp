// The main window during and after a run against the simulated Steam and game.
#include "app/MainController.h"
#include "gui/EventLoopQt.h"
#include "gui/MainWindow.h"
#include "platform/FileOps.h"
#include "platform/RegistryHive.h"
#include "run/Sequencer.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/SimInstall.h"
#include "tests/support/SimTiming.h"
#include "tests/support/StoredSettings.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

class WindowRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok) << "scripts/make-sim-install failed";
        std::filesystem::create_directories(reports());
        ASSERT_TRUE(storeSettings(sim.hive(), chosenSettings(reports())));
        userFiles = snapshot(sim.cfg());
    }
    void TearDown() override {
        controller.reset();
        window.reset();
    }

    void start(const std::string& knobs) {
        sim.knobs(knobs);
        registry = std::make_unique<RegistryHive>(sim.hive());
        window = std::make_unique<MainWindow>(std::string(VANTOR_BIN_DIR) + "/Pictures/");
        controller = std::make_unique<MainController>(*window, dialogs, loop, *registry, sim.processes);
        window->bind(*controller);
        auto& ctx = controller->context();
        ctx.paths.BenchPath = sim.bench();
        ctx.timing = simRunTiming(3s, 5s);
        ctx.timing.gameEndPoll = 10ms;
        ctx.timing.gameEndBound = 3s;
        ctx.shellOpen = [this](const std::string& target) { opened.push_back(target); };
        window->onTerminate = [this] { ++terminated; };
        bool started = false;
        controller->startUp([&] { started = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return started; }, 10000));
        ASSERT_TRUE(controller->gameFound());
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->allPagesBuilt(); }, 5000));
        sim.startSteam();
    }

    std::string reports() const { return sim.dir.path() + "Reports/"; }
    bool gameRunning() {
        std::vector<ProcessEntry> mine;
        sim.processes.list(mine);
        return std::any_of(mine.begin(), mine.end(), [](auto& e) { return e.name == "hl2.exe"; });
    }
    template <class W>
    W* find(const char* name) {
        W* w = window->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void clickRunAndWaitForTheGame() {
        QTest::mouseClick(find<QPushButton>("BenchButton"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->context().run.GameRunning; }, 10000)) << window->status();
    }

    SimInstall sim;
    std::unique_ptr<RegistryHive> registry;
    FakeDialogs dialogs;
    EventLoopQt loop;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainController> controller;
    std::map<std::string, std::string> userFiles;
    std::vector<std::string> opened;
    int terminated = 0;
};

constexpr const char* kStopQuestion =
    "A benchmark is running. Stop it and close the program? Your game settings will be restored.";

TEST_F(WindowRun, CloseButtonDuringARunAsksAndYesClosesTheGameAndRestoresFirst) {
    start("play_ms=20000\nstart_delay_ms=30\n");
    clickRunAndWaitForTheGame();
    EXPECT_NE(snapshot(sim.cfg()), userFiles);

    // No: the run goes on.
    dialogs.answers = {false};
    QTest::mouseClick(find<QToolButton>("SpeedButton1"), Qt::LeftButton);
    EXPECT_EQ(dialogs.confirmations, std::vector<std::string>{kStopQuestion});
    QTest::qWait(100);
    EXPECT_EQ(terminated, 0);
    EXPECT_TRUE(controller->sequencer().running());
    EXPECT_TRUE(gameRunning());

    // Yes: stopped as Stop does, then the close button's own path.
    dialogs.answers = {true};
    QTest::mouseClick(find<QToolButton>("SpeedButton1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return terminated == 1; }, 10000)) << window->status();
    EXPECT_FALSE(controller->sequencer().running());
    EXPECT_FALSE(gameRunning());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    const auto& log = controller->log().lines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Half-Life 2 closed."), log.end());
    EXPECT_EQ(log.back(), "Application terminated.");
}

TEST_F(WindowRun, SystemCloseDuringARunAsksTooAndClosesAfterTheRestore) {
    start("play_ms=20000\nstart_delay_ms=30\n");
    clickRunAndWaitForTheGame();
    dialogs.answers = {true};
    window->close();
    EXPECT_EQ(dialogs.confirmations, std::vector<std::string>{kStopQuestion});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000)) << window->status();
    EXPECT_FALSE(gameRunning());
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    EXPECT_EQ(terminated, 0);
}

TEST_F(WindowRun, PassBarFillsAsPassesEndAndTheReportIsOfferedAfterTheRun) {
    start("play_ms=400\nstart_delay_ms=30\n");
    auto* bar = find<QProgressBar>("RunProgress");
    auto* text = find<QLabel>("RunProgressText");
    QTest::mouseClick(find<QPushButton>("BenchButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return text->text() == QStringLiteral("Pass 1 of 2"); }, 10000));
    EXPECT_EQ(bar->value(), 0);
    // From the second pass on, the time left stands below the count.
    ASSERT_TRUE(QTest::qWaitFor([&] { return text->text().startsWith(QStringLiteral("Pass 2 of 2\n")); }, 10000));
    EXPECT_TRUE(text->text().endsWith(QStringLiteral(" left"))) << text->text().toStdString();
    EXPECT_EQ(bar->value(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->sequencer().running(); }, 20000)) << window->status();

    EXPECT_EQ(window->status(), "The benchmarking is successful.");
    ASSERT_EQ(opened.size(), 1u);
    const std::string report = opened[0];
    EXPECT_TRUE(std::filesystem::is_regular_file(report)) << report;
    EXPECT_FALSE(find<QWidget>("ReportBar")->isHidden());
    EXPECT_EQ(find<QLabel>("ReportLink")->toolTip().toStdString(), report);
    QTest::mouseClick(find<QPushButton>("OpenReport"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("OpenReportFolder"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{report, report, reports()}));

    // The next run starts without the last one's report.
    QTest::mouseClick(find<QPushButton>("BenchButton"), Qt::LeftButton);
    EXPECT_TRUE(find<QWidget>("ReportBar")->isHidden());
    controller->stopRun();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->sequencer().running(); }, 10000));
}

// A user who never ran the program: no settings of its own, only Steam's value.
// One click on Run reaches a report with the defaults; the status line and the
// report's path can be copied.
TEST_F(WindowRun, AFreshUserReachesAResultWithOneClick) {
    writeFile(sim.hive(),
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n"
              "\"SteamExe\"=\"" +
                  sim.steam() + "steam.exe\"\r\n");
    start("play_ms=200\nstart_delay_ms=30\n");
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    QTest::mouseClick(find<QPushButton>("BenchButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->sequencer().running(); }, 20000)) << window->status();
    EXPECT_EQ(window->status(), "The benchmarking is successful.");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind(sim.bench() + "Benchmark" + kPathSep, 0), 0u) << opened[0];
    EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    auto* status = find<QLabel>("StatusInfo");
    EXPECT_TRUE(status->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(status->toolTip(), status->text());
    auto* link = find<QLabel>("ReportLink");
    ASSERT_EQ(link->actions().size(), 1);
    link->actions().front()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), opened[0]);
}

}  // namespace
