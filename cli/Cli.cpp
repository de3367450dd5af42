#include "cli/Cli.h"

#include "app/Discovery.h"
#include "app/MainController.h"
#include "cli/CliFrontEnd.h"
#include "platform/FileOps.h"
#include "platform/PlainEventLoop.h"
#include "platform/ProcessList.h"
#include "platform/SystemInfo.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

namespace vantor {
namespace {

constexpr const char* kUsage =
    "usage: vantor-cli discover\n"
    "       vantor-cli processes\n"
    "       vantor-cli start [--yes]\n"
    "       vantor-cli run [--yes] [--log FILE]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int processesCommand() {
    std::vector<ProcessEntry> list;
    list.reserve(512);
    if (!ListRunningProcesses(list, false)) {
        std::fputs("vantor-cli: the process list cannot be read\n", stderr);
        return 1;
    }
    // One "id name" line per process, written at once.
    std::size_t size = 0;
    for (const auto& p : list) size += 12 + p.name.size();
    std::string out(size, '\0');
    char* at = out.data();
    for (const auto& p : list) {
        at = std::to_chars(at, at + 10, p.id).ptr;
        *at++ = ' ';
        for (char c : p.name) *at++ = c == '\n' ? '?' : c;  // one line per process
        *at++ = '\n';
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fputs("vantor-cli: the process list cannot be written\n", stderr);
        return 1;
    }
    return 0;
}

int discoverCommand() {
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    Paths paths;
    paths.BenchPath = executableFolder();
    try {
        paths.SteamPath = readSteamPath(store);
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    if (!paths.SteamPath.empty()) paths.HL2Path = searchGameFolder(paths.SteamPath);
    paths.CFGPath = cfgPathOf(paths.HL2Path);
    paths.ResultsPath = resultsPathOf(paths.HL2Path);
    std::printf("BenchPath: %s\nSteamPath: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n", paths.BenchPath.c_str(),
                paths.SteamPath.c_str(), paths.HL2Path.c_str(), paths.CFGPath.c_str(), paths.ResultsPath.c_str());
    if (paths.SteamPath.empty()) {
        std::fputs("vantor-cli: Steam was not found (no SteamExe value in the registry).\n", stderr);
        return 1;
    }
    if (paths.HL2Path.empty()) {
        std::fputs("vantor-cli: hl2.exe was not found in the Steam folder.\n", stderr);
        return 1;
    }
    return 0;
}

std::atomic<bool> gInterrupted{false};
extern "C" void onInterrupt(int) { gInterrupted = true; }

// Intervals divided by VANTOR_TIME_SCALE (for tests and demonstrations).
Timing timingFromEnvironment() {
    if (const char* s = std::getenv("VANTOR_TIME_SCALE"); s && *s) {
        int factor = std::atoi(s);
        if (factor > 1) return Timing::scaled(factor);
    }
    return Timing{};
}

// The process checks of a run. VANTOR_PROCESS_ROOT (a folder) limits them to
// programs whose executable lies under that folder, so that runs against
// separate simulated installations on one machine do not see each other's
// Steam and game.
class CliProcessQuery final : public ProcessQuery {
public:
    CliProcessQuery() {
        if (const char* r = std::getenv("VANTOR_PROCESS_ROOT"); r && *r) {
            root_ = r;
            if (root_.back() != kPathSep) root_ += kPathSep;
        }
    }
    bool list(std::vector<ProcessEntry>& out) override {
        if (root_.empty()) return ListRunningProcesses(out, false);
        std::vector<ProcessEntry> all;
        if (!ListRunningProcesses(all, true)) return false;
        for (auto& p : all)
            if (p.name.rfind(root_, 0) == 0) out.push_back({p.name.substr(p.name.find_last_of(kPathSep) + 1), p.id});
        return true;
    }

private:
    std::string root_;
};

// The program as vantor-cli runs it: the same start-up and close paths as the
// window, on a plain event loop, with the standard intervals divided by
// VANTOR_TIME_SCALE when that is set.
struct Session {
    explicit Session(bool yes)
        : dialogs(yes), registry(openPlatformRegistry()), controller(view, dialogs, loop, *registry, processes) {
        controller.context().timing = timingFromEnvironment();
        // An error a handler lets through (a refused settings write, ...) gets the
        // error box and the program goes on, as in the window.
        loop.onError = [this](const std::string& text) { dialogs.error(text); };
    }

    bool startUp() {
        bool done = false;
        controller.FormCreate([&] { done = true; });
        return loop.runUntil([&] { return done; }, std::chrono::minutes(10));
    }

    // The system close path (the note is saved, a run's files restored).
    bool close() {
        bool done = false;
        controller.FormCloseQuery([&] { done = true; });
        return loop.runUntil([&] { return done; }, std::chrono::minutes(1));
    }

    PlainEventLoop loop;
    CliView view;
    CliDialogs dialogs;
    std::unique_ptr<Registry> registry;
    CliProcessQuery processes;
    MainController controller;
};

// Start-up (with the recovery of an interrupted run and its question), then the
// system close path: what starting and closing the program does, without a run.
int startCommand(bool yes) {
    Session s(yes);
    const bool started = s.startUp();
    const bool closed = s.close();
    const auto& p = s.controller.context().paths;
    std::printf("BenchPath: %s\nSteamPath: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n", p.BenchPath.c_str(),
                p.SteamPath.c_str(), p.HL2Path.c_str(), p.CFGPath.c_str(), p.ResultsPath.c_str());
    return started && closed ? 0 : 1;
}

// After a Yes to the offer to start Steam, "steam.bat" runs on its own while
// the close path deletes it: wait until Steam runs, its batch process has gone,
// the game-start bound passes or Ctrl+C, so the batch file is read first.
void waitForOfferedSteam(Session& s) {
    auto& launcher = s.controller.launcher();
    auto& ctx = s.controller.context();
    if (launcher.cp2().state() != TCreateProcess::State::Started) return;
    const auto batchId = static_cast<std::uint32_t>(launcher.cp2().processId());
    const auto deadline = std::chrono::steady_clock::now() + ctx.timing.gameStartBound;
    bool done = false;
    std::function<void()> poll = [&] {
        launcher.CheckSteamRunning();
        std::vector<ProcessEntry> list;
        const bool batchGone = ListRunningProcesses(list, false) &&
                               std::none_of(list.begin(), list.end(), [&](auto& p) { return p.id == batchId; });
        done = ctx.run.SteamRunning || batchGone || gInterrupted.exchange(false) ||
               std::chrono::steady_clock::now() >= deadline;
        if (!done) s.loop.startTimer(ctx.timing.gamePoll, poll);
    };
    poll();
    s.loop.runUntil([&] { return done; }, std::chrono::hours(100));
}

int runCommand(bool yes, const std::string& logFile) {
    Session s(yes);
    auto& controller = s.controller;
    s.startUp();
    if (!controller.gameFound()) std::fputs("vantor-cli: Half-Life 2 was not found; no benchmark can run.\n", stderr);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    auto& sequencer = controller.sequencer();
    bool ended = false;
    sequencer.onRunEnded = [&] { ended = true; };
    try {
        controller.BenchButtonClick();
    } catch (const std::exception& e) {
        s.dialogs.error(e.what());
    }
    if (sequencer.running()) {
        // Ctrl+C stops the run like the Stop action.
        std::function<void()> watch = [&] {
            if (gInterrupted.exchange(false)) sequencer.Stop();
            if (!ended) s.loop.startTimer(std::chrono::milliseconds(100), watch);
        };
        watch();
        s.loop.runUntil([&] { return ended; }, std::chrono::hours(100));
    }
    waitForOfferedSteam(s);
    s.close();

    if (!logFile.empty()) {
        auto r = writeTextFile(logFile, controller.log().lines());
        if (!r)
            std::fprintf(stderr, "vantor-cli: the log cannot be written to %s: %s\n", logFile.c_str(), r.error.c_str());
    }
    const std::string& report = controller.reportWriter().savedReport();
    if (!report.empty()) {
        std::printf("%s\n", std::filesystem::path(report).lexically_normal().c_str());
        return 0;
    }
    return 1;
}

}  // namespace

int cliMain(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    if (cmd == "processes" && argc == 2) return processesCommand();
    if (cmd == "discover" && argc == 2) return discoverCommand();
    if (cmd == "start" && (argc == 2 || (argc == 3 && std::string(argv[2]) == "--yes"))) return startCommand(argc == 3);
    if (cmd == "run") {
        bool yes = false;
        std::string logFile;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--yes") {
                yes = true;
            } else if (arg == "--log" && i + 1 < argc) {
                logFile = argv[++i];
            } else {
                return usage();
            }
        }
        return runCommand(yes, logFile);
    }
    return usage();
}

}  // namespace vantor
