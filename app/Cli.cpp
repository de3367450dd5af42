#include "app/Cli.h"

#include "app/CliFrontEnd.h"
#include "app/Discovery.h"
#include "app/MainController.h"
#include "platform/FileOps.h"
#include "platform/PlainEventLoop.h"
#include "platform/ProcessList.h"
#include "platform/SystemInfo.h"
#include "platform/TextFile.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    std::printf("BenchPath: %s\nSteamPath: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n",
                paths.BenchPath.c_str(), paths.SteamPath.c_str(), paths.HL2Path.c_str(),
                paths.CFGPath.c_str(), paths.ResultsPath.c_str());
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

// Start-up (with the recovery of an interrupted run and its question), then the
// system close path: what starting and closing the program does, without a run.
int startCommand(bool yes) {
    PlainEventLoop loop;
    CliView view;
    CliDialogs dialogs(yes);
    auto registry = openPlatformRegistry();
    SystemProcessQuery processes;
    MainController controller(view, dialogs, loop, *registry, processes);
    controller.context().timing = timingFromEnvironment();
    bool started = false;
    controller.FormCreate([&] { started = true; });
    loop.runUntil([&] { return started; }, std::chrono::minutes(1));
    bool closed = false;
    controller.FormCloseQuery([&] { closed = true; });
    loop.runUntil([&] { return closed; }, std::chrono::minutes(1));
    const auto& p = controller.context().paths;
    std::printf("BenchPath: %s\nSteamPath: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n", p.BenchPath.c_str(),
                p.SteamPath.c_str(), p.HL2Path.c_str(), p.CFGPath.c_str(), p.ResultsPath.c_str());
    return started && closed ? 0 : 1;
}

int runCommand(bool yes, const std::string& logFile) {
    PlainEventLoop loop;
    CliView view;
    CliDialogs dialogs(yes);
    auto registry = openPlatformRegistry();
    SystemProcessQuery processes;
    MainController controller(view, dialogs, loop, *registry, processes);
    controller.context().timing = timingFromEnvironment();

    bool started = false;
    controller.FormCreate([&] { started = true; });
    loop.runUntil([&] { return started; }, std::chrono::hours(1));
    if (!controller.gameFound()) {
        std::fputs("vantor-cli: Half-Life 2 was not found; no benchmark can run.\n", stderr);
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    auto& sequencer = controller.sequencer();
    bool ended = false;
    sequencer.onRunEnded = [&] { ended = true; };
    controller.BenchButtonClick();
    if (sequencer.running()) {
        // Ctrl+C stops the run like the Stop action.
        std::function<void()> watch = [&] {
            if (gInterrupted.exchange(false)) sequencer.Stop();
            if (!ended) loop.startTimer(std::chrono::milliseconds(100), watch);
        };
        watch();
        loop.runUntil([&] { return ended; }, std::chrono::hours(100));
    }

    bool closed = false;
    controller.FormCloseQuery([&] { closed = true; });
    loop.runUntil([&] { return closed; }, std::chrono::minutes(1));

    if (!logFile.empty()) {
        auto r = writeTextFile(logFile, controller.log().lines());
        if (!r) std::fprintf(stderr, "vantor-cli: the log cannot be written to %s: %s\n", logFile.c_str(), r.error.c_str());
    }
    const std::string& report = controller.reportWriter().savedReport();
    if (!report.empty()) {
        std::printf("%s\n", report.c_str());
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
    if (cmd == "start" && (argc == 2 || (argc == 3 && std::string(argv[2]) == "--yes")))
        return startCommand(argc == 3);
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
