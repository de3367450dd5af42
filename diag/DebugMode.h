#pragma once
// Debug mode: the debug button starts the log afresh with a header, adds a
// description of the machine from the hardware-report tool (run through
// RunAFile1), fixes the options of the debug run and clicks the run button.
// That one run writes "debuginfo.txt" at its save points; then the user's
// options come back and debug mode is off.

#include "core/AppContext.h"
#include "core/Resolutions.h"
#include "diag/DiagTool.h"
#include "platform/RunAFile.h"

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

class Launcher;
class Sequencer;

inline constexpr const char* kDebugWaitStatus = "Debug in progress, please wait...";
inline constexpr const char* kDebugSteamLoadingStatus =
    "Loading. Please wait while the Steam successfully loaded. After that click RUN.";
inline constexpr const char* kInfoWindowHasToolStatus =
    "The Information window is running the hardware report tool. Please start debug mode when it has finished.";
inline constexpr const char* kDebugDuringRunStatus =
    "A benchmark is running. Please start debug mode when it has ended.";

// The ten lines that start the log in debug mode.
std::vector<std::string> debugHeader(const std::string& version, const Paths& paths);

class DebugMode {
public:
    DebugMode(AppContext& ctx, DiagTool& tool, Launcher& launcher, Sequencer& sequencer);

    // The debug button ("Start debug mode").
    void DebugBtnClick();
    // RunAFile1's end notification: the report goes into the log, the debug
    // run's options are set and the run starts.
    void RunAFile1ProcCompleted(TRunItem& RunItem, TRetType RetType, std::uint32_t RetVal);

    // Between the debug button and the end of the tool.
    bool waitingForTool() const { return waiting_; }

    TRunAFile& RunAFile1() { return runAFile1_; }

    // The choosers of the detail level and the demo (they store the choice);
    // debug mode runs them when it sets those controls and when it puts the
    // user's choices back.
    std::function<void()> detailChosen;
    std::function<void()> demoChosen;

private:
    // The controls the debug run sets, as the user left them.
    struct UserOptions {
        std::map<Choice, int> choices;
        std::map<Check, bool> checks;
        std::array<bool, kResolutionCount> classic{};
        std::array<bool, kTodayResolutionCount> today{};
        std::map<Control, bool> enabled;
    };

    void setDebugRunOptions();
    // Debug mode is one run: afterwards the user's options come back and it is off.
    void endDebugRun();
    void choosersRan();
    void failed(const std::string& status, const std::string& logLine);

    AppContext& ctx_;
    DiagTool& tool_;
    Launcher& launcher_;
    Sequencer& sequencer_;
    bool waiting_ = false;
    bool benchWasEnabled_ = true;
    std::optional<UserOptions> userOptions_;
    TRunAFile runAFile1_;
};

}  // namespace vantor
