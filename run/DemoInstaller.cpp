#include "run/DemoInstaller.h"
#include "platform/AsciiCase.h"

#include "platform/FileOps.h"

#include <cctype>
#include <utility>

namespace vantor {
namespace {

constexpr int kUserDemoPosition = 5;

bool isAsciiLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

const BuiltInDemo kBuiltInDemos[5] = {
    {"Quorvane - Coast", "qvn_coast1.dem", "qvn_coast1"},   {"Quorvane - d3c171", "d3c171.dem", "d3c171"},
    {"Raza3Z - demo4", "Raza3Z_demo4.dem", "Raza3Z_demo4"}, {"Raza3Z - demo5", "Raza3Z_demo5.dem", "Raza3Z_demo5"},
    {"Raza3Z - demo6", "Raza3Z_demo6.dem", "Raza3Z_demo6"},
};

bool isSafeDemoName(const std::string& name) {
    // A leading "-" would make the name an option of the launch command line.
    if (name.empty() || name[0] == '-') return false;
    for (char c : name)
        if (!isAsciiLetterOrDigit(c) && c != '_' && c != '-' && c != '.') return false;
    return true;
}

std::string demoNameOfFile(const std::string& fileName) {
    if (fileName.size() < 4) return fileName;
    return equalsIgnoringAsciiCase(std::string_view(fileName).substr(fileName.size() - 4), ".dem")
               ? fileName.substr(0, fileName.size() - 4)
               : fileName;
}

DemoInstaller::~DemoInstaller() {
    if (timer_) ctx_.loop.cancelTimer(timer_);
}

std::string missingUserDemoMessage(const std::string& file) {
    return "The demo file " + file + " was not found. Please choose it again, or choose another demo.";
}

// Without a file the game would get a bare "+timedemoquit" and never quit;
// with a missing one it would play another demo than the report names.
bool DemoInstaller::checkUserDemo() {
    if (ctx_.request.demo != DemoChoice::UserFile) return true;
    const std::string& field = ctx_.request.userDemoFile;
    std::string refusal;
    if (field.empty())
        refusal = kNoUserDemoMessage;
    else if (!isSafeDemoName(demoNameOfFile(fileNamePart(field))))
        refusal = kUnsafeDemoNameMessage;
    else if (!fileExists(field))
        refusal = missingUserDemoMessage(field);
    if (refusal.empty()) return true;
    ctx_.validationMessage(refusal);
    return false;
}

void DemoInstaller::copyAndWait(const std::string& source, const std::string& target, std::function<void(bool)> then) {
    std::string error;
    if (!copyFile(source, target, &error))
        ctx_.log.append(std::string(kErrorHandlingPrefix) + "Demo copy is impossible: " + error);
    poll(target, std::chrono::steady_clock::now() + ctx_.timing.demoCopyBound, std::move(then));
}

void DemoInstaller::poll(std::string target, std::chrono::steady_clock::time_point deadline,
                         std::function<void(bool)> then) {
    if (timer_) ctx_.loop.cancelTimer(timer_);
    timer_ = ctx_.loop.startTimer(ctx_.timing.demoPoll,
                                  [this, target = std::move(target), deadline, then = std::move(then)]() mutable {
                                      timer_ = 0;
                                      if (fileExists(target)) return then(true);
                                      if (std::chrono::steady_clock::now() >= deadline) return then(false);
                                      poll(std::move(target), deadline, std::move(then));
                                  });
}

void DemoInstaller::InstallDemo(std::function<void(bool ok)> done) {
    auto& run = ctx_.run;
    const auto& paths = ctx_.paths;
    const int position = itemIndex(ctx_.request.demo);
    if (paths.ResultsPath.empty() && position >= 0 && position <= kUserDemoPosition) {
        // Without the game's folder a demo would land in the working folder.
        ctx_.log.append(std::string(kErrorPrefix) + "Demo folder unknown.");
        done(false);
        return;
    }

    auto copyFailed = [this, done](const std::string& demoFile) {
        ctx_.log.append(std::string(kErrorPrefix) + "Demo copy failed: " + demoFile + " did not appear.");
        done(false);
    };

    if (position >= 0 && position < kUserDemoPosition) {
        const BuiltInDemo& demo = kBuiltInDemos[position];
        run.DemoTitle = demo.title;
        run.DemoFile = demo.file;
        const std::string target = paths.ResultsPath + demo.file;
        if (fileExists(target)) {
            if (position <= 1)
                ctx_.log.append(std::string("Built-in demo (") + demo.file + ") exist.");
            else
                ctx_.log.append(std::string(demo.file) + " exist.");
            run.DemoName = demo.name;
            done(true);
            return;
        }
        const std::string source = paths.BenchPath + "Demos" + kPathSep + demo.file;
        copyAndWait(source, target, [this, &demo, done, copyFailed](bool appeared) {
            if (!appeared) return copyFailed(demo.file);
            ctx_.log.append(std::string("Built-in demo (") + demo.file + ") not exist. Copy...");
            ctx_.run.DemoName = demo.name;
            done(true);
        });
        return;
    }

    if (position != kUserDemoPosition) {
        done(true);
        return;
    }
    const std::string& field = ctx_.request.userDemoFile;
    if (field.empty()) {
        done(true);
        return;
    }
    run.UserDemoFile = fileNamePart(field);  // as the run start took it
    const std::string file = run.UserDemoFile;
    run.DemoTitle = "Custom demo - " + file;
    run.DemoFile = file;
    if (!fileExists(field)) {
        ctx_.log.append("Custom demo (" + file + ") not exist. Copy...");
        done(true);
        return;
    }
    auto installed = [this, file, done] {
        ctx_.run.DemoName = demoNameOfFile(file);
        ctx_.log.append("Custom demo (" + file + ") exist.");
        done(true);
    };
    const std::string target = paths.ResultsPath + file;
    if (fileExists(target)) {
        installed();
        return;
    }
    copyAndWait(field, target, [this, file, installed, copyFailed](bool appeared) {
        if (!appeared) return copyFailed(file);
        ctx_.log.append("Built-in demo (" + file + ") not exist. Copy...");
        installed();
    });
}

}  // namespace vantor
