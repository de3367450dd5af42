// The Information window's logic: the stored description, a collection with
// the real tool and with tools that fail, the shared tool, the stored values.
#include "diag/HardwareInfo.h"
#include "platform/FileOps.h"
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

class FakeInfoView : public HardwareInfoView {
public:
    void showMemo(const std::vector<std::string>& lines) override { memo = lines; }
    void setStatus(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }
    void setButtonsEnabled(bool on) override { enabled = on; }
    void repaint() override { ++repaints; }
    void closeWindow() override { ++closes; }

    std::vector<std::string> memo;
    std::string status;
    std::vector<std::string> statuses;
    bool enabled = true;
    int repaints = 0;
    int closes = 0;
};

class HardwareInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.ctx.paths.BenchPath = t.dir / "my bench/";
        std::filesystem::create_directories(t.ctx.paths.BenchPath);
        info.onCollectionEnded = [this] { ++ended; };
    }

    // A stand-in for the tool, dxdiag.exe in a folder of its own.
    void fakeTool(const StandIn& standIn) {
        tool.folder = t.dir / "tools";
        standIn.install(tool.folder);
    }

    std::string report() const { return t.ctx.paths.BenchPath + "dxinfo.txt"; }

    std::optional<std::string> stored(const char* name) {
        RegValue v = t.registry.query(RegRoot::LocalMachine, kSettingsKey, name);
        if (v.kind != RegValueKind::String) return std::nullopt;
        return v.text;
    }
    void storeValues(const std::vector<std::pair<const char*, std::string>>& values) {
        for (const auto& [name, value] : values) t.registry.put(RegRoot::LocalMachine, kSettingsKey, name, value);
    }

    bool collect(int ms = 10'000) {
        const int before = ended;
        info.collect();
        return t.runUntil([&] { return ended > before; }, ms);
    }

    RunTestContext t;
    DiagTool tool;
    FakeInfoView view;
    HardwareInfo info{t.ctx, tool, view};
    int ended = 0;
};

}  // namespace

TEST_F(HardwareInfoTest, CreationShowsTheStoredValuesOrSaysThereAreNone) {
    info.startUp();
    EXPECT_EQ(view.memo, std::vector<std::string>{kNoStoredInfo});
    EXPECT_EQ(view.status, kInfoStartStatus);

    storeValues({{sv::SaveInfo, "1"},
                 {sv::OS, "Operating System: X"},
                 {sv::CPU, "Processor: Y"},
                 {sv::Memory, ""},
                 {sv::VGA, "Card name: Z"},
                 {sv::VGAMemory, "Display Memory: 1 MB"},
                 {sv::VGADriver, "Driver Version: 2"}});
    HardwareInfo again(t.ctx, tool, view);
    again.startUp();
    const std::vector<std::string> six = {"Operating System: X", "Processor: Y",         "",
                                          "Card name: Z",        "Display Memory: 1 MB", "Driver Version: 2"};
    EXPECT_EQ(view.memo, six);
    EXPECT_EQ(std::vector<std::string>(again.values().begin(), again.values().end()), six);
}

TEST_F(HardwareInfoTest, GetInfoWithTheRealToolThenSaveAndClose) {
    if (runningUnderWine())
        GTEST_SKIP() << "Wine's dxdiag.exe sees no display adapter without a display: its report has no "
                        "\"Card name:\" line.";
    info.startUp();
    info.windowShown();
    info.collect();
    // While the tool runs: both buttons off, the memo empty, the window repainted.
    EXPECT_FALSE(view.enabled);
    EXPECT_TRUE(view.memo.empty());
    EXPECT_EQ(view.status, kCollectingStatus);
    EXPECT_EQ(view.repaints, 1);
    EXPECT_TRUE(info.collecting());
    ASSERT_EQ(info.toolRunner().ItemCount(), 1u);
    EXPECT_EQ(info.toolRunner().Item(0).CommandLine(),
              "\"" + tool.folder + kPathSep + "dxdiag.exe\" /whql:on /t \"" + report() + "\"");
    EXPECT_EQ(info.toolRunner().Params.TimeOutSec(), 600u);  // a real /whql:on report takes minutes

    ASSERT_TRUE(t.runUntil([&] { return ended == 1; }, 10'000));
    EXPECT_EQ(view.status, kCollectedStatus);
    EXPECT_TRUE(view.enabled);
    ASSERT_EQ(view.memo.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(view.memo[i].rfind(kHardwareLabels[i], 0), 0u) << view.memo[i];
        EXPECT_EQ(info.values()[i], view.memo[i]);
    }
    EXPECT_FALSE(exists(report()));
    EXPECT_TRUE(info.collecting());  // stays set until the window is shown again
    EXPECT_EQ(tool.user(), DiagTool::User::None);

    info.saveAndClose();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(stored(sv::SaveInfo), "1");
    EXPECT_EQ(stored(sv::OS), view.memo[0]);
    EXPECT_EQ(stored(sv::CPU), view.memo[1]);
    EXPECT_EQ(stored(sv::Memory), view.memo[2]);
    EXPECT_EQ(stored(sv::VGA), view.memo[3]);
    EXPECT_EQ(stored(sv::VGAMemory), view.memo[4]);
    EXPECT_EQ(stored(sv::VGADriver), view.memo[5]);
}

TEST_F(HardwareInfoTest, FailedCollectionsSayWhyKeepTheLinesAndStoreNothing) {
    const std::string head = "System Information\r\n   Operating System: Test OS\r\n          Processor: Test CPU\r\n";
    struct Case {
        const char* name;
        std::optional<StandIn> standIn;  // none: no tool at all
        std::string status;
        std::vector<std::string> memo;
    };
    const Case cases[] = {
        {"tool missing",
         std::nullopt,
         "The hardware report tool could not be started: " + fileNotFoundText() + ".",
         {}},
        {"no report", StandIn::fails(3), "The hardware report tool wrote no report.", {}},
        {"report without a card",
         StandIn::writes(head + "             Memory: 1MB RAM\r\n"),
         "The hardware report has no \"Card name:\" line.",
         {"Operating System: Test OS", "Processor: Test CPU", "Memory: 1MB RAM"}},
        {"empty report", StandIn::writes(""), "The hardware report has no \"Operating System:\" line.", {}},
    };
    storeValues({{sv::SaveInfo, "1"}, {sv::OS, "Operating System: stored"}});
    info.startUp();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.standIn) {
            tool.folder = t.dir / "no tools";
        } else {
            fakeTool(*c.standIn);
        }
        info.windowShown();
        ASSERT_TRUE(collect());
        EXPECT_EQ(view.status, c.status);
        EXPECT_TRUE(view.enabled);
        EXPECT_EQ(view.memo, c.memo);
        for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(info.values()[i], i < c.memo.size() ? c.memo[i] : "") << i;
        EXPECT_FALSE(exists(report()));
        EXPECT_EQ(tool.user(), DiagTool::User::None);
        EXPECT_FALSE(info.toolRunning());
        EXPECT_EQ(stored(sv::OS), "Operating System: stored");
    }
    EXPECT_TRUE(t.dialogs.messages.empty());
}

