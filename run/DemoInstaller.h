#pragma once
// The demo of a run: the chosen built-in demo (BenchPath + "Demos/") or the
// user's own demo file is copied into ResultsPath, and the demo values set.

#include "core/AppContext.h"

#include <chrono>
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
// "_", "-" and "." only, not empty, not starting with "-".
bool isSafeDemoName(const std::string& name);
// The demo name of a demo file name: without its final ".dem" (any case); a name
// without that extension stays as it is.
std::string demoNameOfFile(const std::string& fileName);
inline constexpr const char* kUnsafeDemoNameMessage =
    "The demo name may only hold letters, digits, \"_\", \"-\" and \".\". Please rename the demo file.";
inline constexpr const char* kNoUserDemoMessage =
    "Please choose a demo file for \"User defined demo\" (Filters & demos page), or choose another demo.";
// The message for a chosen user demo file that is not there.
std::string missingUserDemoMessage(const std::string& file);

class DemoInstaller {
public:
    explicit DemoInstaller(AppContext& ctx) : ctx_(ctx) {}
    ~DemoInstaller();
    DemoInstaller(const DemoInstaller&) = delete;
    DemoInstaller& operator=(const DemoInstaller&) = delete;

    // Refuses "User defined demo" without a demo file, with a file that is not
    // there or whose name is unsafe (message box + status line); called by the
    // run before anything is written. True when the run may go on.
    bool checkUserDemo();
    // The demo step; done(ok) after the copy has appeared (or at once).
    // ok false when a copied demo did not appear within the bound.
    void InstallDemo(std::function<void(bool ok)> done);

private:
    // Copies source to target, then polls every demoPoll until the target is
    // there or demoCopyBound has passed; then(appeared) follows.
    void copyAndWait(const std::string& source, const std::string& target, std::function<void(bool)> then);
    void poll(std::string target, std::chrono::steady_clock::time_point deadline, std::function<void(bool)> then);

    AppContext& ctx_;
    EventLoop::TimerId timer_ = 0;
};

}  // namespace vantor
