#pragma once
// What the core tells a window while it works: the status line, the enabled
// state of the buttons it locks, a run's progress and its report. The window,
// vantor-cli and the tests implement it; the controls that describe a run are
// not part of it (a run takes a RunRequest).

#include "core/Controls.h"

#include <chrono>
#include <optional>
#include <string>

namespace vantor {

class RunView {
public:
    virtual ~RunView() = default;

    virtual std::string status() const = 0;
    virtual void setStatus(const std::string& text) = 0;
    // Paint now (the run asks for it before long steps).
    virtual void repaint() = 0;

    virtual void setEnabled(Control c, bool enabled) = 0;
    virtual bool isEnabled(Control c) const = 0;

    // Run progress beyond the status line: pass `current` of `total`
    // (current 0 = preparing); total 0 hides it.
    virtual void setRunProgress(int current, int total) {
        (void)current;
        (void)total;
    }
    // The estimated time the run still needs; nullopt while unknown (or no run).
    virtual void setTimeLeft(std::optional<std::chrono::milliseconds> left) { (void)left; }
    // While a run is under way the window offers a Stop action.
    virtual void setRunActive(bool active) { (void)active; }
    // The report the last run saved, to show and open; empty when there is none.
    virtual void setReport(const std::string& path) { (void)path; }
    // Debug mode is on: from its button to the end of its one run.
    virtual void setDebugModeActive(bool active) { (void)active; }
};

}  // namespace vantor
