#include "run/Sequencer.h"

#include "core/GameFiles.h"
#include "platform/FileOps.h"
#include "report/ReportWriter.h"
#include "report/RunResults.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"
#include "run/Launcher.h"
#include "run/RunLock.h"
#include "run/SystemNames.h"

#include <algorithm>
#include <utility>

namespace vantor {
namespace {

std::string selectGameMessage() {
    return "Half-Life 2 was not found. Please choose its " + gameProgramsText(kThisOs) +
           " with \"Browse...\" beside the Half-Life 2 path on the \"Path & information\" page.";
}
constexpr const char* kNoResolutionMessage = "Please, choose a resolution of Half-Life 2.";
constexpr const char* kAnotherRunMessage =
    "Another benchmark is running (in another Vantor window or vantor-cli). One benchmark runs at a time: "
    "please start this one when that one has ended.";

// The choices a run reads, each with the page that holds it. A run with one
// of them unchosen would hand the game an empty option.
struct RequiredChoice {
    Choice choice;
    const char* what;
    const char* page;
};
constexpr RequiredChoice kRequiredChoices[] = {
    {Choice::Detail, "the detail level", "Resolution & detail"}, {Choice::Demo, "a demo", "Filters & demos"},
    {Choice::AF, "the texture filtering", "Filters & demos"},    {Choice::AA, "the antialiasing", "Filters & demos"},
    {Choice::Heapsize, "the heap size", "Miscellaneous"},        {Choice::Refresh, "the refresh rate", "Miscellaneous"},
    {Choice::DirectX, "the DirectX level", "Miscellaneous"},
};

}  // namespace

std::string unchosenOptionMessage(const RunRequest& request) {
    for (const auto& r : kRequiredChoices)
        if (choiceIndex(request, r.choice) < 0)
            return std::string("Please choose ") + r.what + " on the \"" + r.page +
                   "\" page. The benchmark has not started.";
    return {};
}

Sequencer::Sequencer(AppContext& ctx, GameConfig& config, DemoInstaller& demos, Launcher& launcher,
                     ReportWriter& report)
    : ctx_(ctx), config_(config), demos_(demos), launcher_(launcher), report_(report) {
    launcher_.setTerminateHandler([this](std::uint32_t code) { cpTerminate(code); });
}

void Sequencer::logH(const std::string& line) {
    if (!ctx_.run.HDDMinimize) ctx_.log.append(line);
}

void Sequencer::start(const RunRequest& request) {
    if (running_) return;
    if (launcher_.passRunner().state() == TCreateProcess::State::Waiting) {
        // The batch process of a stopped run has not ended yet.
        ctx_.view.setStatus("The last run is still ending. Please click RUN again in a moment.");
        return;
    }
    ctx_.request = request;
    auto& run = ctx_.run;
    auto& view = ctx_.view;
    const auto& paths = ctx_.paths;

    // Refused before anything changes.
    if (const std::string unchosen = unchosenOptionMessage(request); !unchosen.empty()) {
        ctx_.log.append(std::string(kErrorPrefix) + unchosen);
        ctx_.validationMessage(unchosen);
        return;
    }
    // Held from here to the run's end; a refusal on the way releases it.
    std::unique_ptr<FileLock> runLock = RunLock::take();
    if (!runLock) {
        ctx_.log.append(std::string(kErrorPrefix) + "Another benchmark is running.");
        ctx_.validationMessage(kAnotherRunMessage);
        return;
    }
    view.setEnabled(Control::BenchButton, false);
    run.HDDMinimize = request.minimizeHddUse;
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
    // Without the game's folders nothing may be created relative to the working folder.
    if (paths.HL2Path.empty() || paths.ResultsPath.empty() || paths.CFGPath.empty() || paths.BenchPath.empty())
        return refuse(selectGameMessage());

    // A results folder that is not there gives way to the program's own (made again when it has gone).
    if (folderExists(request.resultsFolder)) {
        resultsFolder_ = request.resultsFolder;
    } else {
        resultsFolder_ = paths.defaultReports();
        if (!resultsFolder_.empty() && !folderExists(resultsFolder_)) createFolders(resultsFolder_);
    }
    run.ReportPath = resultsFolder_;

    logH("");
    if (!paths.SteamPath.empty()) deleteFile(paths.SteamPath + kLaunchBatch);

    if (!folderExists(paths.ResultsPath + "Benchmark")) {
        createFolders(paths.ResultsPath + "Benchmark");
        logH("Create benchmark folder");
    }

    if (!request.userDemoFile.empty()) run.UserDemoFile = fileNamePart(request.userDemoFile);
    if (!demos_.checkUserDemo()) {
        logH(view.status());
        view.setEnabled(Control::BenchButton, true);
        return;
    }

    plan_ = orderedSizes(request.sizes);
    run.ResolutionCount = static_cast<int>(plan_.size());
    run.PassCount = 0;
    logH("Total resolution: " + std::to_string(run.ResolutionCount));
    if (!request.sizeError.empty()) return refuse(request.sizeError);
    if (run.ResolutionCount == 0) return refuse(kNoResolutionMessage);
    run.Passes = request.passes;
    run.ReportSummary = request.reportSummary;
    run.ResultFiles = request.resultFiles;
    current_ = 0;
    passesOfCurrent_ = 0;
    totalPasses_ = run.ResolutionCount * run.Passes.plannedPasses();

    // All passes would run and then the report could not be saved.
    if (std::string error; !canCreateFilesIn(run.ReportPath, &error)) {
        return refuse(
            "The results folder " + run.ReportPath + " cannot be written (" + error +
                "). Please choose another results folder on the Miscellaneous page.",
            std::string(kErrorPrefix) + "Results folder not writable: " + run.ReportPath + " (" + error + ")");
    }

    running_ = true;
    runLock_ = std::move(runLock);
    stopRequested_ = false;
    phase_ = Phase::Preparing;
    const auto id = ++runId_;
    view.setRunActive(true);
    view.setReport("");
    view.setRunProgress(0, totalPasses_);
    view.setStatus("Preparing...");
    view.repaint();
    prepare(id);
}

void Sequencer::prepare(std::uint64_t id) {
    report_.StampRun();
    logH("Debug date: " + ctx_.run.StartTime);
    if (const StepResult backup = config_.BackupGameConfig(); !backup) {
        endWithoutReport(backup.failure, "");
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
    config_.WriteDetailConfig([this, id](const StepResult& written) {
        if (!current(id)) return;
        if (stopRequested_) return endWithoutReport(kRunStoppedStatus, "Benchmark stopped by the user.");
        if (!written) return endWithoutReport(written.failure, "");
        afterDetail(id);
    });
}

void Sequencer::afterDetail(std::uint64_t) {
    auto& run = ctx_.run;
    const auto& paths = ctx_.paths;
    launcher_.SetLaunchOptions();
    report_.BeginReport();
    ctx_.log.append("");
    ctx_.log.append("...");
    ctx_.log.append("");
    ctx_.checkpointDebugLog();
    deleteFile(resultFileIn(paths.ResultsPath));

    if (!folderExists(resultsFolder_)) createFolders(resultsFolder_);
    run.ReportPath = resultsFolder_;

    std::vector<std::pair<Resolution, int>> planned;
    for (const Resolution& r : plan_) planned.emplace_back(r, run.Passes.plannedPasses());
    estimate_.begin(run.DemoTitle, planned);
    launchCurrent();
}

void Sequencer::launchCurrent() {
    const auto id = runId_;
    phase_ = Phase::Launching;
    const Resolution r = plan_[current_];
    ctx_.view.setRunProgress(ctx_.run.PassCount + 1, totalPasses_);
    estimate_.passStarted(r, RunEstimate::Clock::now());
    launcher_.LaunchPass(r, [this, id](LaunchResult result) {
        if (!current(id)) return;
        switch (result) {
            case LaunchResult::Running:
                phase_ = Phase::Playing;  // cpTerminate follows when the batch process ends
                break;
            case LaunchResult::StartFailed:
            case LaunchResult::TimedOut:
                // The launcher has logged the error.
                endWithoutReport(launchFailureText(result), "");
                break;
            case LaunchResult::Stopped: break;  // Stop() ends the run
        }
    });
    // After the pass's status line; a launch that failed has ended the run.
    if (current(id) && (phase_ == Phase::Launching || phase_ == Phase::Playing))
        ctx_.view.setTimeLeft(estimate_.timeLeft(RunEstimate::Clock::now()));
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
        checkGameQuit(id, deadline);
    });
    // Where the system tells when the game ends, the check runs then rather
    // than at the next poll; the poll stays as the fallback.
    if (!gameExit_)
        gameExit_ = ctx_.processes.watchExit(processNamesFor(kThisOs).game, ctx_.loop, [this, id, deadline] {
            gameExit_.reset();
            if (!current(id) || !pollTimer_) return;
            ctx_.loop.cancelTimer(pollTimer_);
            pollTimer_ = 0;
            checkGameQuit(id, deadline);
        });
}

