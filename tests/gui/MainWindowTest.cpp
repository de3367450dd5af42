// The main window on Qt's offscreen platform, bound to the real controller.
#include "app/MainController.h"
#include "app/OptionHandlers.h"
#include "core/ProgramVersion.h"
#include "gui/DonationForm.h"
#include "gui/EventLoopQt.h"
#include "gui/MainWindow.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace vantor;
using namespace vantor::test;

namespace {

constexpr const char* kSteamKey = "\\Software\\Valve\\Steam";
constexpr std::uint32_t MB = 1048576u;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        bench = dir / "bench/";
        std::filesystem::create_directories(bench);
    }
    void TearDown() override {
        controller.reset();
        window.reset();
    }

    // Creates the window and runs the start-up sequence. show: make it visible
    // (which runs windowShown).
    void start(bool show = true) {
        window = std::make_unique<MainWindow>(std::string(VANTOR_BIN_DIR) + "/Pictures/");
        controller = std::make_unique<MainController>(*window, dialogs, loop, reg, processes);
        window->bind(*controller);
        auto& ctx = controller->context();
        ctx.paths.BenchPath = bench;
        ctx.timing = Timing::scaled(50);
        ctx.physicalMemory = [this] { return memoryBytes; };
        if (!keepShellOpen) ctx.shellOpen = [this](const std::string& target) { opened.push_back(target); };
        window->onTerminate = [this] { ++terminated; };
        window->afterShown = [this] { ++formShows; };
        bool done = false;
        controller->startUp([&] { done = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
        if (show) {
            window->show();
            // windowShown has run and what the first paint defers has been built.
            ASSERT_TRUE(QTest::qWaitFor([&] { return formShows > 0 && window->allPagesBuilt(); }, 5000));
        }
    }

    template <class W>
    W* find(const char* name) {
        W* w = window->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    std::optional<std::string> stored(const std::string& name) {
        RegValue v = reg.query(RegRoot::LocalMachine, kSettingsKey, name);
        if (v.kind != RegValueKind::String) return std::nullopt;
        return v.text;
    }
    void put(const std::string& name, const std::string& value) {
        reg.put(RegRoot::LocalMachine, kSettingsKey, name, value);
    }

    static void leave(QWidget* w) {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(w, &event);
    }
    // What a combo box does when the user picks an item from its list.
    static void pick(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void showPageOf(int page) {
        window->showPage(page);
        QCoreApplication::processEvents();
    }

    TempDir dir;
    std::string bench;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeProcesses processes;
    EventLoopQt loop;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainController> controller;
    std::uint32_t memoryBytes = 4095u * MB;
    std::vector<std::string> opened;
    int terminated = 0;
    int formShows = 0;
    bool keepShellOpen = false;
};

// ---- structure and menu --------------------------------------------------------------------

TEST_F(MainWindowTest, StartsInTheAboutViewWithBothGroupsClosed) {
    start();
    EXPECT_EQ(window->currentPage(), -1);
    EXPECT_FALSE(find<QWidget>("AboutView")->isHidden());
    EXPECT_TRUE(find<QStackedWidget>("PageControl")->isHidden());
    EXPECT_FALSE(find<QLabel>("verselabel")->isHidden());
    EXPECT_TRUE(find<QWidget>("hl2logo")->isHidden());
    EXPECT_FALSE(find<QToolButton>("Group1")->isChecked());
    EXPECT_FALSE(find<QToolButton>("Group3")->isChecked());
    EXPECT_FALSE(find<QPushButton>("Group1Items0")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Group3Items0")->isVisible());
    EXPECT_TRUE(find<QPushButton>("Group3Items4")->isChecked());  // "About..." marks the view shown
    EXPECT_EQ(find<QStackedWidget>("PageControl")->count(), 8);
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(find<QLabel>("StatusInfo")->text(), QString());
    EXPECT_EQ(find<QPushButton>("BenchButton")->toolTip(), QStringLiteral("Run benchmark"));
}

TEST_F(MainWindowTest, OnlyOneMenuGroupIsOpenAtATime) {
    start();
    auto* g1 = find<QToolButton>("Group1");
    auto* g3 = find<QToolButton>("Group3");
    QTest::mouseClick(g1, Qt::LeftButton);
    EXPECT_TRUE(find<QPushButton>("Group1Items0")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Group3Items0")->isVisible());
    QTest::mouseClick(g3, Qt::LeftButton);
    EXPECT_FALSE(find<QPushButton>("Group1Items0")->isVisible());
    EXPECT_TRUE(find<QPushButton>("Group3Items0")->isVisible());
    QTest::mouseClick(g3, Qt::LeftButton);  // closing the open group leaves both closed
    EXPECT_FALSE(find<QPushButton>("Group1Items0")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Group3Items0")->isVisible());
}

TEST_F(MainWindowTest, MenuItemsShowTheirPages) {
    start();
    struct Row {
        const char* group;
        const char* item;
        const char* caption;
        int page;  // -1 About view
    };
    const Row rows[] = {
        {"Group1", "Group1Items0", "Path && information", 0}, {"Group1", "Group1Items1", "Resolution && detail", 1},
        {"Group1", "Group1Items2", "Filters && demos", 2},    {"Group1", "Group1Items3", "Miscellaneous", 3},
        {"Group1", "Group1Items4", "Passes && results", 7},   {"Group3", "Group3Items1", "Debug program", 5},
        {"Group3", "Group3Items2", "Our Sponsor", 4},         {"Group3", "Group3Items3", "Donate", 6},
        {"Group3", "Group3Items4", "About...", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.item);
        auto* group = find<QToolButton>(row.group);
        if (!group->isChecked()) QTest::mouseClick(group, Qt::LeftButton);
        auto* item = find<QPushButton>(row.item);
        EXPECT_EQ(item->text(), QString::fromUtf8(row.caption));
        QTest::mouseClick(item, Qt::LeftButton);
        EXPECT_EQ(window->currentPage(), row.page);
        if (row.page >= 0) {
            EXPECT_EQ(find<QStackedWidget>("PageControl")->currentIndex(), row.page);
            EXPECT_TRUE(find<QLabel>("verselabel")->isHidden());
            EXPECT_FALSE(find<QWidget>("hl2logo")->isHidden());
        } else {
            EXPECT_FALSE(find<QLabel>("verselabel")->isHidden());
            EXPECT_TRUE(find<QWidget>("hl2logo")->isHidden());
        }
        EXPECT_TRUE(item->isChecked());  // the menu marks the view shown
    }

    // Help opens the document beside the program and leaves the view alone.
    showPageOf(2);
    QTest::mouseClick(find<QPushButton>("Group3Items0"), Qt::LeftButton);
    EXPECT_EQ(window->currentPage(), 2);
    EXPECT_EQ(opened, std::vector<std::string>{bench + "help.htm"});
}

TEST_F(MainWindowTest, ItemListsAreInOrderAndStartWithTheDefaults) {
    start();
    struct Row {
        const char* name;
        std::vector<std::string_view> items;
        int shown;  // a new user's item
    };
    const Row combos[] = {
        {"AFBox", {kAFItems.begin(), kAFItems.end()}, 1},
        {"AABox", {kAAItems.begin(), kAAItems.end()}, 0},
        {"HeapsizeBox", {kHeapsizeItems.begin(), kHeapsizeItems.end()}, 0},
        {"RefreshBox", {kRefreshItems.begin(), kRefreshItems.end()}, 0},
        {"DirectXBox", {kDirectXItems.begin(), kDirectXItems.end()}, 3},
    };
    for (const auto& row : combos) {
        auto* box = find<QComboBox>(row.name);
        ASSERT_EQ(box->count(), static_cast<int>(row.items.size())) << row.name;
        for (int i = 0; i < box->count(); ++i)
            EXPECT_EQ(box->itemText(i).toStdString(), row.items[static_cast<std::size_t>(i)]) << row.name;
        EXPECT_EQ(box->currentIndex(), row.shown) << row.name;
    }
    EXPECT_EQ(find<QComboBox>("AFBox")->itemText(2), QStringLiteral("Anisotropic 2\u00d7"));
    const char* res[] = {"640 \u00d7 480",   "800 \u00d7 600",   "1024 \u00d7 768",
                         "1280 \u00d7 1024", "1600 \u00d7 1200", "2048 \u00d7 1536"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(find<QCheckBox>(QStringLiteral("res%1").arg(i).toUtf8().constData())->text(),
                  QString::fromUtf8(res[i]));
    EXPECT_EQ(find<QGroupBox>("res")->title(), QStringLiteral(" Resolution "));
    EXPECT_EQ(find<QRadioButton>("DetailBox2")->text(), QStringLiteral("Custom config file:"));
    EXPECT_EQ(find<QRadioButton>("demo5")->text(), QStringLiteral("User defined demo"));
    EXPECT_EQ(find<QLineEdit>("NoteEdit")->maxLength(), 50);
    EXPECT_TRUE(find<QLineEdit>("ResEdit")->isReadOnly());
    EXPECT_TRUE(find<QLineEdit>("HL2PathEdit")->isReadOnly());
    EXPECT_EQ(find<QCheckBox>("FastZBox")->toolTip().toStdString(),
              "Enables or disables a depth fill pass that may improve performance in graphics-bound situations.");
    // The custom file and user demo controls start disabled.
    EXPECT_FALSE(find<QLineEdit>("DetailEdit")->isEnabled());
    EXPECT_FALSE(find<QToolButton>("DemoEditButton")->isEnabled());
}

TEST_F(MainWindowTest, StoredSettingsReachThePagesBuiltAfterStartUp) {
    std::filesystem::create_directories(dir / "reports");
    for (auto [name, value] :
         std::initializer_list<std::pair<const char*, std::string>>{{"1024", "1"},
                                                                    {"2048", "1"},
                                                                    {sv::AFLevel, "Sys"},
                                                                    {sv::AALevel, "4"},
                                                                    {sv::Demo, "6"},
                                                                    {sv::Detail, "3"},
                                                                    {sv::CustomConfig, "/cfg/my.cfg"},
                                                                    {sv::Heapsize, "256000"},
                                                                    {sv::Refresh, "85"},
                                                                    {sv::DXLevel, "81"},
                                                                    {sv::FastZ, "0"},
                                                                    {sv::HDDUsage, "1"},
                                                                    {sv::Note, "old note"},
                                                                    {sv::ResultPath, dir / "reports/"},
                                                                    {sv::HeaderVersion, "7\r\n"},
                                                                    {sv::Programversion, "1.3"}})
        put(name, value);
    start(false);
    // Decoded before any page exists: the view answers from its model.
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("AFBox")), nullptr);
    EXPECT_EQ(window->choice(Choice::AF), 6);
    EXPECT_TRUE(window->resolutionChecked(2));
    EXPECT_TRUE(window->isEnabled(Control::DetailEdit));
    EXPECT_EQ(window->text(Field::NoteEdit), "old note");

    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->allPagesBuilt(); }, 5000));
    EXPECT_EQ(find<QComboBox>("AFBox")->currentText(), QStringLiteral("From System"));
    EXPECT_EQ(find<QComboBox>("AABox")->currentText(), QStringLiteral("4\u00d7"));
    EXPECT_EQ(find<QComboBox>("HeapsizeBox")->currentText(), QStringLiteral("256 MB"));
    EXPECT_EQ(find<QComboBox>("RefreshBox")->currentText(), QStringLiteral("85 Hz"));
    EXPECT_EQ(find<QComboBox>("DirectXBox")->currentText(), QStringLiteral("DirectX 8.1"));
    EXPECT_TRUE(find<QRadioButton>("demo5")->isChecked());
    EXPECT_TRUE(find<QLineEdit>("DemoEdit")->isEnabled());
    EXPECT_TRUE(find<QRadioButton>("DetailBox2")->isChecked());
    EXPECT_TRUE(find<QLineEdit>("DetailEdit")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("DetailEdit")->text(), QStringLiteral("/cfg/my.cfg"));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(find<QCheckBox>(QStringLiteral("res%1").arg(i).toUtf8().constData())->isChecked(), i == 2 || i == 5);
    EXPECT_FALSE(find<QCheckBox>("FastZBox")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("HDDUseBox")->isChecked());
    EXPECT_EQ(find<QLineEdit>("NoteEdit")->text(), QStringLiteral("old note"));
    EXPECT_EQ(find<QLineEdit>("ResEdit")->text().toStdString(), dir / "reports/");
    EXPECT_EQ(find<QLabel>("ProgramVersion")->text().toStdString(), programVersion());
    EXPECT_EQ(find<QLabel>("HeaderVersion")->text(), QStringLiteral("7"));
    EXPECT_EQ(find<QLabel>("verselabel")->text().toStdString(), "v" + std::string(programVersion()));

    // From now on the controls answer for themselves.
    find<QComboBox>("AFBox")->setCurrentIndex(1);
    EXPECT_EQ(window->choice(Choice::AF), 1);
}

TEST_F(MainWindowTest, ButtonsOfLaterSubsystemsWaitDisabledWithAHint) {
    start();
    auto* update = find<QPushButton>("ToolButton3");
    auto* debug = find<QPushButton>("DebugBtn");
    auto* hardware = find<QPushButton>("ViewAdditionalInfo");
    for (auto* b : {update, debug, hardware}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
        EXPECT_EQ(b->toolTip().toStdString(), kNotAvailableHint);
    }
    // The core's own state stays what it set.
    window->setEnabled(Control::DebugBtn, true);
    EXPECT_TRUE(window->isEnabled(Control::DebugBtn));
    EXPECT_FALSE(debug->isEnabled());

    int debugClicks = 0;
    window->setDebugAction([&] { ++debugClicks; });
    EXPECT_TRUE(debug->isEnabled());
    EXPECT_TRUE(debug->toolTip().isEmpty());
    showPageOf(5);
    QTest::mouseClick(debug, Qt::LeftButton);
    EXPECT_EQ(debugClicks, 1);
    window->setEnabled(Control::DebugBtn, false);
    EXPECT_FALSE(debug->isEnabled());
}

// ---- persistence -----------------------------------------------------------------------------

TEST_F(MainWindowTest, ListsStoreOnChangeAndOnLeave) {
    start();
    struct Row {
        const char* name;
        const char* value;
        int item;
        const char* code;
        int page;
    };
    const Row rows[] = {
        {"AFBox", sv::AFLevel, 6, "Sys", 2},           {"AABox", sv::AALevel, 5, "Sys", 2},
        {"HeapsizeBox", sv::Heapsize, 1, "128000", 3}, {"RefreshBox", sv::Refresh, 2, "75", 3},
        {"DirectXBox", sv::DXLevel, 2, "81", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        showPageOf(row.page);
        auto* box = find<QComboBox>(row.name);
        put(row.value, "before");
        pick(box, row.item);
        EXPECT_EQ(stored(row.value), row.code);  // on change

        put(row.value, "before");
        leave(box);
        EXPECT_EQ(stored(row.value), row.code);  // on leave
    }
    EXPECT_TRUE(dialogs.messages.empty());  // "From System" and small heaps ask nothing
}

TEST_F(MainWindowTest, RadioGroupsStoreThroughTheirChoosersAndOnLeave) {
    start();
    struct Row {
        const char* group;
        const char* button;
        const char* value;
        const char* code;
        const char* edit;  // enabled exactly for the last item
        bool editEnabled;
        int page;
    };
    const Row rows[] = {
        {"DetailBox", "DetailBox1", sv::Detail, "2", "DetailEdit", false, 1},
        {"DetailBox", "DetailBox2", sv::Detail, "3", "DetailEdit", true, 1},
        {"demo", "demo4", sv::Demo, "5", "DemoEdit", false, 2},
        {"demo", "demo5", sv::Demo, "6", "DemoEdit", true, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        showPageOf(row.page);
        put(row.value, "before");
        auto* radio = find<QRadioButton>(row.button);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));  // on the indicator
        EXPECT_EQ(stored(row.value), row.code);
        EXPECT_EQ(find<QLineEdit>(row.edit)->isEnabled(), row.editEnabled);
        put(row.value, "before");
        leave(find<QGroupBox>(row.group));
        EXPECT_EQ(stored(row.value), row.code);
    }

    // With the last items chosen, the browse buttons open their choosers.
    dialogs.nextFile = "/home/u/my.cfg";
    showPageOf(1);
    QTest::mouseClick(find<QToolButton>("DetailButton"), Qt::LeftButton);
    EXPECT_EQ(stored(sv::CustomConfig), "/home/u/my.cfg");
    EXPECT_EQ(find<QLineEdit>("DetailEdit")->text(), QStringLiteral("/home/u/my.cfg"));
    dialogs.nextFile = "/home/u/run_1.dem";
    showPageOf(2);
    QTest::mouseClick(find<QToolButton>("DemoEditButton"), Qt::LeftButton);
    EXPECT_EQ(stored(sv::Demoname), "/home/u/run_1.dem");
    EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
}

TEST_F(MainWindowTest, AControlWithoutAChoiceWritesNothing) {
    start();
    for (Choice c :
         {Choice::AF, Choice::AA, Choice::Heapsize, Choice::Refresh, Choice::DirectX, Choice::Detail, Choice::Demo})
        window->setChoice(c, -1);
    for (const char* name : {"AFBox", "AABox", "HeapsizeBox", "RefreshBox", "DirectXBox"}) leave(find<QComboBox>(name));
    leave(find<QGroupBox>("DetailBox"));
    leave(find<QGroupBox>("demo"));
    leave(find<QLineEdit>("ResEdit"));
    leave(find<QLineEdit>("NoteEdit"));
    for (const char* value : {sv::AFLevel, sv::AALevel, sv::Heapsize, sv::Refresh, sv::DXLevel, sv::Detail, sv::Demo,
                              sv::ResultPath, sv::Note})
        EXPECT_FALSE(stored(value)) << value;
}

TEST_F(MainWindowTest, SwitchesResolutionsAndNoteAreStoredOnlyOnLeave) {
    start();
    showPageOf(1);
    auto* res = find<QGroupBox>("res");
    QTest::mouseClick(find<QCheckBox>("res1"), Qt::LeftButton);
    QTest::mouseClick(find<QCheckBox>("res4"), Qt::LeftButton);
    EXPECT_FALSE(stored("800"));
    leave(res);
    const char* expected[6] = {"0", "1", "0", "0", "1", "0"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(stored(sv::Resolutions[i]), expected[i]) << sv::Resolutions[i];

    // A change with the keyboard is stored at the next leave, not before.
    auto* first = find<QCheckBox>("res0");
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Space);
    EXPECT_TRUE(window->resolutionChecked(0));
    EXPECT_EQ(stored("640"), "0");
    leave(res);
    EXPECT_EQ(stored("640"), "1");

    showPageOf(3);
    for (const char* name : {"FastZBox", "HDDUseBox"}) {
        SCOPED_TRACE(name);
        const char* value = std::string(name) == "FastZBox" ? sv::FastZ : sv::HDDUsage;
        auto* box = find<QCheckBox>(name);
        const bool was = box->isChecked();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        EXPECT_FALSE(stored(value));
        leave(box);
        EXPECT_EQ(stored(value), was ? "0" : "1");
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(stored(value), was ? "0" : "1");
        leave(box);
        EXPECT_EQ(stored(value), was ? "1" : "0");
    }

    auto* note = find<QLineEdit>("NoteEdit");
    note->setFocus();
    QTest::keyClicks(note, "driver 1.2");
    EXPECT_FALSE(stored(sv::Note));
    leave(note);
    EXPECT_EQ(stored(sv::Note), "driver 1.2");
    note->selectAll();
    QTest::keyClick(note, Qt::Key_Delete);
    leave(note);  // an empty note is not stored on leave
    EXPECT_EQ(stored(sv::Note), "driver 1.2");

    // The results folder field (read-only, filled by its chooser) is stored on leave too.
    auto* res2 = find<QLineEdit>("ResEdit");
    leave(res2);
    EXPECT_FALSE(stored(sv::ResultPath));
    window->setText(Field::ResEdit, "/home/u/reports/");
    leave(res2);
    EXPECT_EQ(stored(sv::ResultPath), "/home/u/reports/");
}

TEST_F(MainWindowTest, SettingControlsByProgramRunsNoHandler) {
    start();
    window->setChoice(Choice::AF, 1);
    window->setChoice(Choice::Detail, 2);
    window->setChoice(Choice::Demo, 5);
    window->setChecked(Check::AddInfo, true);
    window->setText(Field::NoteEdit, "x");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(stored(sv::AFLevel));
    EXPECT_FALSE(stored(sv::Detail));
    EXPECT_FALSE(stored(sv::Demo));
    EXPECT_FALSE(stored(sv::Addinfo));
    EXPECT_EQ(window->choice(Choice::AF), 1);
    EXPECT_EQ(window->choice(Choice::Demo), 5);
    window->setChoice(Choice::Demo, -1);
    EXPECT_EQ(window->choice(Choice::Demo), -1);
    window->setChoice(Choice::Heapsize, 9);
    EXPECT_EQ(window->choice(Choice::Heapsize), -1);
}

TEST_F(MainWindowTest, HeapSizeCheckUsesThePhysicalMemory) {
    start();
    showPageOf(3);
    struct Case {
        std::uint32_t memoryMB;
        int item;
        const char* message;
        int after;
        const char* code;
    };
    const Case cases[] = {
        {1024, 4, "The recommended (maximum) size: 512 MB", 3, "512000"},
        {768, 4, "The recommended (maximum) size: 384 MB", 4, "1024000"},
        {512, 3, "The recommended (maximum) size: 256 MB", 2, "256000"},
        {512, 2, nullptr, 2, "256000"},
        {100, 1, "The recommended (maximum) size: 64 MB", 0, "64000"},
        {2048, 4, nullptr, 4, "1024000"},
    };
    auto* box = find<QComboBox>("HeapsizeBox");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.memoryMB) + " MB, item " + std::to_string(c.item));
        dialogs.messages.clear();
        memoryBytes = c.memoryMB * MB;
        pick(box, c.item);
        if (c.message)
            EXPECT_EQ(dialogs.messages, std::vector<std::string>{c.message});
        else
            EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(box->currentIndex(), c.after);
        EXPECT_EQ(stored(sv::Heapsize), c.code);
    }
    // Leaving the box stores the item without a check.
    memoryBytes = 100 * MB;
    dialogs.messages.clear();
    box->setCurrentIndex(4);
    leave(box);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(stored(sv::Heapsize), "1024000");
}

