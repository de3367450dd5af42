#include "run/Launcher.h"

#include "core/GameFiles.h"
#include "platform/FileOps.h"
#include "platform/OsFamily.h"
#include "platform/TextFile.h"
#include "run/SystemNames.h"

#include <cctype>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace vantor {
namespace {

constexpr const char* kGameStartTimeoutStatus =
    "Half-Life 2 did not start. Benchmark aborted. Please see the help file (debuginfo section)!";

int indexOfWidth(int width) {
    for (int i = 0; i < kResolutionCount; ++i)
        if (kWidths[i] == width) return i;
    return -1;
}

void hideWindow(TCreateProcess& p) {
    p.StartupInfo.DefaultPosition = false;
    p.StartupInfo.DefaultSize = false;
    p.StartupInfo.DefaultWindowState = false;
    p.StartupInfo.ShowWindow = TCPSShowWindow::Hide;
}

}  // namespace

std::string buildLaunchCommand(int widthIndex, const RunState& run, const std::string& steamProgram) {
    if (widthIndex < 0 || widthIndex >= kResolutionCount) throw std::out_of_range("pass index");
    return buildLaunchCommand(Resolution{kWidths[widthIndex], kHeights[widthIndex]}, run, steamProgram);
}

std::string buildLaunchCommand(Resolution r, const RunState& run, const std::string& steamProgram) {
    std::string cmd = steamProgram + " -applaunch 220";
    if (r == Resolution{kWidths[0], kHeights[0]}) cmd += " -console";
    cmd += " -preload -novid -mat_preloadshaders -nocdaudio -nosound -width ";
    cmd += std::to_string(r.width) + " -height " + std::to_string(r.height) + " ";
    cmd += run.FastZArg + " " + run.RefreshArg + " " + run.HeapArg;
    cmd += " +timedemoquit " + run.DemoName;
    return cmd;
}

// A launch waiting for the game to appear.
struct Launcher::Wait {
    std::function<void(LaunchResult)> done;
    std::string resolution;  // "W×H"
    std::chrono::steady_clock::time_point deadline;
    std::chrono::steady_clock::time_point noticeAt;  // when the run says what it waits for
    bool noticed = false;
    EventLoop::TimerId timer = 0;
    bool terminateHeld = false;  // cp ended while the launch still waited
    std::uint32_t exitCode = 0;
};

Launcher::Launcher(AppContext& ctx) : ctx_(ctx), passRunner_(ctx.loop), steamRunner_(ctx.loop) {
    hideWindow(passRunner_);
    hideWindow(steamRunner_);
    steamRunner_.setWaitForTerminate(false);
    passRunner_.OnTerminate = [this](TCreateProcess&, std::uint32_t exitCode) { terminated(exitCode); };
}

Launcher::~Launcher() {
    if (wait_ && wait_->timer) ctx_.loop.cancelTimer(wait_->timer);
    cancelEndGame();
}

void Launcher::setTerminateHandler(std::function<void(std::uint32_t exitCode)> handler) {
    onTerminate_ = std::move(handler);
}

void Launcher::SetLaunchOptions() {
    auto& run = ctx_.run;
    const auto& request = ctx_.request;
    static const char* const kRefresh[] = {"60", "70", "75", "85"};
    const int refresh = itemIndex(request.refreshRate);
    if (refresh >= 0 && refresh <= 3) run.RefreshArg = std::string("-refresh ") + kRefresh[refresh];
    ctx_.log.append("Refresh rate: " + std::string(choiceItemText(Choice::Refresh, refresh)));

    const bool fastZ = request.fastZ;
    run.FastZArg = fastZ ? "+r_fastzreject 1" : "+r_fastzreject 0";
    ctx_.log.append(fastZ ? "Fast Z: Enabled" : "Fast Z: Disabled");

    static const char* const kHeap[] = {"64000", "128000", "256000", "512000", "1024000"};
    const int heap = itemIndex(request.heapSize);
    if (heap >= 0 && heap <= 4) run.HeapArg = std::string("-heapsize ") + kHeap[heap];
    ctx_.log.append("Heapsize: " + std::string(choiceItemText(Choice::Heapsize, heap)));
}

void Launcher::checkRunning(std::span<const char* const> names, const char* logName, bool& flag) {
    std::vector<ProcessEntry> list;
    if (ctx_.processes.list(list)) {
        std::string running;
        for (const auto& entry : list) running += entry.name + "\n";
        flag = false;
        for (const char* name : names) flag = flag || ContainsIgnoringCase(name, running);
    } else if (!ctx_.run.QueryFailureLogged) {
        ctx_.log.append(std::string("The ") + logName + " not exist.");
        ctx_.run.QueryFailureLogged = true;
    }
}

