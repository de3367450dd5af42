#pragma once
// The demo of a run: the chosen built-in demo (BenchPath + "Demos/") or the
// user's own demo file is copied into ResultsPath, and the demo values set.

#include "app/AppContext.h"

#include <functional>
#include <string>

namespace vantor {

struct BuiltInDemo {
    const char* title;  // DemoTitle
    const char* file;   // DemoFile
    const char* name;   // DemoName
};
extern const BuiltInDemo kBuiltInDemos[5];

// Whether a demo name may go into the launch command line: letters, digits,
// "_", "-" and "." only, not empty.
bool isSafeDemoName(const std::string& name);
inline constexpr const char* kUnsafeDemoNameMessage =
    "The demo name may only hold letters, digits, \"_\", \"-\" and \".\". Please rename the demo file.";

class DemoInstaller {
public:
    explicit DemoInstaller(AppContext& ctx) : ctx_(ctx) {}

    // Refuses a user demo whose name is unsafe (message box + status line);
    // called by the run before anything is written. True when the run may go on.
    bool checkUserDemoName();
    // The demo step; done(ok) after the copy has appeared (or at once).
    // ok false when a copied demo did not appear within the bound.
    void InstallDemo(std::function<void(bool ok)> done);
    void demoChanging();
    void DemoEditButtonClick();

private:
    AppContext& ctx_;
};

}  // namespace vantor