TEST_F(MainWindowTest, FilteringAdviceFollowsTheChoice) {
    start();
    showPageOf(2);
    struct Case {
        const char* box;
        int item;
        bool advice;
    };
    const Case cases[] = {{"AFBox", 1, true}, {"AFBox", 5, true}, {"AFBox", 6, false},
                          {"AABox", 1, true}, {"AABox", 4, true}, {"AABox", 5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + std::to_string(c.item));
        dialogs.messages.clear();
        auto* box = find<QComboBox>(c.box);
        pick(box, c.item);
        EXPECT_EQ(dialogs.messages.size(), c.advice ? 1u : 0u);
        if (c.advice) {
            EXPECT_EQ(dialogs.messages[0], kFilteringAdvice);
        }
        leave(box);
        EXPECT_EQ(dialogs.messages.size(), c.advice ? 1u : 0u);  // leaving never advises
    }
    EXPECT_EQ(stored(sv::AALevel), "Sys");
}

TEST_F(MainWindowTest, KeyboardPickInAListIsAChange) {
    start();
    showPageOf(3);
    auto* box = find<QComboBox>("RefreshBox");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(stored(sv::Refresh), "70");
}

TEST_F(MainWindowTest, ResultsFolderChooserAndRefusedWrites) {
    start();
    showPageOf(3);
    dialogs.nextFolder = dir / "reports";
    QTest::mouseClick(find<QToolButton>("ToolButton5"), Qt::LeftButton);
    EXPECT_EQ(dialogs.folderDialogs, std::vector<std::string>{"Results folder"});
    EXPECT_EQ(find<QLineEdit>("ResEdit")->text().toStdString(), dir / "reports/");
    EXPECT_EQ(stored(sv::ResultPath), dir / "reports/");

    // A write the registry refuses reaches the error box; the control keeps its state.
    reg.refuseWrite = true;
    pick(find<QComboBox>("RefreshBox"), 3);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Failed to set data for 'Refresh'"});
    EXPECT_EQ(find<QComboBox>("RefreshBox")->currentIndex(), 3);
}

