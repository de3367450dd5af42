// The Information window (TForm2) on Qt's offscreen platform, bound to its
// logic and the real hardware-report tool.
#include "core/AppContext.h"
#include "gui/EventLoopQt.h"
#include "gui/HardwareInfoForm.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace vantor;
using namespace vantor::test;

namespace {

class HardwareInfoFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx.paths.BenchPath = dir / "bench/";
        std::filesystem::create_directories(ctx.paths.BenchPath);
    }

    void create() { form = std::make_unique<HardwareInfoForm>(ctx, tool); }

    template <class W>
    W* find(const char* name) {
        W* w = form->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::vector<std::string> memoLines() {
        const QString text = find<QPlainTextEdit>("infomemo")->toPlainText();
        std::vector<std::string> lines;
        if (text.isEmpty()) return lines;
        for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
        return lines;
    }
    std::optional<std::string> stored(const char* name) {
        RegValue v = registry.query(RegRoot::LocalMachine, kSettingsKey, name);
        if (v.kind != RegValueKind::String) return std::nullopt;
        return v.text;
    }
    void put(const char* name, const std::string& value) {
        registry.put(RegRoot::LocalMachine, kSettingsKey, name, value);
    }
    void storeSix() {
        put(sv::SaveInfo, "1");
        put(sv::OS, "Operating System: Stored OS");
        put(sv::CPU, "Processor: Stored CPU");
        put(sv::Memory, "Memory: 512MB RAM");
        put(sv::VGA, "Card name: Stored GPU");
        put(sv::VGAMemory, "Display Memory: 128.0 MB");
        put(sv::VGADriver, "Driver Version: 1.2");
    }
    bool buttonsEnabled() {
        return find<QPushButton>("Button1")->isEnabled() && find<QPushButton>("Button3")->isEnabled();
    }

    TempDir dir;
    FakeView view;
    FakeDialogs dialogs;
    EventLoopQt loop;
    MemoryRegistry registry;
    SettingsStore store{registry};
    DebugLog log;
    FakeProcesses processes;
    AppContext ctx{view, dialogs, loop, store, log, processes};
    DiagTool tool;
    std::unique_ptr<HardwareInfoForm> form;
};

}  // namespace

TEST_F(HardwareInfoFormTest, ControlsTextsAndColours) {
    create();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Information"));
    auto* memo = find<QPlainTextEdit>("infomemo");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    auto* get = find<QPushButton>("Button1");
    auto* save = find<QPushButton>("Button3");
    EXPECT_EQ(get->text(), QStringLiteral("Get info"));
    EXPECT_EQ(save->text(), QStringLiteral("Save && Close"));  // shown as "Save & Close"
    for (auto* b : {get, save}) EXPECT_EQ(b->palette().color(QPalette::ButtonText), QColor(133, 163, 250));
    auto* bar = find<QLabel>("StatusBar");
    EXPECT_TRUE(bar->autoFillBackground());
    EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(243, 126, 31));
    EXPECT_EQ(bar->text().toStdString(), kInfoStartStatus);
    EXPECT_EQ(memoLines(), std::vector<std::string>{kNoStoredInfo});
}

TEST_F(HardwareInfoFormTest, SaveRightAfterOpeningKeepsTheStoredValues) {
    storeSix();
    create();
    const std::vector<std::string> six = {"Operating System: Stored OS", "Processor: Stored CPU",
                                          "Memory: 512MB RAM",           "Card name: Stored GPU",
                                          "Display Memory: 128.0 MB",    "Driver Version: 1.2"};
    EXPECT_EQ(memoLines(), six);

    // Shown modally, as "View additional information" shows it.
    QTimer::singleShot(0, form.get(), [this] {
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->isModal());
        QTest::mouseClick(find<QPushButton>("Button3"), Qt::LeftButton);
    });
    EXPECT_EQ(form->exec(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored(sv::SaveInfo), "1");
    EXPECT_EQ(stored(sv::OS), six[0]);
    EXPECT_EQ(stored(sv::CPU), six[1]);
    EXPECT_EQ(stored(sv::Memory), six[2]);
    EXPECT_EQ(stored(sv::VGA), six[3]);
    EXPECT_EQ(stored(sv::VGAMemory), six[4]);
    EXPECT_EQ(stored(sv::VGADriver), six[5]);
}

TEST_F(HardwareInfoFormTest, SaveAfterAFailedCollectionClearsAllSix) {
    storeSix();
    tool.folder = dir / "no tools";
    create();
    form->show();
    QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return buttonsEnabled(); }, 5000));
    EXPECT_EQ(find<QLabel>("StatusBar")->text().toStdString(),
              "The hardware report tool could not be started: No such file or directory.");
    EXPECT_TRUE(memoLines().empty());
    EXPECT_EQ(stored(sv::OS), "Operating System: Stored OS");  // nothing stored by the failure

    QTest::mouseClick(find<QPushButton>("Button3"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored(sv::SaveInfo), "0");
    for (const char* name : {sv::OS, sv::CPU, sv::Memory, sv::VGA, sv::VGAMemory, sv::VGADriver})
        EXPECT_EQ(stored(name), "") << name;
    EXPECT_EQ(memoLines(), std::vector<std::string>{kNoStoredInfo});
}

TEST_F(HardwareInfoFormTest, GetInfoFillsTheMemoAndTheCloseBoxStoresNothing) {
    create();
    form->show();
    auto* get = find<QPushButton>("Button1");
    QTest::mouseClick(get, Qt::LeftButton);
    EXPECT_FALSE(get->isEnabled());
    EXPECT_FALSE(find<QPushButton>("Button3")->isEnabled());
    EXPECT_EQ(form->statusText().toStdString(), kCollectingStatus);
    ASSERT_TRUE(QTest::qWaitFor([&] { return buttonsEnabled(); }, 10000));
    EXPECT_EQ(form->statusText().toStdString(), kCollectedStatus);
    const auto lines = memoLines();
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(lines[i].rfind(kHardwareLabels[i], 0), 0u) << lines[i];

    writeFile(ctx.paths.BenchPath + "dxinfo.txt", "left\r\n");
    form->reject();  // the close box
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(exists(ctx.paths.BenchPath + "dxinfo.txt"));
    EXPECT_EQ(stored(sv::SaveInfo), std::nullopt);
    EXPECT_EQ(stored(sv::OS), std::nullopt);
}