TEST_F(HardwareInfoTest, ToolThatNeverEndsIsBoundedAndLeftRunning) {
    fakeTool(StandIn::hangs());
    t.ctx.timing.diagToolBound = 1ms;  // one second, the least the tool's wait takes
    info.startUp();
    info.windowShown();
    ASSERT_TRUE(collect());
    EXPECT_EQ(view.status, "The hardware report tool did not finish within 1 seconds.");
    EXPECT_TRUE(view.enabled);
    EXPECT_TRUE(view.memo.empty());
    EXPECT_EQ(tool.user(), DiagTool::User::None);
    const int pid = info.toolRunner().Item(0).ProcessId();
    EXPECT_TRUE(info.toolRunner().Item(0).ProcessActive());
    test::killProcess(pid);
}

TEST_F(HardwareInfoTest, FailedWaitShowsTheCommandAndTheSystemsText) {
    info.startUp();
    ASSERT_TRUE(collect());
    TRunItem& item = info.toolRunner().Item(0);
    info.RunHLFileProcCompleted(item, TRetType::Error, 10);
    ASSERT_EQ(t.dialogs.messages.size(), 1u);
    // The system's text for code 10 (POSIX: ECHILD; Windows: ERROR_BAD_ENVIRONMENT).
    EXPECT_EQ(t.dialogs.messages[0], item.Params.ProcFileName + ": " + systemErrorText(10) + " 10");
    EXPECT_EQ(view.status, "The wait for the hardware report tool failed: " + systemErrorText(10) + ".");
    EXPECT_TRUE(view.enabled);
}

TEST_F(HardwareInfoTest, DebugModeAndTheWindowNeverShareTheTool) {
    info.startUp();
    info.windowShown();
    writeFile(report(), "debug mode's report\r\n");
    tool.claim(DiagTool::User::DebugMode);
    info.collect();
    EXPECT_EQ(view.status, kDebugHasToolStatus);
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.memo, std::vector<std::string>{kNoStoredInfo});
    EXPECT_EQ(info.toolRunner().ItemCount(), 0u);
    // Closing the window leaves debug mode's report alone.
    info.windowClosed();
    EXPECT_TRUE(exists(report()));

    tool.release(DiagTool::User::DebugMode);
    info.windowClosed();
    EXPECT_FALSE(exists(report()));
}

TEST_F(HardwareInfoTest, WindowShownAgainWhileItsCollectionRunsIsUsableAndIgnoresThatEnd) {
    // A tool that waits for a file before it writes its report.
    StandIn late = StandIn::writes("   Operating System: late\r\n");
    late.waitFor = t.dir / "go";
    fakeTool(late);
    info.startUp();
    info.windowShown();
    info.collect();
    EXPECT_FALSE(view.enabled);
    info.windowClosed();  // the close box
    info.windowShown();
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.status, kInfoStartStatus);
    EXPECT_FALSE(info.collecting());

    // A second "Get info" waits for the first tool to end.
    info.collect();
    EXPECT_EQ(view.status, kToolStillRunningStatus);
    EXPECT_EQ(info.toolRunner().ItemCount(), 1u);

    writeFile(t.dir / "go", "");
    ASSERT_TRUE(t.runUntil([&] { return ended == 1; }, 10'000));
    EXPECT_EQ(view.status, kToolStillRunningStatus);  // that end changed nothing
    EXPECT_TRUE(view.memo.empty());
    EXPECT_EQ(tool.user(), DiagTool::User::None);
    EXPECT_FALSE(info.toolRunning());
}

TEST_F(HardwareInfoTest, WithoutTheProgramsFolderNothingStarts) {
    t.ctx.paths.BenchPath.clear();
    info.startUp();
    ASSERT_TRUE(collect(100));
    EXPECT_EQ(view.status, "The hardware report tool could not be started: the program's folder is unknown.");
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(info.toolRunner().ItemCount(), 0u);
    EXPECT_EQ(tool.user(), DiagTool::User::None);
}