TEST_F(MainWindowTest, LinksAndBannersOpenTheirAddresses) {
    start();
    showPageOf(0);
    QTest::mouseClick(find<QLabel>("Label8"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("ToolButton4"), Qt::LeftButton);
    showPageOf(6);
    QTest::mouseClick(find<QLabel>("Label2"), Qt::LeftButton);
    showPageOf(2);
    QTest::mouseClick(find<QWidget>("Image7"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{kSupportAddress, kAuthorMail, kAuthorMail, kSponsorAddress}));
}

// ---- run state --------------------------------------------------------------------------------

TEST_F(MainWindowTest, RunButtonDisabledWhenNoGameWasFound) {
    writeFile(dir / "Steam/steam.exe", "client");
    reg.put(RegRoot::CurrentUser, kSteamKey, sv::SteamExe, dir / "Steam/steam.exe");
    dialogs.nextFile.reset();  // the user cancels "Please find the hl2.exe!"
    start();
    EXPECT_EQ(
        dialogs.messages,
        std::vector<std::string>{"You can't benchmark without the HL2! Please install HL2 before you benchmarking."});
    EXPECT_FALSE(find<QPushButton>("BenchButton")->isEnabled());
    EXPECT_FALSE(controller->gameFound());
}

TEST_F(MainWindowTest, RunButtonEnabledWhenTheGameIsFound) {
    writeFile(dir / "Steam/steam.exe", "client");
    writeFile(dir / "Steam/SteamApps/acc/half-life 2/hl2.exe", "game");
    reg.put(RegRoot::CurrentUser, kSteamKey, sv::SteamExe, dir / "Steam/steam.exe");
    put(sv::Addinfo, "0");  // no hardware information question
    start();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(find<QPushButton>("BenchButton")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("HL2PathEdit")->text().toStdString(), dir / "Steam/SteamApps/acc/");
}

TEST_F(MainWindowTest, RunProgressAndStop) {
    start();
    auto* stop = find<QPushButton>("StopButton");
    auto* bar = find<QProgressBar>("RunProgress");
    auto* text = find<QLabel>("RunProgressText");
    EXPECT_TRUE(stop->isHidden());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(text->isHidden());
    window->setRunActive(true);
    // The bar fills as passes end; its text stands beside it, never over the fill.
    const struct {
        int current;
        const char* text;
        int value;
    } steps[] = {{0, "Preparing", 0}, {1, "Pass 1 of 3", 0}, {2, "Pass 2 of 3", 1}, {3, "Pass 3 of 3", 2}};
    for (const auto& step : steps) {
        window->setRunProgress(step.current, 3);
        EXPECT_FALSE(stop->isHidden());
        EXPECT_FALSE(bar->isHidden());
        EXPECT_EQ(text->text(), QString::fromUtf8(step.text));
        EXPECT_EQ(bar->value(), step.value) << step.text;
        EXPECT_EQ(bar->maximum(), 3);
        EXPECT_FALSE(bar->isTextVisible());
    }
    window->setRunProgress(0, 0);
    window->setRunActive(false);
    EXPECT_TRUE(stop->isHidden());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(text->isHidden());
    window->setStatus("Preparing...");
    EXPECT_EQ(find<QLabel>("StatusInfo")->text(), QStringLiteral("Preparing..."));
    EXPECT_EQ(window->status(), "Preparing...");
}

TEST_F(MainWindowTest, ReportOfTheLastRunIsShownWithItsPathAndOpens) {
    start();
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("ReportBar")), nullptr);
    const std::string report = dir / "Reports/result_3_14_2005.htm";
    window->setReport(report);
    auto* bar = find<QWidget>("ReportBar");
    auto* link = find<QLabel>("ReportLink");
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(link->toolTip().toStdString(), report);
    EXPECT_TRUE(link->text().startsWith(QStringLiteral("Report: ")));
    // The status line keeps its text beside the bar.
    EXPECT_LE(find<QLabel>("StatusInfo")->geometry().right(), bar->geometry().left());
    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("OpenReport"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("OpenReportFolder"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{report, report, dir / "Reports/"}));
    window->setReport("");
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(find<QLabel>("StatusInfo")->width(), window->width());
}

