#pragma once
// A benchmark run: the run button's checks and preparation, the passes of each
// ticked resolution (smallest first; the ticks are taken once when the run
// starts; one pass each unless more are set, extra ones while the scores spread
// with adaptive passes), the pass end, the report and the restore. Every wait
// is a timer with a bound; a run can be stopped.

#include "core/AppContext.h"
#include "core/Resolutions.h"
#include "platform/ProgramFile.h"
#include "run/RunEstimate.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantor {

class GameConfig;
class DemoInstaller;
class Launcher;
class ReportWriter;

inline constexpr const char* kRunStoppedStatus = "Benchmark stopped. Your game settings were restored.";
inline constexpr const char* kRunStoppedGameClosedStatus =
    "Benchmark stopped. Half-Life 2 was closed and your game settings were restored.";
inline constexpr const char* kGameNotClosedStatus =
    "Benchmark ended, but Half-Life 2 could not be closed. Your game settings were restored; please quit the game "
    "before you play.";

// Why a run cannot start with the request: the first of detail, demo,
// filtering, antialiasing, heap size, refresh rate and DirectX level without a
// choice, named with its page; empty when all are chosen.
std::string unchosenOptionMessage(const RunRequest& request);

class Sequencer {
public:
    Sequencer(AppContext& ctx, GameConfig& config, DemoInstaller& demos, Launcher& launcher, ReportWriter& report);

    // Starts the run the request describes (the run button, debug mode,
    // vantor-cli); a refusal says why and changes nothing.
    void start(const RunRequest& request);
    // Ends a running benchmark cleanly: the pass is logged as stopped, the game
    // this run launched is closed and waited for, no report, the user's files
    // restored, buttons enabled. ended (when given) runs once the run has ended.
    void Stop(std::function<void()> ended = nullptr);
    // The window is closing: drop every pending step without restoring (the
    // close path restores).
    void abandon();

    bool running() const { return running_; }
    // Runs f once the run under way has ended (at once when none is).
    void afterRun(std::function<void()> f);
    // The resolutions taken for the run under way (or the last one), in pass order.
    const std::vector<Resolution>& plan() const { return plan_; }
    // The estimate of the time left; its history source may be set.
    RunEstimate& estimate() { return estimate_; }

    // Called once whenever a run ends, in any way.
    std::function<void()> onRunEnded;

private:
    void prepare(std::uint64_t id);
    void afterDemo(std::uint64_t id);
    void afterDetail(std::uint64_t id);
    void launchCurrent();
    void cpTerminate(std::uint32_t exitCode);
    void pollGameQuit(std::uint64_t id, std::chrono::steady_clock::time_point deadline);
    void checkGameQuit(std::uint64_t id, std::chrono::steady_clock::time_point deadline);
    void passEnded();
    void finishRun();
    // Ends the run without a report: error line (when given), status, restore,
    // buttons enabled, the run's closing log lines.
    void endWithoutReport(const std::string& status, const std::string& logLine);
    // Closes the game this run launched, then ends the run without a report
    // with the status for a run that had no game running or for one whose game
    // was closed.
    void closeGameThenEnd(const std::string& logLine, const std::string& statusNoGame,
                          const std::string& statusGameClosed);
    void logH(const std::string& line);
    bool current(std::uint64_t id) const { return running_ && id == runId_; }

    AppContext& ctx_;
    GameConfig& config_;
    DemoInstaller& demos_;
    Launcher& launcher_;
    ReportWriter& report_;
    std::vector<Resolution> plan_;
    std::size_t current_ = 0;  // index in plan_ of the resolution under way
    int passesOfCurrent_ = 0;  // its passes ended so far
    int totalPasses_ = 0;      // passes of the run as known now
    RunEstimate estimate_;
    enum class Phase { Idle, Preparing, Launching, Playing, WaitingForQuit, Finishing };
    Phase phase_ = Phase::Idle;
    bool running_ = false;
    std::unique_ptr<FileLock> runLock_;  // held while a run goes on
    std::string resultsFolder_;          // where the run's report goes
    bool stopRequested_ = false;
    int staleTerminates_ = 0;
    std::uint64_t runId_ = 0;
    EventLoop::TimerId pollTimer_ = 0;
    std::unique_ptr<ProcessExitWatch> gameExit_;  // the game's end, where the system tells it
    std::vector<std::function<void()>> whenEnded_;
};

}  // namespace vantor