void Launcher::CheckSteamRunning() { checkRunning(processNamesFor(kThisOs).steam, "steam.exe", ctx_.run.SteamRunning); }

void Launcher::CheckGameRunning() { checkRunning(processNamesFor(kThisOs).game, "hl2.exe", ctx_.run.GameRunning); }

// Writes a one-line batch file into SteamPath; logs a failure.
bool Launcher::writeBatch(const std::string& name, const std::string& line) {
    const std::string& steam = ctx_.paths.SteamPath;
    // Without a Steam folder the file would land in the working folder.
    if (steam.empty() || !writeTextFile(steam + name, {line})) {
        std::string label = name;
        label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
        ctx_.log.append(std::string(kErrorHandlingPrefix) + label + " save is impossible.");
        return false;
    }
    return true;
}

constexpr const char* kSteamUnknownStatus =
    "Steam was not found. Please choose Steam's folder with \"Browse...\" beside the Steam folder on the \"Path & "
    "information\" page, or start Steam yourself, then click RUN again.";

void Launcher::OfferSteamStart(const SteamOffer& offer) {
    auto& view = ctx_.view;
    const std::string& steam = ctx_.paths.SteamPath;
    if (offer.logAlways || !ctx_.run.HDDMinimize) {
        ctx_.log.append("");
        ctx_.log.append("The Steam NOT running! Waiting...");
    }
    view.setStatus("Error! The Steam NOT running!");
    view.repaint();
    bool enable = true;
    if (ctx_.dialogs.confirm("Error! The STEAM not running. Run now?")) {
        view.setStatus(offer.loadingStatus);
        bool ok = writeBatch(kSteamBatch, steamProgramFor(kThisOs, steam));
        steamRunner_.CurrentDirectory = steam;
        if (!folderExists(steam)) ctx_.log.append(std::string(kErrorHandlingPrefix) + "CP CurrentDirectory not exist.");
        steamRunner_.CommandLine = steam + kSteamBatch;
        if (ok) {
            try {
                steamRunner_.Start();
            } catch (const EOSError&) {
                ok = false;
            }
        }
        if (!ok) {
            ctx_.log.append(std::string(kErrorHandlingPrefix) + "Steam run error " + resolutionText(0) + ".");
            view.setStatus(kProgramErrorStatus);
            // What to do next, after the classic line.
            view.setStatus(steam.empty() ? std::string(kSteamUnknownStatus)
                                         : "Steam could not be started from " + steam +
                                               ". Please start Steam yourself, then click RUN again.");
        }
        enable = !ok || !offer.enableOnlyOnFailure;
    } else {
        view.setStatus("Please RUN the Steam (online or offline) before bench.");
        enable = !offer.enableOnlyOnFailure;
    }
    if (enable) view.setEnabled(Control::BenchButton, true);
}

std::string launchFailureText(LaunchResult result) {
    switch (result) {
        case LaunchResult::StartFailed: return kProgramErrorStatus;
        case LaunchResult::TimedOut: return kGameStartTimeoutStatus;
        case LaunchResult::Running:
        case LaunchResult::Stopped: break;
    }
    return {};
}

std::string gameStartWaitNotice(std::chrono::milliseconds bound) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
    const std::string limit =
        seconds >= 120 ? std::to_string(seconds / 60) + " minutes" : std::to_string(seconds) + " seconds";
    return "Still waiting for Half-Life 2 to start. Steam may be showing a window that waits for you (an update, "
           "a sign-in, a question before the launch), or the game may be in a library Steam does not use. The run "
           "waits up to " +
           limit + " in all, or until you stop it.";
}

void Launcher::LaunchPass(int width, std::function<void(LaunchResult)> done) {
    const int index = indexOfWidth(width);
    if (index < 0) throw std::invalid_argument("LaunchPass: no pass of width " + std::to_string(width));
    LaunchPass(Resolution{kWidths[index], kHeights[index]}, std::move(done));
}