TEST_F(MainWindowTest, BrowseBesideTheGamePathTakesTheGame) {
    start();  // no Steam: no game, no question
    EXPECT_FALSE(controller->gameFound());
    showPageOf(0);
    const std::string exe = dir / "Games/half-life 2/hl2.exe";
    writeFile(exe, "game");
    dialogs.nextFile = exe;
    QTest::mouseClick(find<QToolButton>("HL2PathButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].rfind("Please find the hl2.exe", 0), 0u) << dialogs.fileDialogs[0];
    EXPECT_EQ(find<QLineEdit>("HL2PathEdit")->text().toStdString(), dir / "Games/");
    EXPECT_TRUE(find<QPushButton>("BenchButton")->isEnabled());
    EXPECT_EQ(stored(sv::HL2Exe), exe);
    EXPECT_TRUE(controller->gameFound());
}

// Steam not found is no dead end: "Browse..." beside the Steam folder takes
// it, and the game in its library with it.
TEST_F(MainWindowTest, BrowseBesideTheSteamFolderTakesSteamAndItsGame) {
    start();  // no Steam: no game, no question
    EXPECT_FALSE(controller->gameFound());
    showPageOf(0);
    EXPECT_EQ(find<QLineEdit>("SteamPathEdit")->text(), QString());
    const std::string steam = dir / "MySteam/";
    writeFile(steam + "steam.exe", "client");
    writeFile(steam + "steamapps/common/Half-Life 2/hl2.exe", "game");
    dialogs.nextFolder = dir / "Nowhere";
    QTest::mouseClick(find<QToolButton>("SteamPathButton"), Qt::LeftButton);
    EXPECT_FALSE(controller->gameFound());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Please choose the folder Steam is installed in."), std::string::npos)
        << dialogs.messages[0];

    dialogs.nextFolder = steam;
    QTest::mouseClick(find<QToolButton>("SteamPathButton"), Qt::LeftButton);
    EXPECT_EQ(find<QLineEdit>("SteamPathEdit")->text().toStdString(), steam);
    EXPECT_EQ(controller->context().paths.SteamPath, steam);
    EXPECT_TRUE(controller->gameFound());
    EXPECT_EQ(find<QLineEdit>("HL2PathEdit")->text().toStdString(), steam + "steamapps/common/");
    EXPECT_EQ(stored(sv::SteamFolder), steam);
    EXPECT_TRUE(find<QPushButton>("BenchButton")->isEnabled());
}

TEST_F(MainWindowTest, OpeningThatFailsTellsWhereTheDocumentIs) {
    // No opener on PATH, and the controller's own opener in place.
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", dir.path().c_str(), 1);
    ::unsetenv("VANTOR_NO_SHELL_OPEN");
    keepShellOpen = true;
    start();
    window->openMenuGroup(1);
    QTest::mouseClick(find<QPushButton>("Group3Items0"), Qt::LeftButton);  // "Benchmark help"
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.empty(); }, 5000));
    ::setenv("PATH", savedPath.c_str(), 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Could not open " + bench +
                                       "help.htm (xdg-open could not be started (No such file or directory)). Please "
                                       "open it yourself.");
}

