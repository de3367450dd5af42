#pragma once
// The main window as the program's shell sees it: what every run view shows,
// plus the option controls, labels and pages. The Qt window implements it, and
// the tests' fake; the controls load a RunRequest and build one
// (app/SettingsCodec.h, app/RunRequestControls.h).
//
// Setters change a control without running its handler: where setting a control
// by program must have the effect of a user's click, the caller runs the handler.

#include "core/RunView.h"

#include <string>

namespace vantor {

class MainView : public RunView {
public:
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

    // Page area: index 0..6, or the About view.
    virtual void showPage(int index) = 0;
    virtual void showAboutView() = 0;
};

}  // namespace vantor
