#pragma once
// A benchmark run: the run button's checks and preparation, one pass per ticked
// resolution (smallest first, taken once at the start), the pass end, the
// report and the restore. Every wait is a timer; a run can be stopped.

#include "app/AppContext.h"

#include <array>
#include <functional>

namespace vantor {

class GameConfig;
class DemoInstaller;
class Launcher;
class ReportWriter;

class Sequencer {
public:
    Sequencer(AppContext& ctx, GameConfig& config, DemoInstaller& demos, Launcher& launcher,
              ReportWriter& report);

    void BenchButtonClick();
    // Ends a running benchmark cleanly: the game is left alone, no report, the
    // user's files restored, buttons enabled.
    void Stop();
    bool running() const { return running_; }

    // Called when a run ends in any way (report written or not).
    std::function<void()> onRunEnded;

private:
    void StartNextPass(int width);
    void cpTerminate(std::uint32_t exitCode);
    void waitForGameToQuit(std::function<void(bool quit)> done);
    void passLaunched(int widthIndex, int result);
    void endRun(const std::string& status, bool errorLine);

    AppContext& ctx_;
    GameConfig& config_;
    DemoInstaller& demos_;
    Launcher& launcher_;
    ReportWriter& report_;
    std::array<bool, 6> ticked_{};
    bool running_ = false;
    bool stopRequested_ = false;
    bool launchPending_ = false;
    bool terminatePending_ = false;
    EventLoop::TimerId pollTimer_ = 0;
};

}  // namespace vantor
