#pragma once
// The launch of a pass: the command options, "vantor.bat" and "steam.bat" in
// SteamPath, the process runners cp and steamRunner, the checks whether Steam and the
// game run, and the offer to start Steam.

#include "core/AppContext.h"
#include "core/Resolutions.h"
#include "platform/ProcessRunner.h"

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vantor {

enum class LaunchResult {
    Running,      // the game runs; "START HL2 in WxH." logged
    StartFailed,  // the batch file could not be started (logged, button enabled)
    TimedOut,     // the game did not appear within the bound (logged)
    Stopped,      // stopLaunch() was called
};

// What ending the game of a run came to.
enum class GameEnd {
    NoneRunning,   // no game of this run was running
    Ended,         // the game was ended and has gone
    StillRunning,  // the game was asked to end but had not gone by the bound
};

// How the offer to start Steam goes: the run button's way by default.
struct SteamOffer {
    bool logAlways = false;  // the two lines go to the log whatever HDDMinimize holds
    const char* loadingStatus = "Loading. Please wait while the Steam successfully loaded... After that click RUN.";
    bool enableOnlyOnFailure = false;  // only a failed start enables the run button
};

// The command of a pass; widthIndex 0..5 in the pass table. steamProgram is the
// program that hands the launch to Steam (run/SystemNames.h).
std::string buildLaunchCommand(int widthIndex, const RunState& run, const std::string& steamProgram = "steam.exe");
// The command of a pass at any size; only 640×480 gets "-console".
std::string buildLaunchCommand(Resolution r, const RunState& run, const std::string& steamProgram = "steam.exe");

// What the status line says once the game has not appeared for a while: what
// may keep it, and how long the run still waits (bound in all).
std::string gameStartWaitNotice(std::chrono::milliseconds bound);

// What the user is told when a launch ended with a failure; empty otherwise.
std::string launchFailureText(LaunchResult result);

class Launcher {
public:
    explicit Launcher(AppContext& ctx);
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    void SetLaunchOptions();
    void CheckSteamRunning();
    void CheckGameRunning();
    void OfferSteamStart(const SteamOffer& offer = {});

    // Launches the pass (width 640 ... 2048); done runs once the game runs, at
    // once after a start failure, or when the wait bound is reached. cp's end
    // notification is held back until done has run: after done(Running) it is
    // delivered right away; after TimedOut or Stopped the pass is abandoned and
    // a notification held for it is dropped (one that comes later is delivered).
    void LaunchPass(int width, std::function<void(LaunchResult)> done);
    // The same for any size (today's resolutions, the user's own): CurrentWidth
    // and CurrentHeight are set to it.
    void LaunchPass(Resolution r, std::function<void(LaunchResult)> done);
    // Ends a LaunchPass wait early (done gets Stopped).
    void stopLaunch();

    // Ends the game that the passes of this program launched: only programs
    // started from the game's folder after the last launch. Waits for them to
    // go, at most gameEndBound; done follows (at once when none runs).
    void EndLaunchedGame(std::function<void(GameEnd)> done);
    // Drops a pending EndLaunchedGame without calling its done.
    void cancelEndGame();

    // cp's end notification (the sequencer's cpTerminate).
    void setTerminateHandler(std::function<void(std::uint32_t exitCode)> handler);

    TCreateProcess& passRunner() { return passRunner_; }
    TCreateProcess& steamRunner() { return steamRunner_; }

private:
    void checkRunning(std::span<const char* const> names, const char* logName, bool& flag);
    bool writeBatch(const std::string& name, const std::string& line);
    void pollGame();
    void finishLaunch(LaunchResult result);
    void terminated(std::uint32_t exitCode);
    std::string gameFolder() const;
    bool launchedGames(std::vector<std::uint32_t>& ids);
    void pollGameEnd(std::chrono::steady_clock::time_point deadline, std::function<void(GameEnd)> done);

    AppContext& ctx_;
    TCreateProcess passRunner_;
    TCreateProcess steamRunner_;
    std::function<void(std::uint32_t)> onTerminate_;
    // The launch wait in progress, if any.
    struct Wait;
    std::shared_ptr<Wait> wait_;
    // When the last pass was launched, on the process list's clock; 0 before any.
    std::uint64_t launchedAt_ = 0;
    EventLoop::TimerId endTimer_ = 0;
};

}  // namespace vantor