// ---- donation window and closing ------------------------------------------------------------------

TEST_F(MainWindowTest, DonationWindowAppearsOnceWhileDonateIsZero) {
    put(sv::Donate, "0");
    int shown = 0;
    QString title, text;
    // Answers the modal window when it is up.
    std::function<void()> answer = [&] {
        auto* form = qobject_cast<DonationForm*>(QApplication::activeModalWidget());
        if (!form) {
            QTimer::singleShot(10, answer);
            return;
        }
        ++shown;
        title = form->windowTitle();
        text = form->findChild<QLabel*>(QStringLiteral("DonationText"))->text();
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    };
    QTimer::singleShot(10, answer);
    start();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(title, QStringLiteral("Donate us"));
    EXPECT_TRUE(
        text.endsWith(QStringLiteral("See the \u201cDonate us\u201d section for more information. This window "
                                     "will never appear again.\n\nThank you.")));
    EXPECT_EQ(stored(sv::Donate), "1");

    // Shown again: Donate is "1" now, no window.
    window->hide();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return formShows == 2; }, 3000));
    EXPECT_EQ(shown, 1);
}

TEST_F(MainWindowTest, NoDonationWindowUnlessDonateIsExactlyZero) {
    for (const char* value : {"", "1", "00"}) {
        SCOPED_TRACE(value);
        if (*value) put(sv::Donate, value);
        int shown = 0;
        formShows = 0;
        start(false);
        window->showDonationWindow = [&] { ++shown; };
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return formShows == 1; }, 3000));
        EXPECT_EQ(shown, 0);
        controller.reset();
        window.reset();
    }
}

