#include "run/Sequencer.h"

#include "core/GameFiles.h"
#include "platform/FileOps.h"
#include "report/ReportWriter.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"
#include "run/Launcher.h"

#include <utility>

namespace vantor {
namespace {

constexpr const char* kSelectGameMessage =
    "Half-Life 2 was not found. Please choose its hl2.exe with \"Browse...\" beside the Half-Life 2 path on the "
    "\"Path & information\" page.";
constexpr const char* kRetailMessage = "Please, install a retail version of Half-Life 2. Not ready to bench!";
constexpr const char* kNoResolutionMessage = "Please, choose a resolution of Half-Life 2.";

int indexOfWidth(const std::string& width) {
    for (int i = 0; i < kResolutionCount; ++i)
        if (width == std::to_string(kWidths[i])) return i;
    return -1;
}

}  // namespace

Sequencer::Sequencer(AppContext& ctx, GameConfig& config, DemoInstaller& demos, Launcher& launcher,
                     ReportWriter& report)
    : ctx_(ctx), config_(config), demos_(demos), launcher_(launcher), report_(report) {
    launcher_.setTerminateHandler([this](std::uint32_t code) { cpTerminate(code); });
}

void Sequencer::logH(const std::string& line) {
    if (!ctx_.run.HDDMinimize) ctx_.log.append(line);
}

void Sequencer::BenchButtonClick() {
    if (running_) return;
    if (launcher_.cp().state() == TCreateProcess::State::Waiting) {
        // The batch process of a stopped run has not ended yet.
        ctx_.view.setStatus("The last run is still ending. Please click RUN again in a moment.");
        return;
    }
    auto& run = ctx_.run;
    auto& view = ctx_.view;
    const auto& paths = ctx_.paths;

    view.setEnabled(Control::BenchButton, false);
    run.HDDMinimize = view.checked(Check::HDDUse);
    run.ReportPath.clear();
    launcher_.CheckSteamRunning();
    run.RunFinished = false;

    if (!run.SteamRunning) {
        launcher_.OfferSteamStart();
        return;
    }
    // A refusal also ends the log's lines of this click, on a line of its own.
    auto refuse = [&](const std::string& text, const std::string& logLine = {}) {
        logH(logLine.empty() ? text : logLine);
        ctx_.validationMessage(text);
        view.setEnabled(Control::BenchButton, true);
    };
    if (paths.HL2Path.empty()) return refuse(kSelectGameMessage);

    if (!folderExists(view.text(Field::ResEdit)))
        view.setText(Field::ResEdit, paths.BenchPath + "Benchmark" + kPathSep);
    run.ReportPath = view.text(Field::ResEdit);

    logH("");
    if (!paths.SteamPath.empty()) deleteFile(paths.SteamPath + kLaunchBatch);

    if (!folderExists(paths.ResultsPath + "Benchmark")) {
        createFolders(paths.ResultsPath + "Benchmark");
        logH("Create benchmark folder");
    }

    if (view.text(Field::HL2Path).empty()) return refuse(kRetailMessage);

    if (!view.text(Field::DemoEdit).empty()) run.UserDemoFile = fileNamePart(view.text(Field::DemoEdit));
    if (!demos_.checkUserDemo()) {
        logH(view.status());
        view.setEnabled(Control::BenchButton, true);
        return;
    }

    for (int i = 0; i < kResolutionCount; ++i) ticked_[static_cast<std::size_t>(i)] = view.resolutionChecked(i);
    run.ResolutionCount = 0;
    for (bool t : ticked_) run.ResolutionCount += t ? 1 : 0;
    run.PassCount = 0;
    logH("Total resolution: " + std::to_string(run.ResolutionCount));
    if (run.ResolutionCount == 0) return refuse(kNoResolutionMessage);

    // All passes would run and then the report could not be saved.
    if (std::string error; !canCreateFilesIn(run.ReportPath, &error)) {
        return refuse(
            "The results folder " + run.ReportPath + " cannot be written (" + error +
                "). Please choose another results folder on the Miscellaneous page.",
            std::string(kErrorPrefix) + "Results folder not writable: " + run.ReportPath + " (" + error + ")");
    }

    running_ = true;
    stopRequested_ = false;
    phase_ = Phase::Preparing;
    const auto id = ++runId_;
    view.setRunActive(true);
    view.setReport("");
    view.setRunProgress(0, run.ResolutionCount);
    view.setStatus("Preparing...");
    view.repaint();
    prepare(id);
}

void Sequencer::prepare(std::uint64_t id) {
    report_.StampRun();
    logH("Debug date: " + ctx_.run.StartTime);
    if (!config_.BackupGameConfig()) {
        endWithoutReport(kProgramErrorStatus, "");
        return;
    }
    ctx_.checkpointDebugLog();
    demos_.InstallDemo([this, id](bool ok) {
        if (!current(id)) return;
        if (stopRequested_) return endWithoutReport(kRunStoppedStatus, "Benchmark stopped by the user.");
        if (!ok) return endWithoutReport(kProgramErrorStatus, "");
        afterDemo(id);
    });
}

void Sequencer::afterDemo(std::uint64_t id) {
    config_.SetFilterLines();
    config_.SetDXLine();
    config_.WriteDetailConfig([this, id](bool ok) {
        if (!current(id)) return;
        if (stopRequested_) return endWithoutReport(kRunStoppedStatus, "Benchmark stopped by the user.");
        if (!ok) return endWithoutReport(kProgramErrorStatus, "");
        afterDetail(id);
    });
}

void Sequencer::afterDetail(std::uint64_t) {
    auto& run = ctx_.run;
    auto& view = ctx_.view;
    const auto& paths = ctx_.paths;
    launcher_.SetLaunchOptions();
    report_.BeginReport();
    ctx_.log.append("");
    ctx_.log.append("...");
    ctx_.log.append("");
    ctx_.checkpointDebugLog();
    deleteFile(resultFileIn(paths.ResultsPath));

    const std::string field = view.text(Field::ResEdit);
    if (field.empty()) {
        run.ReportPath = paths.BenchPath + "Benchmark" + kPathSep;
    } else {
        if (!folderExists(field)) createFolders(field);
        run.ReportPath = field;
    }

    if (ticked_[0])
        launch(0);
    else
        StartNextPass(800);
}

void Sequencer::StartNextPass(int width) {
    for (int i = 1; i < kResolutionCount; ++i) {
        if (kWidths[i] >= width && ticked_[static_cast<std::size_t>(i)]) {
            launch(i);
            return;
        }
    }
}

void Sequencer::launch(int index) {
    const auto id = runId_;
    phase_ = Phase::Launching;
    ctx_.view.setRunProgress(ctx_.run.PassCount + 1, ctx_.run.ResolutionCount);
    launcher_.LaunchPass(kWidths[index], [this, id](LaunchResult result) {
        if (!current(id)) return;
        switch (result) {
            case LaunchResult::Running:
                phase_ = Phase::Playing;  // cpTerminate follows when the batch process ends
                break;
            case LaunchResult::StartFailed:
            case LaunchResult::TimedOut:
                // The launcher has logged the error and set the status line.
                endWithoutReport(ctx_.view.status(), "");
                break;
            case LaunchResult::Stopped: break;  // Stop() ends the run
        }
    });
}

void Sequencer::cpTerminate(std::uint32_t) {
    if (staleTerminates_ > 0) {
        --staleTerminates_;
        return;
    }
    if (!running_ || phase_ != Phase::Playing) return;
    phase_ = Phase::WaitingForQuit;
    launcher_.CheckGameRunning();
    // The loop sleeps at least once, then polls while the game runs.
    pollGameQuit(runId_, std::chrono::steady_clock::now() + ctx_.timing.gameQuitBound);
}

void Sequencer::pollGameQuit(std::uint64_t id, std::chrono::steady_clock::time_point deadline) {
    pollTimer_ = ctx_.loop.startTimer(ctx_.timing.gamePoll, [this, id, deadline] {
        pollTimer_ = 0;
        if (!current(id)) return;
        launcher_.CheckGameRunning();
        if (ctx_.run.GameRunning) {
            if (std::chrono::steady_clock::now() >= deadline) {
                closeGameThenEnd(
                    std::string(kErrorPrefix) + "HL2 did not quit in " +
                        resolutionText(indexOfWidth(ctx_.run.CurrentWidth)) + ".",
                    "Half-Life 2 did not quit in time. Benchmark aborted; your game settings were restored.",
                    "Half-Life 2 did not quit in time and was closed. Benchmark aborted; your game "
                    "settings were restored.");
                return;
            }
            pollGameQuit(id, deadline);
            return;
        }
        passEnded();
    });
}

void Sequencer::passEnded() {
    auto& run = ctx_.run;
    phase_ = Phase::Finishing;
    ctx_.view.repaint();
    ctx_.log.append("Half-Life 2 terminated.");
    ctx_.checkpointDebugLog();

    const int index = indexOfWidth(run.CurrentWidth);
    if (index < 0) return;
    const std::string res = resolutionText(index);
    ++run.PassCount;
    // 2048×1536 always ends the run; the ticks are fixed for the whole run.
    if (run.PassCount == run.ResolutionCount || index == kResolutionCount - 1) {
        ctx_.log.append(res + " successful.");
        const auto id = runId_;
        report_.FinishPass([this, id] {
            if (id == runId_) finishRun();
        });
        return;
    }
    ctx_.log.append(res + " successful. More to come...");
    const auto id = runId_;
    report_.FinishPass([this, id, index] {
        if (!current(id)) return;
        if (stopRequested_) return endWithoutReport(kRunStoppedStatus, "Benchmark stopped by the user.");
        StartNextPass(kWidths[index + 1]);
    });
}

void Sequencer::finishRun() {
    running_ = false;
    phase_ = Phase::Idle;
    ctx_.view.setRunActive(false);
    ctx_.view.setRunProgress(0, 0);
    auto waiting = std::exchange(whenEnded_, {});
    if (onRunEnded) onRunEnded();
    for (auto& f : waiting) f();
}

void Sequencer::closeGameThenEnd(const std::string& logLine, const std::string& statusNoGame,
                                 const std::string& statusGameClosed) {
    const auto id = runId_;
    phase_ = Phase::Finishing;
    if (!logLine.empty()) ctx_.log.append(logLine);
    launcher_.EndLaunchedGame([this, id, statusNoGame, statusGameClosed](GameEnd end) {
        if (id != runId_) return;
        switch (end) {
            case GameEnd::NoneRunning: endWithoutReport(statusNoGame, ""); break;
            case GameEnd::Ended: endWithoutReport(statusGameClosed, "Half-Life 2 closed."); break;
            case GameEnd::StillRunning:
                endWithoutReport(kGameNotClosedStatus, std::string(kErrorPrefix) + "HL2 could not be closed.");
                break;
        }
    });
}

void Sequencer::endWithoutReport(const std::string& status, const std::string& logLine) {
    const auto id = runId_;
    phase_ = Phase::Finishing;
    if (!logLine.empty()) ctx_.log.append(logLine);
    config_.RestoreGameConfig([this, id, status] {
        if (id != runId_) return;
        ctx_.run.RunFinished = true;
        ctx_.view.setStatus(status);
        ctx_.view.setEnabled(Control::BenchButton, true);
        ctx_.view.setEnabled(Control::DebugBtn, true);
        ctx_.log.append("");
        ctx_.log.append("DEBUG FINISHED.");
        ctx_.log.append(std::string(55, '-'));
        ctx_.checkpointDebugLog();
        if (!ctx_.paths.SteamPath.empty()) deleteFile(ctx_.paths.SteamPath + kLaunchBatch);
        finishRun();
    });
}

void Sequencer::Stop(std::function<void()> ended) {
    if (!running_) {
        if (ended) ended();
        return;
    }
    if (ended) whenEnded_.push_back(std::move(ended));
    if (stopRequested_) return;
    stopRequested_ = true;
    const int index = indexOfWidth(ctx_.run.CurrentWidth);
    const std::string line = phase_ == Phase::Preparing || index < 0
                                 ? std::string("Benchmark stopped by the user.")
                                 : "Benchmark stopped by the user in " + resolutionText(index) + ".";
    if (launcher_.cp().state() == TCreateProcess::State::Waiting) ++staleTerminates_;
    auto closeGame = [&] {
        ctx_.view.setStatus("Stopping...");
        closeGameThenEnd(line, kRunStoppedStatus, kRunStoppedGameClosedStatus);
    };
    switch (phase_) {
        case Phase::Launching:
            launcher_.stopLaunch();
            closeGame();
            break;
        case Phase::WaitingForQuit:
            if (pollTimer_) ctx_.loop.cancelTimer(pollTimer_);
            pollTimer_ = 0;
            closeGame();
            break;
        case Phase::Playing: closeGame(); break;
        case Phase::Preparing:
            // The step under way ends the run when it returns.
            ctx_.view.setStatus("Stopping...");
            break;
        case Phase::Finishing:
            // The run is ending already (report or restore under way); its own
            // status stays.
            break;
        case Phase::Idle: break;
    }
}

void Sequencer::abandon() {
    if (!running_) return;
    if (pollTimer_) ctx_.loop.cancelTimer(pollTimer_);
    pollTimer_ = 0;
    launcher_.cancelEndGame();
    whenEnded_.clear();
    if (phase_ == Phase::Launching) launcher_.stopLaunch();
    ++runId_;
    running_ = false;
    phase_ = Phase::Idle;
}

}  // namespace vantor
