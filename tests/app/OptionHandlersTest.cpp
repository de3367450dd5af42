#include "app/OptionHandlers.h"

#include "core/AppContext.h"
#include "core/Resolutions.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeView.h"
#include "tests/support/Portable.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace vantor;
using vantor::test::FakeDialogs;
using vantor::test::FakeView;

namespace {

constexpr std::uint32_t MB = 1048576u;

class NoProcesses : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>&) override { return true; }
};

class OptionHandlersTest : public ::testing::Test {
protected:
    OptionHandlersTest() {
        ctx.paths.BenchPath = "/opt/vantor/";
        ctx.physicalMemory = [this] { return memoryBytes; };
        ctx.shellOpen = [this](const std::string& target) { opened.push_back(target); };
    }

    // The stored text, or nullopt when the value was never written.
    std::optional<std::string> stored(const std::string& name) {
        RegValue v = registry.query(RegRoot::LocalMachine, kSettingsKey, name);
        if (v.kind != RegValueKind::String) return std::nullopt;
        return v.text;
    }

    MemoryRegistry registry;
    SettingsStore store{registry};
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    DebugLog log;
    NoProcesses processes;
    AppContext ctx{view, dialogs, loop, store, log, processes};
    OptionHandlers handlers{ctx, view};

    std::uint32_t memoryBytes = 2048u * MB;
    std::vector<std::string> opened;
};

// ---- the physical memory figure ------------------------------------------------

TEST(PhysMemMB, BandsSnapWithExclusiveBoundsAfterTheCap) {
    struct Case {
        std::uint32_t bytes;
        int expected;
    };
    const Case cases[] = {
        {0, 0},
        {MB - 1, 0},  // the remainder is dropped
        {90 * MB, 90},
        {91 * MB, 128},
        {149 * MB, 128},
        {150 * MB, 150},
        {128 * MB - 1, 128},  // 127 MB lies in the band
        {200 * MB, 200},
        {201 * MB, 256},
        {289 * MB, 256},
        {290 * MB, 290},
        {470 * MB, 470},
        {471 * MB, 512},
        {549 * MB, 512},
        {550 * MB, 550},
        {768 * MB, 768},
        {950 * MB, 950},
        {951 * MB, 1024},
        {1099 * MB, 1024},
        {1100 * MB, 1100},
        {1500 * MB, 1500},
        {1501 * MB, 1500},
        {0xFFFFFFFFu, 1500},
    };
    for (const auto& c : cases) EXPECT_EQ(computePhysMemMB(c.bytes), c.expected) << c.bytes << " bytes";
}

// ---- heap-size check ----------------------------------------------------------------

