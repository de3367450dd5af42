// The updater's windows (offscreen): the question window, the progress window
// with its completed state and its abort question, and "Update benchmark" in
// the main window through a whole update against a loopback server.

#include "app/MainController.h"
#include "core/ProgramVersion.h"
#include "gui/AutoUpgraderUiQt.h"
#include "gui/AutoUpgraderUpgradeMsg.h"
#include "gui/AutoUpgraderWizard.h"
#include "gui/EventLoopQt.h"
#include "gui/MainWindow.h"
#include "platform/FileOps.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace vantor;
using namespace vantor::test;

namespace {

// Answers the next modal window with the button whose text is given; then
// runs after the answer (to answer the window that follows).
void answerNextModal(const QString& button, QString* seenTitle = nullptr, QString* seenText = nullptr,
                     std::function<void()> then = nullptr) {
    auto tries = std::make_shared<int>(0);
    auto attempt = std::make_shared<std::function<void()>>();
    // The function holds itself weakly (a strong self-reference never went
    // away); a pending timer holds it strongly.
    std::weak_ptr<std::function<void()>> self = attempt;
    *attempt = [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (auto again = self.lock(); again && ++*tries < 500) QTimer::singleShot(10, [again] { (*again)(); });
            return;
        }
        if (seenTitle) *seenTitle = modal->windowTitle();
        if (seenText) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) *seenText = box->text();
            if (auto* form = qobject_cast<TAutoUpgraderUpgradeMessageForm*>(modal))
                *seenText = form->textLabel()->text();
        }
        // A standard button's text may come without its '&' ("OK").
        const auto plain = [](QString t) { return t.remove(QLatin1Char('&')); };
        for (auto* b : modal->findChildren<QAbstractButton*>())
            if (b->text() == button || b->text() == plain(button)) {
                b->click();
                if (then) then();
                return;
            }
        ADD_FAILURE() << "no button " << button.toStdString();
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(); });
}

TEST(AutoUpgraderWindows, TheQuestionWindowAnswersOnlyYesWithYes) {
    TAutoUpgraderUpgradeMessageForm form(QStringLiteral("A newer version of X was released.\n\nDo you want..."));
    EXPECT_EQ(form.windowTitle(), "Application update wizard");
    EXPECT_EQ(form.yesButton()->text(), "&Yes");
    EXPECT_TRUE(form.yesButton()->isDefault());
    EXPECT_EQ(form.laterButton()->text(), "&Later");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.textLabel()->wordWrap());

    answerNextModal(QStringLiteral("&Yes"));
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    answerNextModal(QStringLiteral("&Later"));
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    QTimer::singleShot(50, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);

    // The height follows the text.
    TAutoUpgraderUpgradeMessageForm longer(QString("line\n").repeated(12));
    EXPECT_GT(longer.sizeHint().height(), form.sizeHint().height());
}

TEST(AutoUpgraderWindows, TheProgressWindowAsksTheLogicAndShowsTheCompletedState) {
    int cancels = 0, finishes = 0;
    WizardOptions options;
    options.onCancel = [&] { ++cancels; };
    options.onFinish = [&] { ++finishes; };
    TAutoUpgraderWizardForm wizard(options);
    wizard.show();
    EXPECT_EQ(wizard.windowTitle(), "Application update wizard");
    EXPECT_EQ(wizard.title()->text(), "Downloading files...");
    EXPECT_EQ(wizard.timeLeft()->text(), "Preparing. . .");
    EXPECT_EQ(wizard.finishButton()->text(), "&Next >");
    EXPECT_FALSE(wizard.finishButton()->isEnabled());
    EXPECT_EQ(wizard.cancelButton()->text(), "&Cancel");
    EXPECT_TRUE(wizard.cancelButton()->isDefault());
    EXPECT_FALSE(wizard.locationCaption()->isVisible());  // HideFileLocation
    EXPECT_EQ(wizard.currentGroup()->title(), "Current file");
    EXPECT_EQ(wizard.allGroup()->title(), "All files");

    wizard.setFile("Downloading 1 of 2", "http://h/a");
    wizard.setFileSize("File size: 2.0 KiB");
    wizard.setProgress("Transfer rate: 1.0 KiB/s", "Estimated time left: 0:00:01", 50, 25);
    EXPECT_EQ(wizard.allFiles()->text(), "Downloading 1 of 2");
    EXPECT_EQ(wizard.fileBar()->value(), 50);
    EXPECT_EQ(wizard.allBar()->value(), 25);

    // Escape, "&Cancel" and the close command ask; the window stays.
    QTest::keyClick(&wizard, Qt::Key_Escape);
    QTest::mouseClick(wizard.cancelButton(), Qt::LeftButton);
    wizard.close();
    EXPECT_EQ(cancels, 3);
    EXPECT_TRUE(wizard.isVisible());

    wizard.setCompleted("The update of X has been successfully completed.\n\nPress the OK button to restart program.");
    EXPECT_EQ(wizard.title()->text(), "Upgrade completed!");
    EXPECT_TRUE(wizard.note()->isVisible());
    EXPECT_FALSE(wizard.currentGroup()->isVisible());
    EXPECT_FALSE(wizard.allGroup()->isVisible());
    EXPECT_FALSE(wizard.cancelButton()->isEnabled());
    EXPECT_EQ(wizard.finishButton()->text(), "&OK");
    EXPECT_TRUE(wizard.finishButton()->isEnabled());
    QTest::mouseClick(wizard.finishButton(), Qt::LeftButton);
    EXPECT_EQ(finishes, 1);
    wizard.closeByLogic();
    EXPECT_FALSE(wizard.isVisible());
}

class UpdateButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running());
        prog = dir / "bench/";
        std::filesystem::create_directories(prog);
        reg.put(RegRoot::LocalMachine, kSettingsKey, "Programversion", "1.3");
        window = std::make_unique<MainWindow>(std::string(VANTOR_BIN_DIR) + "/Pictures/");
        controller = std::make_unique<MainController>(*window, dialogs, loop, reg, processes);
        window->bind(*controller);
        ui = std::make_unique<AutoUpgraderUiQt>(window.get());
        controller->enableUpdates(*ui, key.pub);
        window->setUpdateAction([this] { controller->checkForUpdate(); });
        auto& u = *controller->updater();
        u.InfoFileURL = server.url("/files/qvn_vantor.inf");
        u.TempFolder = dir.path();
        u.http().Proxy.AccessType = TProxyAccessType::Direct;
        u.StartUpgrader = [this](const std::string&, const std::vector<std::string>&, std::string*) {
            ++starts;
            return true;
        };
        u.CloseApplication = [this] { ++closes; };
        u.OnFinished = [this](TUpdateEnd, const std::string&) { ++ends; };
        controller->context().paths.BenchPath = prog;
        bool done = false;
        controller->startUp([&] { done = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->allPagesBuilt(); }, 5000));
    }
    void TearDown() override {
        controller.reset();
        ui.reset();
        window.reset();
    }
    void release(const std::string& version) {
        server.put(programName(), "new program");
        const std::string info = infoFile(version, {{server.url("/files/" + programName()), "new program"}});
        server.put("qvn_vantor.inf", info);
        server.put("qvn_vantor.inf.sig", key.sign(info));
    }
    // The running program's file name: an update must bring it.
    std::string programName() const { return fileNamePart(controller->updater()->ProgramPath); }
    void click() {
        auto* button = window->findChild<QPushButton*>(QStringLiteral("ToolButton3"));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isEnabled());
        button->click();
    }

    TempDir dir;
    HttpTestServer server;
    TestKey key;
    std::string prog;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeProcesses processes;
    EventLoopQt loop;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainController> controller;
    std::unique_ptr<AutoUpgraderUiQt> ui;
    int starts = 0, closes = 0, ends = 0;
};

// The three outcomes the main window tells show in the status line and in a
// message box.
TEST_F(UpdateButtonTest, LaterShowsUpdateAbortedAndNoUpdateItsOwnText) {
    EXPECT_EQ(controller->updater()->VersionNumber, programVersion());  // handed over at start-up
    release("1.4");
    QString title, text, boxTitle, boxText;
    answerNextModal(QStringLiteral("&Later"), &title, &text,
                    [&] { answerNextModal(QStringLiteral("&OK"), &boxTitle, &boxText); });
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, 10000));
    EXPECT_EQ(title, "Application update wizard");
    EXPECT_TRUE(text.startsWith("A newer version of Quorvane Half-Life 2 benchmark was released."));
    EXPECT_EQ(window->status(), "Update aborted.");
    EXPECT_EQ(boxTitle, "Quorvane Half-Life 2 benchmark");
    EXPECT_EQ(boxText, "Update aborted.");

    release("1.3");
    answerNextModal(QStringLiteral("&OK"), &boxTitle, &boxText);
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 2; }, 10000));
    EXPECT_EQ(window->status(), "No update available.");
    EXPECT_EQ(boxText, "No update available.");
}

TEST_F(UpdateButtonTest, NoConnectionAndARefusalShowTheirTexts) {
    controller->updater()->InfoFileURL = "http://" + std::string(70, 'n') + ".invalid/qvn_vantor.inf";
    QString boxText;
    answerNextModal(QStringLiteral("&OK"), nullptr, &boxText);
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, 10000));
    EXPECT_EQ(window->status(), "No internet connection.");
    EXPECT_EQ(boxText, "No internet connection.");

    controller->updater()->InfoFileURL = server.url("/files/qvn_vantor.inf");
    release("1.4");
    server.put("qvn_vantor.inf.sig", TestKey().sign("other bytes"));
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 2; }, 10000));
    EXPECT_EQ(window->status(), "The update information could not be verified.");
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"The update information could not be verified."});
}

TEST_F(UpdateButtonTest, YesDownloadsShowsTheWindowAndHandsOverAtOk) {
    release("1.4");
    answerNextModal(QStringLiteral("&Yes"));
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui->wizard() && ui->wizard()->finishButton()->isEnabled(); }, 10000));
    EXPECT_EQ(ui->wizard()->title()->text(), "Upgrade completed!");
    EXPECT_TRUE(ui->wizard()->isVisible());
    EXPECT_TRUE(std::filesystem::exists(prog + programName() + ".uTMP"));
    QTest::mouseClick(ui->wizard()->finishButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, 10000));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(closes, 1);
}

TEST_F(UpdateButtonTest, CancelAsksAndYesAbortsTheUpdate) {
    release("1.4");
    answerNextModal(QStringLiteral("&Yes"));
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui->wizard() && ui->wizard()->finishButton()->isEnabled(); }, 10000));
    QString title, text, boxText;
    answerNextModal(QStringLiteral("&Yes"), &title, &text,
                    [&] { answerNextModal(QStringLiteral("&OK"), nullptr, &boxText); });
    QTest::keyClick(ui->wizard(), Qt::Key_Escape);  // asked from the completed state too
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, 10000));
    EXPECT_EQ(title, "Quorvane Half-Life 2 benchmark");
    EXPECT_EQ(text, "The update is not completed.\nWould you like to abort upgrading?");
    EXPECT_EQ(window->status(), "Update aborted.");
    EXPECT_EQ(boxText, "Update aborted.");
    EXPECT_FALSE(std::filesystem::exists(prog + programName() + ".uTMP"));
    EXPECT_EQ(starts, 0);
}

}  // namespace
