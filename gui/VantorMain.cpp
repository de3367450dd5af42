// vantor: the program with its windows.
//
//   vantor                      the program
//   vantor --screenshot DIR     saves PNGs of the About view, of every page (History too), of the donation window
//                               and of the Information window after "Get info" into DIR, then ends
//   vantor --exit-when-shown    ends as soon as the window has been shown and painted (benchmarks)
//   vantor --exit-when-idle     ends once the window is complete and idle, its pages built (benchmarks)
//   vantor --run                clicks the run button once the window shows; prints the report's
//                               path when the run has ended and closes the window shortly after
//   vantor --update             clicks "Update benchmark" once the window shows (demonstrations)
//   vantor /afterupgrade...     as started again after an update: the argument has no meaning
//   vantor --version            prints the program's version

#include "app/MainController.h"
#include "app/ProcessScope.h"
#include "core/ProgramVersion.h"
#include "gui/AutoUpgraderUiQt.h"
#include "gui/DialogsQt.h"
#include "gui/DonationForm.h"
#include "gui/EventLoopQt.h"
#include "gui/HardwareInfoForm.h"
#include "gui/HistoryPage.h"
#include "gui/MainWindow.h"
#include "gui/StyleQt.h"
#include "platform/FileOps.h"
#include "platform/ProcessList.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "platform/TerminationRequests.h"
#include "update/UpdatePublicKey.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

using namespace vantor;

