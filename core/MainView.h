#pragma once
// The main window as the core sees it: the state of its controls, the status
// line, the page area. The Qt window implements it; tests and the command-line
// front end implement it too.
//
// Setters change a control without running its handler: where setting a control
// by program must have the effect of a user's click, the core calls the handler.

#include "core/Controls.h"

#include <chrono>
#include <optional>
#include <string>

namespace vantor {

class MainView {
public:
    virtual ~MainView() = default;

    virtual bool resolutionChecked(int index) const = 0;
    virtual void setResolutionChecked(int index, bool checked) = 0;

    // Today's resolutions (core/Resolutions.h), index 0..5.
    virtual bool todayResolutionChecked(int index) const = 0;
    virtual void setTodayResolutionChecked(int index, bool checked) = 0;

    virtual int choice(Choice c) const = 0;  // -1 when nothing is chosen
    virtual void setChoice(Choice c, int index) = 0;

    virtual bool checked(Check c) const = 0;
    virtual void setChecked(Check c, bool on) = 0;

    virtual std::string text(Field f) const = 0;
    virtual void setText(Field f, const std::string& text) = 0;

    virtual void setLabel(Label l, const std::string& text) = 0;
    virtual void setEnabled(Control c, bool enabled) = 0;
    virtual bool isEnabled(Control c) const = 0;

    virtual std::string status() const = 0;
    virtual void setStatus(const std::string& text) = 0;

    // Paint now (the run asks for it before long steps).
    virtual void repaint() = 0;

    // Page area: index 0..6, or the About view.
    virtual void showPage(int index) = 0;
    virtual void showAboutView() = 0;

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