void Launcher::LaunchPass(Resolution r, std::function<void(LaunchResult)> done) {
    auto& run = ctx_.run;
    auto& view = ctx_.view;
    const std::string& steam = ctx_.paths.SteamPath;
    const bool first = r == Resolution{kWidths[0], kHeights[0]};
    const std::string res = resolutionText(r);

    if (!first) ctx_.log.append("");
    view.setStatus((run.DebugMode ? "Debug in progress... Resolution: " : "Benchmarking in progress... Resolution: ") +
                   res);
    if (r == Resolution{kWidths[1], kHeights[1]}) ctx_.checkpointDebugLog();
    view.repaint();
    run.CurrentWidth = std::to_string(r.width);
    run.CurrentHeight = r.height;

    run.LaunchCommand = buildLaunchCommand(r, run, steamProgramFor(kThisOs, steam));
    const bool batchWritten = writeBatch(kLaunchBatch, run.LaunchCommand);

    passRunner_.CurrentDirectory = steam;
    if (!folderExists(steam)) ctx_.log.append(std::string(kErrorHandlingPrefix) + "CP CurrentDirectory not exist.");
    passRunner_.CommandLine = steam + kLaunchBatch;
    bool started = false;
    if (batchWritten) {
        try {
            launchedAt_ = ctx_.processes.now();
            passRunner_.Start();
            started = true;
        } catch (const EOSError&) {}
    }
    if (!started) {
        ctx_.log.append(std::string(kErrorHandlingPrefix) + "CP run error " + res + ".");
        view.setEnabled(Control::BenchButton, true);
        done(LaunchResult::StartFailed);
        return;
    }

    wait_ = std::make_shared<Wait>();
    wait_->done = std::move(done);
    wait_->resolution = res;
    const auto now = std::chrono::steady_clock::now();
    wait_->deadline = now + ctx_.timing.gameStartBound;
    wait_->noticeAt = now + ctx_.timing.gameStartNotice;
    pollGame();
}

void Launcher::pollGame() {
    std::weak_ptr<Wait> weak = wait_;
    wait_->timer = ctx_.loop.startTimer(ctx_.timing.gamePoll, [this, weak] {
        auto wait = weak.lock();
        if (!wait || wait != wait_) return;
        wait->timer = 0;
        CheckGameRunning();
        if (ctx_.run.GameRunning) {
            ctx_.log.append("START HL2 in " + wait->resolution + ".");
            finishLaunch(LaunchResult::Running);
        } else if (std::chrono::steady_clock::now() >= wait->deadline) {
            ctx_.log.append(std::string(kErrorPrefix) + "HL2 did not start in " + wait->resolution + ".");
            finishLaunch(LaunchResult::TimedOut);
        } else {
            if (!wait->noticed && std::chrono::steady_clock::now() >= wait->noticeAt) {
                wait->noticed = true;
                ctx_.view.setStatus(gameStartWaitNotice(ctx_.timing.gameStartBound));
            }
            pollGame();
        }
    });
}

void Launcher::finishLaunch(LaunchResult result) {
    auto wait = std::move(wait_);
    wait_.reset();
    if (wait->timer) ctx_.loop.cancelTimer(wait->timer);
    wait->done(result);
    if (result == LaunchResult::Running && wait->terminateHeld && onTerminate_) onTerminate_(wait->exitCode);
}

void Launcher::stopLaunch() {
    if (wait_) finishLaunch(LaunchResult::Stopped);
}

// The game's own folder: the one that holds ResultsPath ("<game>/hl2/"), so
// that it is the folder discovery found, whatever other spellings exist.
std::string Launcher::gameFolder() const {
    std::string results = ctx_.paths.ResultsPath;
    if (!results.empty() && results.back() == kPathSep) results.pop_back();
    const auto pos = results.rfind(kPathSep);
    return pos == std::string::npos ? std::string() : results.substr(0, pos + 1);
}

bool Launcher::launchedGames(std::vector<std::uint32_t>& ids) {
    ids.clear();
    if (launchedAt_ == 0 || gameFolder().empty()) return true;
    return ctx_.processes.startedUnder(gameFolder(), launchedAt_, ids);
}

void Launcher::EndLaunchedGame(std::function<void(GameEnd)> done) {
    cancelEndGame();
    std::vector<std::uint32_t> ids;
    if (!launchedGames(ids) || ids.empty()) {
        done(GameEnd::NoneRunning);
        return;
    }
    for (auto id : ids) ctx_.processes.terminate(id);
    pollGameEnd(std::chrono::steady_clock::now() + ctx_.timing.gameEndBound, std::move(done));
}

void Launcher::pollGameEnd(std::chrono::steady_clock::time_point deadline, std::function<void(GameEnd)> done) {
    endTimer_ = ctx_.loop.startTimer(ctx_.timing.gameEndPoll, [this, deadline, done = std::move(done)]() mutable {
        endTimer_ = 0;
        std::vector<std::uint32_t> ids;
        const bool listed = launchedGames(ids);
        if (listed && ids.empty()) return done(GameEnd::Ended);
        if (std::chrono::steady_clock::now() >= deadline) return done(GameEnd::StillRunning);
        pollGameEnd(deadline, std::move(done));
    });
}

void Launcher::cancelEndGame() {
    if (endTimer_) ctx_.loop.cancelTimer(endTimer_);
    endTimer_ = 0;
}

void Launcher::terminated(std::uint32_t exitCode) {
    if (wait_) {
        wait_->terminateHeld = true;
        wait_->exitCode = exitCode;
        return;
    }
    if (onTerminate_) onTerminate_(exitCode);
}

}  // namespace vantor