TEST_F(MainWindowTest, SystemCloseWritesTheNoteEvenWhenEmpty) {
    start();
    showPageOf(3);
    auto* note = find<QLineEdit>("NoteEdit");
    note->setFocus();
    QTest::keyClicks(note, "quiet room");  // never left: not stored yet
    EXPECT_FALSE(stored(sv::Note));
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));
    EXPECT_EQ(stored(sv::Note), "quiet room");
    EXPECT_EQ(terminated, 0);

    // An empty note is written at the system close too.
    window->show();
    QCoreApplication::processEvents();
    note->clear();
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));
    EXPECT_EQ(stored(sv::Note), "");
}

TEST_F(MainWindowTest, CloseButtonEndsAtOnceWithoutWritingTheNote) {
    start();
    showPageOf(3);
    auto* note = find<QLineEdit>("NoteEdit");
    note->setFocus();
    QTest::keyClicks(note, "quiet room");
    QTest::mouseClick(find<QToolButton>("SpeedButton1"), Qt::LeftButton);
    EXPECT_EQ(terminated, 1);
    EXPECT_FALSE(stored(sv::Note));
    EXPECT_EQ(controller->log().lines().back(), "Application terminated.");
    // A close that follows (the loop ending) runs no close query either.
    window->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(stored(sv::Note));
}