TEST_F(OptionHandlersTest, HeapSizeCheckAdvisesAndSwitchesByMemory) {
    struct Case {
        std::uint32_t memoryMB;
        int chosen;
        const char* message;  // nullptr: no message
        int after;
        const char* storedCode;
    };
    const Case cases[] = {
        {1024, 4, "The recommended (maximum) size: 512 MB", 3, "512000"},
        {1000, 4, "The recommended (maximum) size: 512 MB", 3, "512000"},  // snapped to 1024
        {1024, 3, nullptr, 3, "512000"},
        {768, 4, "The recommended (maximum) size: 384 MB", 4, "1024000"},  // no item of half: kept
        {512, 3, "The recommended (maximum) size: 256 MB", 2, "256000"},
        {512, 2, nullptr, 2, "256000"},
        {256, 2, "The recommended (maximum) size: 128 MB", 1, "128000"},
        {100, 1, "The recommended (maximum) size: 64 MB", 0, "64000"},  // snapped to 128
        {100, 0, nullptr, 0, "64000"},
        {60, 0, "The recommended (maximum) size: 30 MB", 0, "64000"},
        {300, 4, "The recommended (maximum) size: 150 MB", 4, "1024000"},
        {1100, 4, nullptr, 4, "1024000"},
        {2048, 4, nullptr, 4, "1024000"},
        {4095, 4, nullptr, 4, "1024000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.memoryMB) + " MB, item " + std::to_string(c.chosen));
        dialogs.messages.clear();
        memoryBytes = c.memoryMB * MB;
        view.setChoice(Choice::Heapsize, c.chosen);
        handlers.heapSizeChanged();
        if (c.message)
            EXPECT_EQ(dialogs.messages, std::vector<std::string>{c.message});
        else
            EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(view.choice(Choice::Heapsize), c.after);
        EXPECT_EQ(stored(sv::Heapsize), c.storedCode);
    }
}

TEST_F(OptionHandlersTest, HeapSizeCheckReadsTheMemoryAfresh) {
    memoryBytes = 2048u * MB;
    view.setChoice(Choice::Heapsize, 4);
    handlers.heapSizeChanged();
    EXPECT_TRUE(dialogs.messages.empty());
    memoryBytes = 1024u * MB;
    view.setChoice(Choice::Heapsize, 4);
    handlers.heapSizeChanged();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(stored(sv::Heapsize), "512000");
}

TEST_F(OptionHandlersTest, HeapSizeWithoutChoiceOrUnknownMemory) {
    // Nothing chosen: no message and nothing written.
    memoryBytes = 100 * MB;
    handlers.heapSizeChanged();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(stored(sv::Heapsize));

    // A platform that reports no memory gets no "0 MB" advice; the choice is stored.
    memoryBytes = 0;
    view.setChoice(Choice::Heapsize, 2);
    handlers.heapSizeChanged();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(stored(sv::Heapsize), "256000");
}

// ---- filtering advice -------------------------------------------------------------

TEST_F(OptionHandlersTest, FilteringAdviceFollowsEveryItemButFromSystem) {
    struct Case {
        Choice choice;
        int item;
        const char* code;
        bool advice;
    };
    const Case cases[] = {
        {Choice::AF, 0, "1", true},    {Choice::AF, 1, "2", true}, {Choice::AF, 2, "3", true},
        {Choice::AF, 3, "4", true},    {Choice::AF, 4, "5", true}, {Choice::AF, 5, "6", true},
        {Choice::AF, 6, "Sys", false}, {Choice::AA, 0, "1", true}, {Choice::AA, 1, "2", true},
        {Choice::AA, 2, "4", true},    {Choice::AA, 3, "6", true}, {Choice::AA, 4, "8", true},
        {Choice::AA, 5, "Sys", false},
    };
    for (const auto& c : cases) {
        const bool af = c.choice == Choice::AF;
        SCOPED_TRACE(std::string(af ? "AF" : "AA") + " item " + std::to_string(c.item));
        dialogs.messages.clear();
        view.setChoice(c.choice, c.item);
        af ? handlers.filteringChanged() : handlers.antialiasingChanged();
        EXPECT_EQ(stored(af ? sv::AFLevel : sv::AALevel), c.code);
        if (c.advice)
            EXPECT_EQ(dialogs.messages, std::vector<std::string>{kFilteringAdvice});
        else
            EXPECT_TRUE(dialogs.messages.empty());

        // Leaving the box stores the same code and never advises.
        dialogs.messages.clear();
        af ? handlers.storeFiltering() : handlers.storeAntialiasing();
        EXPECT_EQ(stored(af ? sv::AFLevel : sv::AALevel), c.code);
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

// ---- persistence on change and on leave ---------------------------------------------

struct ChoiceRow {
    const char* name;
    Choice choice;
    void (OptionHandlers::*change)();  // nullptr: written by another chooser
    void (OptionHandlers::*leave)();
    const char* value;
    std::vector<const char*> codes;  // in item order
};

const std::vector<ChoiceRow>& choiceRows() {
    static const std::vector<ChoiceRow> rows = {
        {"DetailBox", Choice::Detail, nullptr, &OptionHandlers::storeDetail, sv::Detail, {"1", "2", "3"}},
        {"demo", Choice::Demo, nullptr, &OptionHandlers::storeDemo, sv::Demo, {"1", "2", "3", "4", "5", "6"}},
        {"AFBox",
         Choice::AF,
         &OptionHandlers::filteringChanged,
         &OptionHandlers::storeFiltering,
         sv::AFLevel,
         {"1", "2", "3", "4", "5", "6", "Sys"}},
        {"AABox",
         Choice::AA,
         &OptionHandlers::antialiasingChanged,
         &OptionHandlers::storeAntialiasing,
         sv::AALevel,
         {"1", "2", "4", "6", "8", "Sys"}},
        {"HeapsizeBox",
         Choice::Heapsize,
         &OptionHandlers::heapSizeChanged,
         &OptionHandlers::storeHeapSize,
         sv::Heapsize,
         {"64000", "128000", "256000", "512000", "1024000"}},
        {"RefreshBox",
         Choice::Refresh,
         &OptionHandlers::refreshChanged,
         &OptionHandlers::storeRefresh,
         sv::Refresh,
         {"60", "70", "75", "85"}},
        {"DirectXBox",
         Choice::DirectX,
         &OptionHandlers::directXChanged,
         &OptionHandlers::storeDirectX,
         sv::DXLevel,
         {"70", "80", "81", "90"}},
    };
    return rows;
}

TEST_F(OptionHandlersTest, EveryListStoresItsCodeOnLeaveAndOnChange) {
    memoryBytes = 4095u * MB;  // no heap-size advice in the way
    for (const auto& row : choiceRows()) {
        for (std::size_t item = 0; item < row.codes.size(); ++item) {
            SCOPED_TRACE(std::string(row.name) + " item " + std::to_string(item));
            registry = MemoryRegistry();
            view.setChoice(row.choice, static_cast<int>(item));
            (handlers.*row.leave)();
            EXPECT_EQ(stored(row.value), row.codes[item]);
            if (row.change) {
                registry = MemoryRegistry();
                (handlers.*row.change)();
                EXPECT_EQ(stored(row.value), row.codes[item]);
            }
        }
    }
}

TEST_F(OptionHandlersTest, AControlWithoutAChoiceWritesNothing) {
    memoryBytes = 64u * MB;  // every heap item would advise
    for (const auto& row : choiceRows()) {
        SCOPED_TRACE(row.name);
        view.setChoice(row.choice, -1);
        (handlers.*row.leave)();
        if (row.change) (handlers.*row.change)();
        EXPECT_FALSE(stored(row.value));
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OptionHandlersTest, ResolutionsAreStoredTogetherOnlyOnLeave) {
    const bool ticks[6] = {true, false, true, false, false, true};
    for (int i = 0; i < 6; ++i) view.setResolutionChecked(i, ticks[i]);
    // No change handler exists for the group: nothing is stored before leaving it.
    EXPECT_FALSE(stored("640"));
    handlers.storeResolutions();
    const char* expected[6] = {"1", "0", "1", "0", "0", "1"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(stored(sv::Resolutions[i]), expected[i]) << sv::Resolutions[i];

    view.setResolutionChecked(0, false);
    view.setResolutionChecked(1, true);
    handlers.storeResolutions();
    EXPECT_EQ(stored("640"), "0");
    EXPECT_EQ(stored("800"), "1");
}

TEST_F(OptionHandlersTest, SwitchesStoreBothStatesOnLeave) {
    struct Row {
        Check check;
        void (OptionHandlers::*leave)();
        const char* value;
    };
    const Row rows[] = {{Check::FastZ, &OptionHandlers::storeFastZ, sv::FastZ},
                        {Check::HDDUse, &OptionHandlers::storeHddUse, sv::HDDUsage}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        view.setChecked(row.check, true);
        (handlers.*row.leave)();
        EXPECT_EQ(stored(row.value), "1");
        view.setChecked(row.check, false);
        (handlers.*row.leave)();
        EXPECT_EQ(stored(row.value), "0");
    }
}

TEST_F(OptionHandlersTest, TextFieldsAreStoredOnLeaveOnlyWhenNotEmpty) {
    struct Row {
        Field field;
        void (OptionHandlers::*leave)();
        const char* value;
        const char* text;
    };
    const Row rows[] = {{Field::NoteEdit, &OptionHandlers::storeNote, sv::Note, "new driver 1.2 \"beta\""},
                        {Field::ResEdit, &OptionHandlers::storeResultsFolder, sv::ResultPath, "/home/u/results/"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        view.setText(row.field, row.text);
        (handlers.*row.leave)();
        EXPECT_EQ(stored(row.value), row.text);
        // Clearing the field and leaving it keeps the stored text.
        view.setText(row.field, "");
        (handlers.*row.leave)();
        EXPECT_EQ(stored(row.value), row.text);
    }
}

TEST_F(OptionHandlersTest, RefusedWriteReachesTheCallerWithTheValueName) {
    registry.refuseWrite = true;
    view.setChoice(Choice::Refresh, 1);
    try {
        handlers.refreshChanged();
        FAIL() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Refresh'");
    }
    // The control keeps its new state.
    EXPECT_EQ(view.choice(Choice::Refresh), 1);
}

// ---- results folder chooser ---------------------------------------------------------------

TEST_F(OptionHandlersTest, ResultsFolderGetsOneTrailingSeparatorExceptARoot) {
    struct Case {
        const char* chosen;
        const char* stored;
    };
    const Case cases[] = {
        {"/", "/"},                                // the root is stored as chosen
        {"/home/u/results", "/home/u/results/"},   // any folder below it gets the separator
        {"/home/u/results/", "/home/u/results/"},  // never doubled
        {"/ab", "/ab/"},                           // short, but not a root
        {"/a", "/a/"},
    };
    ctx.run.ReportPath = "/old/";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        dialogs.nextFolder = test::nativePath(c.chosen);
        handlers.chooseResultsFolder();
        EXPECT_EQ(view.text(Field::ResEdit), test::nativePath(c.stored));
        EXPECT_EQ(stored(sv::ResultPath), test::nativePath(c.stored));
    }
    EXPECT_EQ(dialogs.folderDialogs.back(), "Results folder");
    EXPECT_EQ(ctx.run.ReportPath, "/old/");  // the run takes ResEdit when it starts
}

TEST_F(OptionHandlersTest, CancelledFolderChooserChangesNothing) {
    view.setText(Field::ResEdit, "/home/u/old/");
    dialogs.nextFolder.reset();
    handlers.chooseResultsFolder();
    EXPECT_EQ(dialogs.folderDialogs, std::vector<std::string>{"Results folder"});
    EXPECT_EQ(view.text(Field::ResEdit), "/home/u/old/");
    EXPECT_FALSE(stored(sv::ResultPath));
}

// ---- views and links -----------------------------------------------------------------------

TEST_F(OptionHandlersTest, PagesAboutAndLinks) {
    handlers.showPage(7);  // "Passes & results"
    EXPECT_EQ(view.page, 7);
    handlers.showPage(5);
    EXPECT_EQ(view.page, 5);
    handlers.showPage(8);  // no such page: the view stays
    EXPECT_EQ(view.page, 5);
    handlers.openHelp();  // help does not change the view
    EXPECT_EQ(view.page, 5);
    handlers.showAbout();
    EXPECT_EQ(view.page, -1);

    handlers.openSupport();
    handlers.openMail();
    handlers.openSponsor();
    EXPECT_EQ(opened,
              (std::vector<std::string>{"/opt/vantor/help.htm", kSupportAddress, kAuthorMail, kSponsorAddress}));
    EXPECT_EQ(std::string(kAuthorMail).rfind("mailto:", 0), 0u);
}

}  // namespace

// ---- passes, today's resolutions, report extras -------------------------------------

namespace {

TEST_F(OptionHandlersTest, RunOptionsAreStoredWhenTheyChange) {
    view.setChoice(Choice::Passes, 4);
    handlers.passesChanged();
    view.setChoice(Choice::AdaptiveThreshold, 4);
    handlers.thresholdChanged();
    view.setChoice(Choice::AdaptiveCap, 0);
    handlers.capChanged();
    view.setChecked(Check::AdaptivePasses, true);
    handlers.adaptiveClicked();
    view.setChecked(Check::ReportSummary, true);
    handlers.reportSummaryClicked();
    handlers.resultFilesClicked();  // unchecked
    view.setTodayResolutionChecked(2, true);
    handlers.todaySizesChanged();
    EXPECT_EQ(stored(sv::Passes), "5");
    EXPECT_EQ(stored(sv::AdaptiveThreshold), "5");
    EXPECT_EQ(stored(sv::AdaptiveCap), "2");
    EXPECT_EQ(stored(sv::AdaptivePasses), "1");
    EXPECT_EQ(stored(sv::ReportSummary), "1");
    EXPECT_EQ(stored(sv::ResultFiles), "0");
    for (int i = 0; i < kTodayResolutionCount; ++i) EXPECT_EQ(stored(sv::TodayResolutions[i]), i == 2 ? "1" : "0") << i;
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OptionHandlersTest, CustomSizeIsStoredOnlyWhenValid) {
    view.setText(Field::CustomResolution, " 3440 x 1440 ");
    EXPECT_TRUE(handlers.customSizeEdited());
    EXPECT_EQ(view.text(Field::CustomResolution),
              "3440\xC3\x97"
              "1440");
    EXPECT_EQ(stored(sv::CustomResolution), "3440x1440");

    view.setText(Field::CustomResolution, "3441x1440");
    EXPECT_FALSE(handlers.customSizeEdited());
    const std::string refusal =
        "The custom resolution 3441\xC3\x97"
        "1440 is refused: width and height must be even.";
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(view.status(), refusal);
    EXPECT_EQ(stored(sv::CustomResolution), "3440x1440") << "the last valid size stays stored";

    // Ticking the box needs a valid size.
    view.setChecked(Check::CustomResolution, true);
    handlers.customSizeClicked();
    EXPECT_FALSE(view.checked(Check::CustomResolution));
    EXPECT_EQ(stored(sv::CustomResolutionOn), "0");
    view.setText(Field::CustomResolution, "3440x1440");
    view.setChecked(Check::CustomResolution, true);
    handlers.customSizeClicked();
    EXPECT_TRUE(view.checked(Check::CustomResolution));
    EXPECT_EQ(stored(sv::CustomResolutionOn), "1");

    // Emptying the field turns the box off.
    view.setText(Field::CustomResolution, "");
    handlers.customSizeEdited();
    EXPECT_FALSE(view.checked(Check::CustomResolution));
    EXPECT_EQ(stored(sv::CustomResolution), "");
    EXPECT_EQ(stored(sv::CustomResolutionOn), "0");
}

}  // namespace

// ---- the choosers of the detail level and the demo ------------------------------

TEST_F(OptionHandlersTest, DemoChangingEnablesTheUserFieldAndStoresTheCode) {
    for (int position : {5, 0, 3, 5, 4}) {
        view.setChoice(Choice::Demo, position);
        handlers.demoChosen();
        EXPECT_EQ(view.isEnabled(Control::DemoEdit), position == 5);
        EXPECT_EQ(view.isEnabled(Control::DemoEditButton), position == 5);
        store.open();
        EXPECT_EQ(store.read(sv::Demo), std::to_string(position + 1));
    }
}

TEST_F(OptionHandlersTest, BrowseButtonStoresThePickedDemo) {
    dialogs.nextFile = "/home/me/demos/run1.dem";
    handlers.chooseUserDemo();
    EXPECT_EQ(dialogs.fileDialogs, (std::vector<std::string>{"Open|Half-Life 2 demo file (*.dem)|*.dem"}));
    EXPECT_EQ(view.text(Field::DemoEdit), "/home/me/demos/run1.dem");
    store.open();
    EXPECT_EQ(store.read(sv::Demoname), "/home/me/demos/run1.dem");
    handlers.chooseUserDemo();  // cancelled
    EXPECT_EQ(view.text(Field::DemoEdit), "/home/me/demos/run1.dem");
}

TEST_F(OptionHandlersTest, DetailBoxChangingEnablesTheCustomFieldAndStoresTheCode) {
    for (int level : {0, 2, 1}) {
        view.setChoice(Choice::Detail, level);
        handlers.detailChosen();
        EXPECT_EQ(view.isEnabled(Control::DetailEdit), level == 2);
        EXPECT_EQ(view.isEnabled(Control::DetailButton), level == 2);
        store.open();
        EXPECT_EQ(store.read(sv::Detail), std::to_string(level + 1));
    }
    registry.refuseWrite = true;
    EXPECT_THROW(handlers.detailChosen(), SettingsError);
}

TEST_F(OptionHandlersTest, DetailButtonStoresThePickedFile) {
    dialogs.nextFile = "/data/my.cfg";
    handlers.chooseCustomConfig();
    EXPECT_EQ(dialogs.fileDialogs, (std::vector<std::string>{"Open|Half-Life 2 config file (*.cfg)|*.cfg"}));
    EXPECT_EQ(view.text(Field::DetailEdit), "/data/my.cfg");
    store.open();
    EXPECT_EQ(store.read(sv::CustomConfig), "/data/my.cfg");
    handlers.chooseCustomConfig();  // cancelled
    EXPECT_EQ(view.text(Field::DetailEdit), "/data/my.cfg");
}
