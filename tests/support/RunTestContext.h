#pragma once
// The main window's context for tests of the run's steps: fake view, dialogs and
// process list, an in-memory registry, a plain event loop with short timings,
// and a temporary installation (program, Steam and game folders).

#include "core/AppContext.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantor::test {

// Every interval a few milliseconds, the bounds a little longer.
inline Timing shortTiming() {
    using std::chrono::milliseconds;
    Timing t;
    t.gamePoll = milliseconds(2);
    t.demoPoll = milliseconds(2);
    t.moveSettle = milliseconds(1);
    t.customConfig = milliseconds(1);
    t.startupRecovery = milliseconds(1);
    t.demoCopyBound = milliseconds(40);
    t.gameStartBound = milliseconds(60);
    t.gameQuitBound = milliseconds(500);
    t.gameEndPoll = milliseconds(2);
    t.gameEndBound = milliseconds(200);
    return t;
}

// Runs the loop until pred() holds or ms have passed. A short ticking timer
// keeps the loop checking, so conditions outside it (a file appearing, a
// process ending) are seen at once.
inline bool runLoopUntil(PlainEventLoop& loop, const std::function<bool()>& pred, int ms) {
    bool waiting = true;
    EventLoop::TimerId id = 0;
    std::function<void()> tick = [&] {
        if (waiting) id = loop.startTimer(std::chrono::milliseconds(2), tick);
    };
    id = loop.startTimer(std::chrono::milliseconds(2), tick);
    const bool ok = loop.runUntil(pred, std::chrono::milliseconds(ms));
    waiting = false;
    loop.cancelTimer(id);
    return ok;
}

struct RunTestContext {
    TempDir dir;
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    SettingsStore store{registry};
    DebugLog log;
    FakeProcessQuery processes;
    AppContext ctx{view, dialogs, loop, store, log, processes};

    RunTestContext() {
        ctx.timing = shortTiming();
        ctx.paths.BenchPath = dir / "bench/";
        ctx.paths.SteamPath = dir / "steam/";
        ctx.paths.HL2Path = dir / "steam/steamapps/acc/";
        ctx.paths.ResultsPath = ctx.paths.HL2Path + nativePath("half-life 2/hl2/");
        ctx.paths.CFGPath = ctx.paths.ResultsPath + nativePath("cfg/");
        for (const auto* p : {&ctx.paths.BenchPath, &ctx.paths.SteamPath, &ctx.paths.CFGPath})
            std::filesystem::create_directories(*p);
    }

    const std::string& cfg() const { return ctx.paths.CFGPath; }

    bool runUntil(const std::function<bool()>& pred, int ms = 3000) { return runLoopUntil(loop, pred, ms); }

    // The log lines from index `from` on.
    std::vector<std::string> logFrom(std::size_t from) const {
        const auto& l = log.lines();
        return from >= l.size() ? std::vector<std::string>{} : std::vector<std::string>(l.begin() + from, l.end());
    }
};

// Text lines as the program writes them: each ended by CR LF.
inline std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// The regular files of a folder (not recursive): name -> bytes.
inline std::map<std::string, std::string> folderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file()) files[e.path().filename().string()] = readFile(e.path().string());
    return files;
}

// Makes the folder hold exactly these files.
inline void setFolderFiles(const std::string& folder, const std::map<std::string, std::string>& files) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : files) writeFile(folder + name, bytes);
}

}  // namespace vantor::test