void Sequencer::checkGameQuit(std::uint64_t id, std::chrono::steady_clock::time_point deadline) {
    if (!current(id)) return;
    launcher_.CheckGameRunning();
    if (ctx_.run.GameRunning) {
        if (std::chrono::steady_clock::now() >= deadline) {
            gameExit_.reset();
            closeGameThenEnd(std::string(kErrorPrefix) + "HL2 did not quit in " + resolutionText(plan_[current_]) + ".",
                             "Half-Life 2 did not quit in time. Benchmark aborted; your game settings were restored.",
                             "Half-Life 2 did not quit in time and was closed. Benchmark aborted; your game "
                             "settings were restored.");
            return;
        }
        pollGameQuit(id, deadline);
        return;
    }
    gameExit_.reset();
    passEnded();
}

void Sequencer::passEnded() {
    auto& run = ctx_.run;
    phase_ = Phase::Finishing;
    ctx_.view.repaint();
    ctx_.log.append("Half-Life 2 terminated.");
    ctx_.checkpointDebugLog();

    if (current_ >= plan_.size()) return;
    const Resolution r = plan_[current_];
    const std::string res = resolutionText(r);
    const PassPolicy& policy = run.Passes;
    ++run.PassCount;
    ++passesOfCurrent_;
    estimate_.passEnded(r, RunEstimate::Clock::now());
    const bool lastResolution = current_ + 1 == plan_.size();
    const bool morePlanned = !lastResolution || passesOfCurrent_ < policy.plannedPasses();
    const std::string pass = policy.single() ? res : res + " pass " + std::to_string(passesOfCurrent_);
    ctx_.log.append(pass + (morePlanned ? " successful. More to come..." : " successful."));

    report_.readPass();
    // The numbers of this resolution's passes so far.
    std::vector<double> scores;
    const auto& all = report_.passScores();
    for (auto it = all.end() - std::min<std::ptrdiff_t>(passesOfCurrent_, std::ssize(all)); it != all.end(); ++it)
        if (it->found)
            if (auto n = scoreNumber(it->score)) scores.push_back(*n);
    const bool another = policy.needsAnotherPass(passesOfCurrent_, scores);
    if (another && passesOfCurrent_ >= policy.plannedPasses()) {
        ctx_.log.append("Spread " + percentText(computeStats(scores).relativeSpread) + " in " + res + " is above " +
                        std::to_string(policy.thresholdPercent) + "%: one more pass.");
        estimate_.addPass(r);
        ++totalPasses_;
    }

    const auto id = runId_;
    if (!another && lastResolution) {
        report_.endPass(true, true, [this, id] {
            if (id == runId_) finishRun();
        });
        return;
    }
    report_.endPass(!another, false, [this, id, another] {
        if (!current(id)) return;
        if (stopRequested_) return endWithoutReport(kRunStoppedStatus, "Benchmark stopped by the user.");
        if (!another) {
            ++current_;
            passesOfCurrent_ = 0;
        }
        launchCurrent();
    });
}

