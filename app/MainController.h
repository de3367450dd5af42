#pragma once
// The main window's logic (TForm1): owns the settings store, the debug log,
// the paths and run values, and every subsystem; the windows and vantor-cli
// bind their controls and events to it.

#include "app/OptionHandlers.h"
#include "core/AppContext.h"
#include "diag/DebugMode.h"
#include "diag/DiagTool.h"
#include "report/ReportWriter.h"
#include "report/ResultReader.h"
#include "report/RunSummary.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"
#include "run/Launcher.h"
#include "run/Sequencer.h"
#include "update/AutoUpgrader.h"

#include <functional>
#include <memory>
#include <optional>

namespace vantor {

inline constexpr const char* kApplicationTitle = "Quorvane Half-Life 2 benchmark";

class MainController {
public:
    // The window: its controls load the stored options and describe each run.
    MainController(MainView& window, Dialogs& dialogs, EventLoop& loop, Registry& registry, ProcessQuery& processes);
    // Without controls (vantor-cli): start-up decodes the stored options into
    // request(), which the front end may change before it starts a run.
    MainController(RunView& view, Dialogs& dialogs, EventLoop& loop, Registry& registry, ProcessQuery& processes);
    ~MainController();

    AppContext& context() { return ctx_; }
    SettingsStore& store() { return store_; }
    DebugLog& log() { return log_; }

    // The start-up sequence; done runs when it is over (the window may show).
    // benchPath overrides the executable's folder (tests).
    void startUp(std::function<void()> done);
    // The window became visible: true when the donation window must be shown.
    bool windowShown();
    // The donation window's button.
    void donationClosed();
    // The window's own close button: the front end ends the program afterwards.
    void closeButtonClicked();
    // The system close path; done runs when the program may close.
    void closeBySystem(std::function<void()> done);
    // Either close while a run is under way: asks whether to stop the
    // benchmark. Yes stops it as Stop does (the game closed, the user's files
    // restored), then close runs; No keeps the program open and returns false.
    // Without a run close runs at once.
    bool closeRequested(std::function<void()> close);

    // Whether start-up found the game (the run button stays disabled otherwise).
    bool gameFound() const { return !ctx_.paths.HL2Path.empty(); }

    GameConfig& gameConfig() { return config_; }
    DemoInstaller& demos() { return demos_; }
    Launcher& launcher() { return launcher_; }
    ResultReader& resultReader() { return reader_; }
    ReportWriter& reportWriter() { return report_; }
    Sequencer& sequencer() { return sequencer_; }
    // The option pages' handlers (the window only).
    OptionHandlers& options() { return *options_; }

    // The run the front end has set up: the window's controls, else request().
    RunRequest currentRequest() const;
    // Without controls: the stored options after start-up, to change for a run.
    RunRequest& request() { return request_; }
    // The run button and the Stop action.
    void runButtonClicked() { sequencer_.start(currentRequest()); }
    void stopRun() { sequencer_.Stop(); }
    // "Browse..." beside the game path: the user picks the game's executable,
    // which is stored (HL2Exe) and taken at once.
    void chooseGame();
    // "Browse..." beside the Steam folder: the user picks Steam's folder, which
    // is stored (SteamFolder) and taken at once; the game is looked for there
    // when it is not known yet.
    void chooseSteamFolder();
    // The last run (or the one under way) for scripts: resolutions, scores,
    // settings, report, status.
    RunSummary runSummary() const;
    // "Add additional information" changed state.
    void additionalInfoClicked();
    // The debug button.
    void startDebugMode() { debugMode_.startDebugMode(); }

    // The hardware-report tool, shared by debug mode and the Information window.
    DiagTool& diagTool() { return diagTool_; }
    DebugMode& debugMode() { return debugMode_; }

    // Creates the updater with the front end's windows and the key update
    // information must be signed with (the program's entries pass the one
    // compiled in). Call before startUp; without it there is no updater.
    void enableUpdates(AutoUpgraderUi& ui, const UpdatePublicKey& key);
    TAutoUpgrader* updater() { return updater_.get(); }
    // "Update benchmark".
    void checkForUpdate();

    // The physical memory figure computed at start-up.
    int PhysMemMB = 0;

    // What start-up put back in CFGPath after an interrupted run; empty when
    // nothing was left to repair.
    const RecoveredFiles& recoveredFiles() const { return recovered_; }

private:
    // The end of a run that reached its report: the run goes into the history.
    // A failure is logged and shown in the status line; the run stays as it is.
    void storeFinishedRun();
    void startupSteps(std::function<void()> done);
    void discoverSteamAndGame();
    void decodeSettings();
    // The Steam folder and the game's folder in the window.
    void showPaths();
    // CFGPath and ResultsPath of the game's folder found or chosen.
    void useGameFolder(const std::string& gameFolder);
    // A run of another program holds the run lock: its files are not ours to touch.
    bool anotherRunGoesOn() const;
    void recoverLeftovers(std::function<void()> done);
    void recoveryQuestion();

    MainController(RunView& view, MainView* controls, Dialogs& dialogs, EventLoop& loop, Registry& registry,
                   ProcessQuery& processes);

    // Carries the opener's failures back to the UI thread while the controller lives.
    struct OpenerLink;
    std::shared_ptr<OpenerLink> opener_;

    MainView* controls_;  // the window's controls; null without a window
    RunRequest request_;  // the run set up without controls
    SettingsStore store_;
    DebugLog log_;
    AppContext ctx_;
    GameConfig config_;
    DemoInstaller demos_;
    Launcher launcher_;
    ResultReader reader_;
    ReportWriter report_;
    Sequencer sequencer_;
    std::optional<OptionHandlers> options_;
    DiagTool diagTool_;
    DebugMode debugMode_;
    std::unique_ptr<TAutoUpgrader> updater_;
    RecoveredFiles recovered_;
};

}  // namespace vantor