TEST_F(MainWindowTest, TimeLeftStandsBelowThePassCountAndCountsDown) {
    start();
    auto* text = find<QLabel>("RunProgressText");
    window->setRunActive(true);
    window->setRunProgress(2, 3);
    EXPECT_EQ(text->text(), QStringLiteral("Pass 2 of 3"));
    window->setTimeLeft(std::chrono::milliseconds(65000));
    EXPECT_EQ(text->text(), QStringLiteral("Pass 2 of 3\nabout 1 min 5 s left"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return text->text() == QStringLiteral("Pass 2 of 3\nabout 1 min 4 s left"); }, 3000))
        << text->text().toStdString();
    window->setTimeLeft(std::nullopt);
    EXPECT_EQ(text->text(), QStringLiteral("Pass 2 of 3"));
    window->setRunProgress(0, 0);
    window->setRunActive(false);
}

// ---- "Passes & results" ------------------------------------------------------------

TEST_F(MainWindowTest, PassesPageShowsAndStoresItsOptionsAndRefusesAnInvalidSize) {
    put(sv::Passes, "3");
    put(sv::TodayResolutions[0], "1");
    put(sv::CustomResolution, "2560x1600");
    start();
    showPageOf(7);
    EXPECT_EQ(find<QComboBox>("PassesBox")->currentText(), QStringLiteral("3"));
    EXPECT_EQ(find<QComboBox>("ThresholdBox")->currentText(), QStringLiteral("3%"));
    EXPECT_EQ(find<QComboBox>("CapBox")->currentText(), QStringLiteral("10"));
    EXPECT_TRUE(find<QCheckBox>("TodayRes0")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("TodayRes1")->isChecked());
    EXPECT_EQ(find<QLineEdit>("CustomResEdit")->text(), QString::fromUtf8("2560\u00d71600"));
    EXPECT_FALSE(find<QCheckBox>("CustomResBox")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("ResultFilesBox")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("SummaryBox")->isChecked());

    pick(find<QComboBox>("PassesBox"), 4);
    QTest::mouseClick(find<QCheckBox>("TodayRes3"), Qt::LeftButton);
    QTest::mouseClick(find<QCheckBox>("SummaryBox"), Qt::LeftButton);
    EXPECT_FALSE(find<QComboBox>("ThresholdBox")->isEnabled()) << "only with adaptive passes";
    EXPECT_FALSE(find<QComboBox>("CapBox")->isEnabled());
    QTest::mouseClick(find<QCheckBox>("AdaptiveBox"), Qt::LeftButton);
    EXPECT_TRUE(find<QComboBox>("ThresholdBox")->isEnabled());
    EXPECT_TRUE(find<QComboBox>("CapBox")->isEnabled());
    EXPECT_EQ(stored(sv::Passes), "5");
    EXPECT_EQ(stored(sv::TodayResolutions[3]), "1");
    EXPECT_EQ(stored(sv::TodayResolutions[0]), "1");
    EXPECT_EQ(stored(sv::ReportSummary), "1");
    EXPECT_EQ(stored(sv::AdaptivePasses), "1");

    auto* edit = find<QLineEdit>("CustomResEdit");
    edit->selectAll();
    QTest::keyClicks(edit, "1921x1080");
    QTest::keyClick(edit, Qt::Key_Return);
    const std::string refusal =
        "The custom resolution 1921\xC3\x97"
        "1080 is refused: width and height must be even.";
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(stored(sv::CustomResolution), "2560x1600");
    QTest::mouseClick(find<QCheckBox>("CustomResBox"), Qt::LeftButton);
    EXPECT_FALSE(find<QCheckBox>("CustomResBox")->isChecked()) << "an invalid size cannot be ticked";

    edit->selectAll();
    QTest::keyClicks(edit, "3440x1440");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), QString::fromUtf8("3440\u00d71440"));
    QTest::mouseClick(find<QCheckBox>("CustomResBox"), Qt::LeftButton);
    EXPECT_TRUE(find<QCheckBox>("CustomResBox")->isChecked());
    EXPECT_EQ(stored(sv::CustomResolution), "3440x1440");
    EXPECT_EQ(stored(sv::CustomResolutionOn), "1");
}

}  // namespace
