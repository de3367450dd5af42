#include "app/MainController.h"

#include "app/Discovery.h"
#include "app/RunHistory.h"
#include "app/RunRequestControls.h"
#include "app/SettingsCodec.h"
#include "core/GameFiles.h"
#include "core/OwnFolders.h"
#include "core/ProgramVersion.h"
#include "diag/AddInfo.h"
#include "diag/HardwareInfo.h"
#include "platform/FileOps.h"
#include "platform/SystemInfo.h"
#include "platform/TextFile.h"
#include "run/RunLock.h"
#include "run/SystemNames.h"
#include "update/UpgradeList.h"

#include <algorithm>
#include <cstdlib>

#include <filesystem>
#include <memory>
#include <mutex>
#include <utility>

namespace vantor {
namespace {

constexpr const char* kNoGameMessage =
    "You can't benchmark without the HL2! Please install HL2 before you benchmarking.";
// The file dialog for the game: its title and filter name this system's game
// programs ("Please find the hl2.exe!" with "hl2.exe" on Windows).
std::string findGameTitle() { return "Please find the " + gameProgramsText(kThisOs) + "!"; }
std::string gameFilter() {
    std::string shown, masks;
    for (const char* name : gameProgramFilesFor(kThisOs)) {
        shown += (shown.empty() ? "" : " ") + std::string(name);
        masks += (masks.empty() ? "" : ";") + std::string(name);
    }
    return "Half-Life 2 executable (" + shown + ")|" + masks;
}
constexpr const char* kStopOnCloseQuestion =
    "A benchmark is running. Stop it and close the program? Your game settings will be restored.";
// Left beside the program by an update with the version it brought.
constexpr const char* kUpdateVersionFileName = "version.txt";
constexpr const char* kRecoveryQuestion =
    "Maybe the last time an error occured. The program restored the original settings, but found an "
    "autoexec.cfg file in your HL2 user folder. If it not yours, please delete it. Do you wish to delete "
    "the autoexec.cfg file?";

}  // namespace

struct MainController::OpenerLink {
    std::mutex mutex;
    AppContext* ctx = nullptr;  // null once the controller has gone
};

MainController::MainController(MainView& window, Dialogs& dialogs, EventLoop& loop, Registry& registry,
                               ProcessQuery& processes)
    : MainController(window, &window, dialogs, loop, registry, processes) {}

MainController::MainController(RunView& view, Dialogs& dialogs, EventLoop& loop, Registry& registry,
                               ProcessQuery& processes)
    : MainController(view, nullptr, dialogs, loop, registry, processes) {}

MainController::MainController(RunView& view, MainView* controls, Dialogs& dialogs, EventLoop& loop, Registry& registry,
                               ProcessQuery& processes)
    : opener_(std::make_shared<OpenerLink>()),
      controls_(controls),
      store_(registry),
      ctx_(view, dialogs, loop, store_, log_, processes),
      config_(ctx_),
      demos_(ctx_),
      launcher_(ctx_),
      reader_(ctx_),
      report_(ctx_, reader_,
              [this](std::function<void()> done) {
                  storeFinishedRun();
                  config_.RestoreGameConfig(std::move(done));
              }),
      sequencer_(ctx_, config_, demos_, launcher_, report_),
      debugMode_(ctx_, diagTool_, launcher_, sequencer_) {
    opener_->ctx = &ctx_;
    if (controls_) options_.emplace(ctx_, *controls_);
    debugMode_.userRequest = [this] { return currentRequest(); };
    // A resolution's first pass is estimated from the history of its demo and size.
    sequencer_.estimate().history = [](const std::string& demo, int width,
                                       int height) -> std::optional<RunEstimate::Duration> {
        const auto seconds = typicalPassSeconds(historyFilePath(), demo, width, height);
        if (!seconds) return std::nullopt;
        return std::chrono::duration_cast<RunEstimate::Duration>(std::chrono::duration<double>(*seconds));
    };
    ctx_.shellOpen = [link = opener_](const std::string& target) {
        shellOpen(target, [link, target](const std::string& error) {
            if (error.empty()) return;
            const std::lock_guard lock(link->mutex);
            if (!link->ctx) return;
            link->ctx->loop.post([link, target, error] {
                AppContext* ctx = nullptr;
                {
                    const std::lock_guard uiLock(link->mutex);
                    ctx = link->ctx;
                }
                if (ctx) ctx->openFailed(target, error);
            });
        });
    };
    ctx_.physicalMemory = [] { return totalPhysicalMemory32(); };
    ctx_.homeFolder = homeFolder();
    log_.setSaveFailureHandler([this](const std::string& text) { ctx_.view.setStatus(text); });
}

MainController::~MainController() {
    const std::lock_guard lock(opener_->mutex);
    opener_->ctx = nullptr;
}

void MainController::startUp(std::function<void()> done) {
    // Runs done once, whether start-up ends normally or at an error.
    auto pending = std::make_shared<std::function<void()>>(std::move(done));
    // A refused write (full disk, read-only file) does not stop start-up half
    // way: the paths are all set and the settings decoded; the user is told once
    // at the end which file could not be written and why.
    store_.deferWriteFailures(true);
    auto finish = [this, pending] {
        store_.deferWriteFailures(false);
        if (const std::string failure = store_.takeDeferredFailure(); !failure.empty())
            ctx_.dialogs.error(failure + " Settings changed now are not kept.");
        if (auto f = std::exchange(*pending, nullptr)) f();
    };
    try {
        startupSteps(finish);
    } catch (const SettingsError& e) {
        // A value of another type ends start-up here.
        ctx_.dialogs.error(e.what());
        if (controls_) controls_->showAboutView();
        finish();
    }
}

void MainController::startupSteps(std::function<void()> done) {
    auto& paths = ctx_.paths;
    ctx_.run.DebugMode = false;
    ctx_.run.QueryFailureLogged = false;

    if (paths.BenchPath.empty()) paths.BenchPath = executableFolder();
    // A copy in a folder this user cannot write keeps its files and reports in the user's folders.
    if (paths.OwnFilesPath.empty()) useOwnFolders(paths);
    // Without its own folder the program touches no file relative to the working folder.
    if (const std::string reports = paths.defaultReports(); !reports.empty() && !folderExists(reports))
        createFolders(reports);
    // An update cut short: finished when it was checked, else its downloads go.
    if (!paths.BenchPath.empty()) UpgradeList::recover(paths.BenchPath);
    if (updater_) {
        updater_->ProgramPath =
            paths.BenchPath.empty() ? std::string() : paths.BenchPath + fileNamePart(executablePath());
        updater_->RemoveLeftUpgrader();
    }

    PhysMemMB = computePhysMemMB(ctx_.physicalMemory());

    // The version is the program's own, whole; an update's version file has
    // served its purpose once the program it came with runs.
    const std::string version(programVersion());
    bool newVersion = false;
    if (store_.open()) {
        newVersion = store_.read(sv::Programversion) != version;
        if (newVersion) store_.write(sv::Programversion, version);
        if (!paths.BenchPath.empty()) deleteFile(paths.BenchPath + kUpdateVersionFileName);
    }
    if (controls_) controls_->setLabel(Label::VerseLabel, "v" + version);

    // Seeding belongs to the first start of a version (an install or an
    // update); applied at every start it would drop a pending recovery question.
    if (newVersion && store_.open()) applySeeding(store_);

    if (store_.open()) {
        const std::string headerFile = paths.BenchPath + "version2.txt";
        std::vector<std::string> lines;
        if (!paths.BenchPath.empty() && fileExists(headerFile) && readTextLines(headerFile, lines)) {
            std::string text;
            for (const auto& line : lines) text += line + "\r\n";
            store_.write(sv::HeaderVersion, text);
            deleteFile(headerFile);
        }
        if (controls_) controls_->setLabel(Label::HeaderVersion, store_.read(sv::HeaderVersion));
    }

    if (!paths.ownFiles().empty()) deleteFile(paths.ownFiles() + kDebugLogFileName);

    discoverSteamAndGame();

    if (store_.open()) {
        if (updater_) updater_->VersionNumber = version;
        if (controls_) {
            controls_->setLabel(Label::ProgramVersion, version);
            decodeSettings();
            ctx_.run.ReportPath = controls_->text(Field::ResEdit);
        } else {
            request_ = decodeRequest(store_, [this] {
                if (!ctx_.paths.SteamPath.empty() && !anotherRunGoesOn())
                    deleteFile(ctx_.paths.SteamPath + kLaunchBatch);
            });
            ctx_.run.ReportPath = request_.resultsFolder;
        }
    }

    recoverLeftovers([this, done = std::move(done)] {
        try {
            recoveryQuestion();
        } catch (const SettingsError& e) {
            ctx_.dialogs.error(e.what());
        }
        if (controls_) controls_->showAboutView();
        if (done) done();
    });
}

void MainController::discoverSteamAndGame() {
    auto& paths = ctx_.paths;
    // Start-up logs nothing: notes on unusable library lists are for vantor-cli discover.
    const SteamAndGame found = findSteamAndGame(store_, ctx_.homeFolder);
    paths.SteamPath = found.steamPath;
    paths.HL2Path = found.hl2Path;
    std::string gameFolder = found.gameFolder;
    // With a Steam folder, or Steam's value present (even an empty one), the user is asked.
    if (paths.HL2Path.empty() && (found.steamValueStored || !paths.SteamPath.empty())) {
        auto chosen = ctx_.dialogs.openFile(findGameTitle(), gameFilter());
        std::string why;
        if (chosen && !chosen->empty() && isGameProgram(*chosen, why)) {
            paths.HL2Path = storeChosenGame(store_, *chosen);
            gameFolder = gameFolderOfFile(*chosen);
            if (paths.SteamPath.empty()) paths.SteamPath = steamFolderOfGame(paths.HL2Path);
        } else {
            if (!why.empty()) ctx_.dialogs.message(why);
            ctx_.dialogs.message(kNoGameMessage);
            ctx_.view.setEnabled(Control::BenchButton, false);
        }
    }
    showPaths();
    if (!paths.HL2Path.empty()) {
        useGameFolder(gameFolder.empty() ? gameFolderOf(paths.HL2Path) : gameFolder);
        store_.useSettingsKey();
        if (store_.open()) store_.write(sv::Path, paths.HL2Path);
    }
    store_.useSettingsKey();
}

void MainController::useGameFolder(const std::string& gameFolder) {
    ctx_.paths.CFGPath = cfgPathIn(gameFolder);
    ctx_.paths.ResultsPath = resultsPathIn(gameFolder);
}

void MainController::chooseSteamFolder() {
    if (sequencer_.running()) {
        ctx_.dialogs.message("Please choose Steam's folder when the benchmark has ended.");
        return;
    }
    auto chosen = ctx_.dialogs.chooseFolder("Steam folder");
    if (!chosen || chosen->empty()) return;
    if (const std::string refused = storeChosenSteam(store_, *chosen); !refused.empty()) {
        ctx_.validationMessage(refused + " Please choose the folder Steam is installed in.");
        return;
    }
    auto& paths = ctx_.paths;
    paths.SteamPath = chosenSteamFolder(store_);
    // The game may be in that Steam's libraries.
    if (paths.HL2Path.empty()) {
        const SteamAndGame found = findSteamAndGame(store_, ctx_.homeFolder);
        if (!found.hl2Path.empty()) {
            paths.HL2Path = found.hl2Path;
            useGameFolder(found.gameFolder);
            if (store_.open()) store_.write(sv::Path, paths.HL2Path);
            ctx_.view.setEnabled(Control::BenchButton, true);
        }
    }
    showPaths();
    ctx_.view.setStatus("Steam folder: " + paths.SteamPath +
                        (paths.HL2Path.empty() ? std::string(". Half-Life 2 was not found in its libraries: please "
                                                             "choose the game's program with \"Browse...\" beside "
                                                             "the Half-Life 2 path.")
                                               : std::string()));
}

void MainController::chooseGame() {
    if (sequencer_.running()) {
        ctx_.dialogs.message("Please choose the game when the benchmark has ended.");
        return;
    }
    auto chosen = ctx_.dialogs.openFile(findGameTitle(), gameFilter());
    if (!chosen || chosen->empty()) return;
    if (std::string why; !isGameProgram(*chosen, why)) {
        ctx_.dialogs.message(why);
        return;
    }
    // Taken at once, and by later start-ups when discovery finds no game.
    auto& paths = ctx_.paths;
    paths.HL2Path = storeChosenGame(store_, *chosen);
    useGameFolder(gameFolderOfFile(*chosen));
    if (store_.open()) store_.write(sv::Path, paths.HL2Path);
    if (paths.SteamPath.empty()) paths.SteamPath = steamFolderOfGame(paths.HL2Path);
    showPaths();
    ctx_.view.setEnabled(Control::BenchButton, true);
    ctx_.view.setStatus("Half-Life 2 folder: " + paths.HL2Path);
    // An interrupted run may have left its files in this game's folder.
    recoverLeftovers([this] {
        try {
            recoveryQuestion();
        } catch (const SettingsError& e) {
            ctx_.dialogs.error(e.what());
        }
    });
}

void MainController::decodeSettings() {
    DecodeHooks hooks;
    hooks.detailChosen = [this] { options_->detailChosen(); };
    hooks.demoChosen = [this] { options_->demoChosen(); };
    hooks.addInfoChecked = [this] { additionalInfoClicked(); };
    hooks.afterNote = [this] {
        if (!ctx_.paths.SteamPath.empty() && !anotherRunGoesOn()) deleteFile(ctx_.paths.SteamPath + kLaunchBatch);
    };
    hooks.hl2Known = !ctx_.paths.HL2Path.empty();
    vantor::decodeSettings(store_, *controls_, hooks);
}

bool MainController::anotherRunGoesOn() const { return !sequencer_.running() && RunLock::heldElsewhere(); }

void MainController::recoverLeftovers(std::function<void()> done) {
    recovered_ = {};
    const std::string& cfg = ctx_.paths.CFGPath;
    // The files of a run under way in another program are not leftovers.
    if (cfg.empty() || anotherRunGoesOn()) {
        done();
        return;
    }
    // A write cut short by a kill leaves its temporary file behind.
    removeWriteLeftovers(cfg);
    // A run that recorded its changes is put back exactly; no question needed.
    if (RecoverInterruptedRun(ctx_, &recovered_)) {
        done();
        return;
    }
    // Without a usable journal: a backup comes back where the file in its place
    // is recognisably the program's (or gone); a file the program cannot tell
    // stays, and only then is the user asked about "autoexec.cfg".
    const std::string rc = cfg + kValveRc, oldRc = cfg + kValveRcBackup;
    const std::string autoexec = cfg + kAutoexec, oldAutoexec = cfg + kAutoexecBackup;
    const bool hasOldRc = fileExists(oldRc), hasOldAutoexec = fileExists(oldAutoexec);
    const bool hasAutoexec = fileExists(autoexec);
    if (!hasOldAutoexec && !(hasAutoexec && hasOldRc)) {
        done();
        return;
    }
    const bool rcBack = hasOldRc && (!fileExists(rc) || IsProgramConfigFile(rc));
    const bool autoexecProgram = hasAutoexec && IsProgramConfigFile(autoexec);
    const bool autoexecBack = hasOldAutoexec && (!hasAutoexec || autoexecProgram);
    if (rcBack) deleteFile(rc);
    // The program's file with no backup: the user had none.
    if (autoexecBack || autoexecProgram) deleteFile(autoexec);
    ctx_.loop.startTimer(ctx_.timing.startupRecovery, [this, rc, oldRc, autoexec, oldAutoexec, rcBack, autoexecBack,
                                                       autoexecProgram, done = std::move(done)] {
        if (rcBack && moveFile(oldRc, rc)) recovered_.restored.push_back(kValveRc);
        if (autoexecBack && moveFile(oldAutoexec, autoexec)) recovered_.restored.push_back(kAutoexec);
        if (autoexecProgram && !autoexecBack) recovered_.removed.push_back(kAutoexec);
        if (fileExists(autoexec) && !autoexecBack) {
            try {
                store_.open();
                store_.write(sv::NoErrorWarning, "1");
            } catch (const SettingsError& e) {
                ctx_.dialogs.error(e.what());
            }
        }
        done();
    });
}

void MainController::recoveryQuestion() {
    store_.open();
    if (store_.read(sv::NoErrorWarning) != "1") return;
    if (ctx_.dialogs.confirm(kRecoveryQuestion)) {
        const std::string& cfg = ctx_.paths.CFGPath;
        // The user's backup, when there is one, takes the leftover's place.
        if (!cfg.empty() && !(fileExists(cfg + kAutoexecBackup) && moveFile(cfg + kAutoexecBackup, cfg + kAutoexec)))
            deleteFile(cfg + kAutoexec);
        store_.write(sv::NoErrorWarning, "0");
    }
}

bool MainController::windowShown() {
    try {
        if (!store_.open()) return false;
        return store_.read(sv::Donate) == "0";
    } catch (const SettingsError& e) {
        ctx_.dialogs.error(e.what());
        return false;
    }
}

void MainController::donationClosed() {
    store_.open();
    store_.write(sv::Donate, "1");
}

void MainController::closeButtonClicked() {
    // Another program's run still needs its batch files.
    const std::string steam = anotherRunGoesOn() ? std::string() : ctx_.paths.SteamPath;
    if (!steam.empty()) deleteFile(steam + kLaunchBatch);
    log_.append("");
    log_.append("Application terminated.");
    if (ctx_.run.DebugMode) ctx_.saveDebugLog();
    if (!steam.empty()) deleteFile(steam + kSteamBatch);
}

void MainController::closeBySystem(std::function<void()> done) {
    auto finish = [this, done = std::move(done)] {
        const std::string steam = anotherRunGoesOn() ? std::string() : ctx_.paths.SteamPath;
        if (!steam.empty()) {
            deleteFile(steam + kLaunchBatch);
            deleteFile(steam + kSteamBatch);
        }
        try {
            // The note as the window shows it; without a window nothing changed it.
            if (controls_ && store_.open()) store_.write(sv::Note, controls_->text(Field::NoteEdit));
        } catch (const SettingsError& e) {
            ctx_.dialogs.error(e.what());
        }
        if (done) done();
    };
    sequencer_.abandon();
    if (!ctx_.run.RunFinished)
        config_.RestoreGameConfig(std::move(finish));
    else
        finish();
}

bool MainController::closeRequested(std::function<void()> close) {
    if (!sequencer_.running()) {
        if (close) close();
        return true;
    }
    if (!ctx_.dialogs.confirm(kStopOnCloseQuestion)) return false;
    // The run may have ended while the question was open.
    sequencer_.Stop(std::move(close));
    return true;
}

RunSummary MainController::runSummary() const {
    const auto& view = ctx_.view;
    RunSummary summary;
    summary.status = view.status();
    // As the file system names it (the saved form may hold a doubled separator).
    if (!report_.savedReport().empty())
        summary.report = std::filesystem::path(report_.savedReport()).lexically_normal().string();
    summary.succeeded = !summary.report.empty();
    summary.started = ctx_.run.StartTime;
    for (const Resolution& r : sequencer_.plan()) summary.resolutions.push_back(resolutionText(r));
    for (const auto& pass : report_.passScores()) {
        const auto r = resolutionOfPass(pass);
        if (!r) continue;
        PassSummary p{r->width, r->height, resolutionText(*r), std::nullopt};
        if (pass.found) {
            const auto first = pass.score.find_first_not_of(" \t");
            const auto last = pass.score.find_last_not_of(" \t");
            if (first != std::string::npos) p.score = pass.score.substr(first, last - first + 1);
        }
        summary.passes.push_back(std::move(p));
    }
    summary.settings = runSettings(ctx_);
    return summary;
}

void MainController::storeFinishedRun() {
    const RunSummary summary = runSummary();
    if (std::none_of(summary.passes.begin(), summary.passes.end(), [](const PassSummary& p) { return p.score; }))
        return;
    std::vector<NamedValue> hardware;
    try {
        if (store_.open() && store_.read(sv::SaveInfo) == "1")
            for (const char* name : kHardwareValueNames)
                if (std::string value = store_.read(name); !value.empty()) hardware.push_back({name, std::move(value)});
    } catch (const SettingsError&) {
        // A value of another type is left out; the run is stored all the same.
    }
    const HistoryOutcome outcome = storeRun(
        historyFilePath(), storedRunOf(summary, report_.passScores(), ctx_.run.Passes, ctx_.run.DebugMode, hardware));
    auto tell = [this](const std::string& text) {
        ctx_.log.append(std::string(kErrorPrefix) + text);
        ctx_.view.setStatus(ctx_.view.status() + " " + text);
    };
    if (!outcome.notice.empty()) tell(outcome.notice);
    if (!outcome.error.empty()) tell(std::string(kHistoryNotStored) + outcome.error);
}

void MainController::additionalInfoClicked() {
    if (controls_ && !vantor::additionalInfoClicked(ctx_, controls_->checked(Check::AddInfo)))
        controls_->setChecked(Check::AddInfo, false);
}

RunRequest MainController::currentRequest() const { return controls_ ? requestFromControls(*controls_) : request_; }

void MainController::showPaths() {
    if (!controls_) return;
    controls_->setText(Field::SteamPath, ctx_.paths.SteamPath);
    controls_->setText(Field::HL2Path, ctx_.paths.HL2Path);
}

void MainController::enableUpdates(AutoUpgraderUi& ui, const UpdatePublicKey& key) {
    updater_ = std::make_unique<TAutoUpgrader>(ctx_.loop, ui, key);
    TAutoUpgrader& u = *updater_;
    if (const char* url = std::getenv("VANTOR_UPDATE_URL"); url && *url) u.InfoFileURL = url;
    u.AppTitle = kApplicationTitle;
    u.InfoFileBound = ctx_.timing.httpInfo;
    u.FileBound = ctx_.timing.httpFile;
    u.FileBoundPerMiB = ctx_.timing.httpFilePerMiB;
    u.OpenURL = [this](const std::string& url) { ctx_.shellOpen(url); };
    // UpdaterAborted, UpdaterLaterUpgrade, UpdaterNoUpdateAvailable, UpdaterHostUnreachable:
    // the status line and a message box.
    auto tell = [this, &ui](const char* text) {
        ctx_.view.setStatus(text);
        ui.outcomeBox(kApplicationTitle, text);
    };
    u.OnAborted = [tell] { tell("Update aborted."); };
    u.OnLaterUpgrade = [tell] { tell("Update aborted."); };
    u.OnNoUpdateAvailable = [tell] { tell("No update available."); };
    u.OnHostUnreachable = [tell](const std::string&, const std::string&) { tell("No internet connection."); };
    u.OnOlderVersion = [this](const std::string& offered, const std::string& running) {
        ctx_.log.append(std::string(kErrorPrefix) + TAutoUpgrader::olderVersionText(offered, running));
    };
    u.OnRefused = [this](const std::string& reason) {
        ctx_.log.append(std::string(kErrorPrefix) + reason);
        ctx_.validationMessage(reason);
    };
}

void MainController::checkForUpdate() {
    if (!updater_) return;
    updater_->http().ConnectBound = ctx_.timing.httpConnect;
    updater_->http().StallBound = ctx_.timing.httpStall;
    updater_->BeginCheck();
}

}  // namespace vantor
