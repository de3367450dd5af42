// The History page on Qt's offscreen platform: the stored runs in a sortable
// table, two selected runs compared with verdicts, the chart of their means.
#include "app/MainController.h"
#include "gui/EventLoopQt.h"
#include "gui/HistoryPage.h"
#include "gui/MainWindow.h"
#include "history/HistoryStore.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vantor;
using namespace vantor::test;

namespace {

StoredRun runWith(const std::string& demo, std::vector<StoredPass> passes) {
    StoredRun r;
    r.time = "2026-12-11T00:40:12Z";
    r.version = "1.3";
    r.demo = demo;
    r.settings = {{"demo", demo}, {"detail", "Maximum"}};
    r.passes = std::move(passes);
    return r;
}

class HistoryPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        // This test's own data folder (other window tests store their runs too).
        const char* previous = std::getenv("XDG_DATA_HOME");
        previousDataHome = previous ? previous : "";
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override {
        controller.reset();
        window.reset();
        ::setenv("XDG_DATA_HOME", previousDataHome.c_str(), 1);
    }
    std::string historyFile() const { return dir / "data/Quorvane/Vantor/history.db"; }

    void start() {
        window = std::make_unique<MainWindow>(std::string(VANTOR_BIN_DIR) + "/Pictures/");
        controller = std::make_unique<MainController>(*window, dialogs, loop, reg, processes);
        window->bind(*controller);
        controller->context().paths.BenchPath = dir.path();
        bool done = false;
        controller->startUp([&] { done = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
        window->show();
        QCoreApplication::processEvents();
    }
    // The menu item, as a user clicks it.
    HistoryPage* openHistory() {
        window->openMenuGroup(0);
        auto* item = window->findChild<QPushButton*>(QStringLiteral("Group1Items5"));
        EXPECT_NE(item, nullptr);
        if (!item) return nullptr;
        EXPECT_EQ(item->text(), QStringLiteral("History"));
        QTest::mouseClick(item, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_TRUE(item->isChecked());
        return window->historyPage();
    }
    static std::vector<qlonglong> ids(QTableWidget* t) {
        std::vector<qlonglong> out;
        for (int row = 0; row < t->rowCount(); ++row)
            out.push_back(t->item(row, 0)->data(Qt::DisplayRole).toLongLong());
        return out;
    }
    static QString cell(QTableWidget* t, int row, int col) {
        auto* i = t->item(row, col);
        return i ? i->text() : QString();
    }

    TempDir dir;
    std::string previousDataHome;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeProcesses processes;
    EventLoopQt loop;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainController> controller;
};

}  // namespace

TEST_F(HistoryPageTest, RunsAreListedSortableAndTwoSelectedAreComparedAndCharted) {
    {
        HistoryStore store(historyFile());
        for (int i = 0; i < 8; ++i)
            store.add(runWith("Quorvane - Coast", {{640, 480, 200.0 + i, 10.0}, {1024, 768, 100.0 + i, 12.0}}));
        store.add(runWith("Quorvane - Canals", {{640, 480, 150, 9.0},
                                                {640, 480, 151, 9.0},
                                                {1024, 768, 80, 11.0},
                                                {1024, 768, 80.5, 11.0},
                                                {1600, 1200, 40, 20.0}}));
        store.add(runWith("Quorvane - Canals", {{640, 480, 165, 9.0},
                                                {640, 480, 166, 9.0},
                                                {1024, 768, 80.2, 11.0},
                                                {1024, 768, 80.6, 11.0},
                                                {1920, 1080, 35, 20.0}}));
    }
    start();
    HistoryPage* page = openHistory();
    ASSERT_NE(page, nullptr);
    auto* pages = window->findChild<QStackedWidget*>(QStringLiteral("PageControl"));
    EXPECT_EQ(pages->currentWidget(), page);
    EXPECT_TRUE(page->isVisible());

    QTableWidget* runs = page->runsTable();
    EXPECT_EQ(ids(runs), (std::vector<qlonglong>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));  // newest first
    // A click on the header sorts by that column; the run numbers sort as numbers.
    QTest::mouseClick(runs->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(runs->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(ids(runs), (std::vector<qlonglong>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(cell(runs, 9, 2), QStringLiteral("Quorvane - Canals"));
    EXPECT_EQ(cell(runs, 9, 4), QString::fromUtf8("640\u00d7480 165.50, 1024\u00d7768 80.40, 1920\u00d71080 35.00"));

    page->selectRuns({10, 9});
    QCoreApplication::processEvents();
    QTableWidget* compare = page->comparisonTable();
    ASSERT_EQ(compare->rowCount(), 4);
    EXPECT_EQ(compare->horizontalHeaderItem(1)->text(), QStringLiteral("Run 9"));
    EXPECT_EQ(compare->horizontalHeaderItem(2)->text(), QStringLiteral("Run 10"));
    const QStringList verdicts = {cell(compare, 0, 4), cell(compare, 1, 4), cell(compare, 2, 4), cell(compare, 3, 4)};
    EXPECT_EQ(verdicts, (QStringList{"faster", "within noise", "only in run 9", "only in run 10"}));
    EXPECT_EQ(cell(compare, 0, 3), QStringLiteral("+10.0%"));
    EXPECT_EQ(cell(compare, 0, 1), QString::fromUtf8("150.50 \u00b10.5%"));

    ScoreChart* chart = page->chart();
    ASSERT_EQ(chart->series().size(), 2u);
    EXPECT_EQ(chart->categories(),
              (std::vector<QString>{QString::fromUtf8("640\u00d7480"), QString::fromUtf8("1024\u00d7768"),
                                    QString::fromUtf8("1600\u00d71200"), QString::fromUtf8("1920\u00d71080")}));
    EXPECT_EQ(chart->series()[0].values, (std::vector<std::optional<double>>{150.5, 80.25, 40.0, std::nullopt}));
    EXPECT_EQ(chart->series()[1].values, (std::vector<std::optional<double>>{165.5, 80.4, std::nullopt, 35.0}));
    EXPECT_FALSE(chart->grab().isNull());

    // One run: its scores alone.
    page->selectRuns({3});
    QCoreApplication::processEvents();
    ASSERT_EQ(chart->series().size(), 1u);
    EXPECT_EQ(chart->series()[0].values, (std::vector<std::optional<double>>{202.0, 102.0}));
    EXPECT_EQ(cell(compare, 1, 1), QStringLiteral("102.00"));
}

TEST_F(HistoryPageTest, AnEmptyOrDamagedHistoryIsSaidOnThePage) {
    start();
    HistoryPage* page = openHistory();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->runsTable()->rowCount(), 0);
    EXPECT_TRUE(page->message().startsWith(QStringLiteral("No runs stored yet"))) << page->message().toStdString();

    writeFile(historyFile(), std::string(6000, '!'));
    window->showAboutView();
    page = openHistory();
    EXPECT_EQ(page->runsTable()->rowCount(), 0);
    EXPECT_TRUE(page->message().contains(QStringLiteral("is damaged"))) << page->message().toStdString();
    EXPECT_TRUE(page->message().contains(QString::fromStdString("kept as " + historyFile() + ".damaged-")))
        << page->message().toStdString();
}
