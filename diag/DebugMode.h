#pragma once
// Debug mode: the debug button starts the log afresh with a header, adds a
// description of the machine from the hardware-report tool (run through
// toolRunner) and starts the debug run. That one run writes "debuginfo.txt"
// at its save points; then debug mode is off. The user's options are not
// touched.

#include "core/AppContext.h"
#include "diag/DiagTool.h"
#include "platform/RunAFile.h"

#include <functional>
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

// The debug run: 800×600 (and 2048×1536 when the user's run has it) at fixed
// options, one pass, the classic report; the user's note, results folder,
// files and additional information stay.
RunRequest debugRunRequest(const RunRequest& user);

// The ten lines that start the log in debug mode.
std::vector<std::string> debugHeader(const std::string& version, const Paths& paths);

class DebugMode {
public:
    DebugMode(AppContext& ctx, DiagTool& tool, Launcher& launcher, Sequencer& sequencer);

    // The debug button ("Start debug mode").
    void startDebugMode();
    // toolRunner's end notification: the report goes into the log, the debug
    // run's options are set and the run starts.
    void toolEnded(TRunItem& RunItem, TRetType RetType, std::uint32_t RetVal);

    // Between the debug button and the end of the tool.
    bool waitingForTool() const { return waiting_; }

    TRunAFile& toolRunner() { return toolRunner_; }

    // The run the user has set up (the window's controls, vantor-cli's
    // options); the debug run keeps its note, folder and files.
    std::function<RunRequest()> userRequest;

private:
    // Debug mode is one run: afterwards it is off.
    void endDebugRun();
    void failed(const std::string& status, const std::string& logLine);

    AppContext& ctx_;
    DiagTool& tool_;
    Launcher& launcher_;
    Sequencer& sequencer_;
    bool waiting_ = false;
    bool benchWasEnabled_ = true;
    TRunAFile toolRunner_;
};

}  // namespace vantor
