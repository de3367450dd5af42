#pragma once
// What the main window owns and every subsystem works on: the run view, the
// dialogs, the event loop, the settings store, the debug log, the process
// query, the paths, the run's request and its values.

#include "core/DebugLog.h"
#include "core/Dialogs.h"
#include "core/RunRequest.h"
#include "core/RunState.h"
#include "core/RunView.h"
#include "core/SettingsStore.h"
#include "core/Timing.h"
#include "platform/EventLoop.h"
#include "platform/ProcessList.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantor {

inline constexpr const char* kProgramErrorStatus =
    "Program error, benchmark aborted. Please see the help file (debuginfo section)!";

struct AppContext {
    AppContext(RunView& v, Dialogs& d, EventLoop& l, SettingsStore& s, DebugLog& g, ProcessQuery& p)
        : view(v), dialogs(d), loop(l), store(s), log(g), processes(p) {}

    RunView& view;
    Dialogs& dialogs;
    EventLoop& loop;
    SettingsStore& store;
    DebugLog& log;
    ProcessQuery& processes;

    Paths paths;
    RunState run;
    // The run under way (or the last one), as it was asked for.
    RunRequest request;
    Timing timing;

    // Opens a document or address with the desktop; a failure reaches
    // openFailed (replaced in tests).
    std::function<void(const std::string&)> shellOpen;
    // Total physical memory in bytes as a 32-bit count (replaced in tests).
    std::function<std::uint32_t()> physicalMemory;
    // The user's home folder, below which the usual Steam folders lie (replaced in tests).
    std::string homeFolder;

    // A validation message: a message box whose text is repeated in the status line.
    void validationMessage(const std::string& text) {
        dialogs.message(text);
        view.setStatus(text);
    }

    // The desktop could not open a document or address: the user learns where
    // it is, to open it by hand.
    void openFailed(const std::string& target, const std::string& error) {
        dialogs.message("Could not open " + target + " (" + error + "). Please open it yourself.");
    }

    // A save point of a run: writes the log when DebugMode is set and HDDMinimize is not.
    void checkpointDebugLog() {
        if (run.DebugMode && !run.HDDMinimize) saveDebugLog();
    }
    // The log file is beside the program, or in the user's data folder for an
    // installed copy; nothing is written without either.
    void saveDebugLog() {
        if (const std::string folder = paths.ownFiles(); !folder.empty()) log.save(folder + kDebugLogFileName);
    }
};

}  // namespace vantor