namespace {

// Opens the Information window, clicks "Get info" and waits (bounded) until the
// collection has ended.
void collectHardwareInfo(HardwareInfoForm& form) {
    form.show();
    QCoreApplication::processEvents();
    bool ended = false;
    form.logic().onCollectionEnded = [&] { ended = true; };
    form.logic().collect();
    QElapsedTimer clock;
    clock.start();
    while (!ended && clock.elapsed() < 30'000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    form.logic().onCollectionEnded = nullptr;
}

// Saves the About view and each page of the window, then the donation window
// and the Information window after "Get info".
bool saveScreenshots(MainWindow& window, HardwareInfoForm& info, const QString& folder) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "vantor: cannot create %s\n", qPrintable(folder));
        return false;
    }
    auto save = [&](QWidget& widget, const QString& name) {
        QCoreApplication::processEvents();
        const QString path = QDir(folder).filePath(name);
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "vantor: cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    };
    bool ok = true;
    window.buildAllPages();
    window.openMenuGroup(-1);
    window.showAboutView();
    ok &= save(window, QStringLiteral("about.png"));
    const char* names[kPageCount] = {"path", "resolution", "filters", "misc", "sponsor", "debug", "donate", "passes"};
    for (int page = 0; page < kPageCount; ++page) {
        window.openMenuGroup(page <= 3 || page == 7 ? 0 : 1);
        window.showPage(page);
        ok &= save(window, QStringLiteral("page%1-%2.png").arg(page).arg(QLatin1String(names[page])));
    }
    // The History page with the two newest runs compared.
    window.openMenuGroup(0);
    window.showHistory();
    if (QTableWidget* runs = window.historyPage()->runsTable(); runs->rowCount() >= 2)
        window.historyPage()->selectRuns(
            {runs->item(0, 0)->data(Qt::UserRole).toLongLong(), runs->item(1, 0)->data(Qt::UserRole).toLongLong()});
    ok &= save(window, QStringLiteral("history.png"));
    window.openMenuGroup(-1);
    window.showAboutView();
    DonationForm donation(nullptr, &window);
    donation.show();
    ok &= save(donation, QStringLiteral("donation.png"));
    donation.hide();
    collectHardwareInfo(info);
    ok &= save(info, QStringLiteral("information.png"));
    info.hide();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    // Before Qt: the version needs no display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            if (argc != 2) {
                std::fprintf(stderr, "vantor: --version takes no other argument\n");
                return 2;
            }
            std::printf("vantor %s\n", std::string(programVersion()).c_str());
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationName(QStringLiteral("Vantor"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kAppTitle));
    style::applyVantorLook(app);

    QString screenshotFolder;
    bool exitWhenShown = false;
    bool exitWhenIdle = false;
    bool runOnce = false;
    bool updateOnce = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshotFolder = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--exit-when-shown") == 0) {
            exitWhenShown = true;
        } else if (std::strcmp(argv[i], "--exit-when-idle") == 0) {
            exitWhenIdle = true;
        } else if (std::strcmp(argv[i], "--run") == 0) {
            runOnce = true;
        } else if (std::strcmp(argv[i], "--update") == 0) {
            updateOnce = true;
        } else if (std::strncmp(argv[i], "/afterupgrade", 13) == 0) {
            // Started again by the replacement program: nothing more to do.
        } else {
            std::fprintf(stderr,
                         "vantor: unknown argument '%s'\nusage: vantor [--screenshot DIR | --exit-when-shown | "
                         "--exit-when-idle | --run | --update | --version]\n",
                         argv[i]);
            return 2;
        }
    }

    std::unique_ptr<Registry> registry = openPlatformRegistry();
    ScopedProcessQuery processes;
    EventLoopQt loop;
    DialogsQt dialogs;
    MainWindow window(executableFolder() + "Pictures" + kPathSep);
    dialogs.setOwner(&window);
    loop.onError = [&dialogs](const std::string& text) { dialogs.error(text); };
    MainController controller(window, dialogs, loop, *registry, processes);
    window.bind(controller);
    window.onTerminate = [] { QCoreApplication::exit(0); };
    AutoUpgraderUiQt updaterUi(&window);
    controller.enableUpdates(updaterUi, kUpdatePublicKey);
    // After the hand-over to the replacement program the window closes as by the system.
    controller.updater()->CloseApplication = [&window] {
        QTimer::singleShot(0, &window, [&window] { window.close(); });
    };
    window.setUpdateAction([&controller] { controller.checkForUpdate(); });
    // TForm2 comes after the main window's start-up.
    std::unique_ptr<HardwareInfoForm> form2;
    auto createForm2 = [&] {
        form2 = std::make_unique<HardwareInfoForm>(controller.context(), controller.diagTool(), &window);
        window.setHardwareWindowAction([&] { form2->exec(); });
        window.setDebugAction([&] { controller.startDebugMode(); });
    };

    int result = 0;
    if (!screenshotFolder.isEmpty()) {
        window.afterShown = [&] {
            QTimer::singleShot(0, &window, [&] {
                result = saveScreenshots(window, *form2, screenshotFolder) ? 0 : 1;
                QCoreApplication::exit(result);
            });
        };
    } else if (exitWhenShown) {
        // Ends when the window has been painted and windowShown has run.
        window.buildPagesAfterFirstPaint = false;  // they would come after the moment measured
        auto endWhenBoth = [&window, shown = std::make_shared<int>(0)] {
            if (++*shown == 2) {
                window.afterShown = nullptr;
                QCoreApplication::exit(0);
            }
        };
        window.afterShown = endWhenBoth;
        window.afterFirstPaint = endWhenBoth;
    } else if (exitWhenIdle) {
        window.afterShown = [&] {
            QTimer::singleShot(0, &window, [&] {
                window.repaint();
                window.buildAllPages();
                QTimer::singleShot(0, &window, [] { QCoreApplication::exit(0); });
            });
        };
    } else if (updateOnce) {
        window.afterShown = [&] { QTimer::singleShot(0, &window, [&] { controller.checkForUpdate(); }); };
    } else if (runOnce) {
        controller.sequencer().onRunEnded = [&] {
            const std::string& report = controller.reportWriter().savedReport();
            if (!report.empty()) std::printf("%s\n", std::filesystem::path(report).lexically_normal().string().c_str());
            std::fflush(stdout);
            // Leave the result on screen for a moment, then close as the system would.
            QTimer::singleShot(3000, &window, [&window] { window.close(); });
        };
        window.afterShown = [&] {
            QTimer::singleShot(0, &window, [&] {
                controller.runButtonClicked();
                if (!controller.sequencer().running()) QTimer::singleShot(3000, &window, [&window] { window.close(); });
            });
        };
    }

    // A request to end from outside (a kill, the terminal closing): the run
    // stops, the user's files come back, then the window closes as by the system.
    if (const int fd = watchTerminationRequests(); fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [fd, &controller, &window] {
            drainTerminationRequests(fd);
            controller.sequencer().Stop([&window] { QTimer::singleShot(0, &window, [&window] { window.close(); }); });
        });
    }

    // The start-up sequence runs inside the loop: its waits are timers.
    QTimer::singleShot(0, &window, [&] {
        controller.startUp([&] {
            createForm2();
            window.centreOnScreen();
            window.show();
        });
    });
    const int code = app.exec();
    return screenshotFolder.isEmpty() ? code : result;
}