void Sequencer::finishRun() {
    running_ = false;
    runLock_.reset();
    phase_ = Phase::Idle;
    ctx_.view.setRunActive(false);
    ctx_.view.setRunProgress(0, 0);
    ctx_.view.setTimeLeft(std::nullopt);
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
        // A status that says the settings were restored holds only when they were.
        const std::string unrestored = config_.unrestoredText();
        ctx_.view.setStatus(unrestored.empty() ? status : "Benchmark ended. " + unrestored);
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

void Sequencer::afterRun(std::function<void()> f) {
    if (running_)
        whenEnded_.push_back(std::move(f));
    else if (f)
        f();
}

void Sequencer::Stop(std::function<void()> ended) {
    if (!running_) {
        if (ended) ended();
        return;
    }
    if (ended) whenEnded_.push_back(std::move(ended));
    if (stopRequested_) return;
    stopRequested_ = true;
    const std::string line = phase_ == Phase::Preparing || current_ >= plan_.size()
                                 ? std::string("Benchmark stopped by the user.")
                                 : "Benchmark stopped by the user in " + resolutionText(plan_[current_]) + ".";
    if (launcher_.passRunner().state() == TCreateProcess::State::Waiting) ++staleTerminates_;
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
            gameExit_.reset();
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
    gameExit_.reset();
    launcher_.cancelEndGame();
    whenEnded_.clear();
    if (phase_ == Phase::Launching) launcher_.stopLaunch();
    ++runId_;
    running_ = false;
    runLock_.reset();
    phase_ = Phase::Idle;
}

}  // namespace vantor
