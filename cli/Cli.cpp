#include "cli/Cli.h"

#include "app/Discovery.h"
#include "app/MainController.h"
#include "app/NamedOptions.h"
#include "app/ProcessScope.h"
#include "cli/CliFrontEnd.h"
#include "cli/CliHistory.h"
#include "cli/CliUpgraderUi.h"
#include "core/OwnFolders.h"
#include "core/ProgramVersion.h"
#include "diag/HardwareInfo.h"
#include "platform/FileOps.h"
#include "platform/PlainEventLoop.h"
#include "platform/ProcessList.h"
#include "platform/SystemInfo.h"
#include "platform/TextFile.h"
#include "report/RunResults.h"
#include "report/RunSummary.h"
#include "run/SystemNames.h"
#include "update/UpdatePublicKey.h"

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
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vantor {
namespace {

constexpr const char* kUsage =
    "usage: vantor-cli discover\n"
    "       vantor-cli processes\n"
    "       vantor-cli start [--yes]\n"
    "       vantor-cli run [--yes] [--debug] [--log FILE] [--json]\n"
    "                      [--passes N] [--adaptive] [--threshold PCT] [--cap N]\n"
    "                      [--resolution WxH]... [--only] [--summary] [--no-result-files]\n"
    "                      [--detail D] [--demo D] [--filtering F] [--antialiasing A] [--heap-size MB]\n"
    "                      [--refresh HZ] [--directx L] [--fast-z on|off] [--minimize-hdd on|off]\n"
    "                      [--note TEXT] [--results-folder DIR]\n"
    "       vantor-cli options\n"
    "       vantor-cli set NAME VALUE\n"
    "       vantor-cli hwinfo [--save]\n"
    "       vantor-cli set-game PATH\n"
    "       vantor-cli set-steam FOLDER\n"
    "       vantor-cli update [--yes]\n"
    "       vantor-cli history [--json]\n"
    "       vantor-cli compare RUN RUN\n"
    "       vantor-cli export --format csv|json [RUN...]\n"
    "       vantor-cli --help\n"
    "       vantor-cli --version\n";

constexpr const char* kHelp =
    "\n"
    "Commands:\n"
    "  discover        print the folders start-up finds (BenchPath, SteamPath, HL2Path, CFGPath,\n"
    "                  ResultsPath); exit 1 when no game is found\n"
    "  processes       print \"id name\" for every running process\n"
    "  start           start up and close as the window does, without a run: puts back what an\n"
    "                  interrupted run left in the game's folder and says which files, where\n"
    "  run             run a benchmark with the stored options; print the status lines, one score\n"
    "                  line per resolution, then the report's path (exit 0 when a report was saved)\n"
    "  options         list the run's options: name, stored value (or the default a new user gets)\n"
    "                  and the values it takes\n"
    "  set NAME VALUE  store an option as the window does (NAME and VALUE as `options` lists them)\n"
    "  hwinfo [--save] collect the hardware description as \"Get info\" does and print its six values;\n"
    "                  --save stores them as \"Save & Close\" does\n"
    "  set-game PATH   store PATH, the game's program (hl2.exe; on Linux also hl2.sh, hl2_linux), as the\n"
    "                  game to use when discovery finds none (the value HL2Exe in the settings)\n"
    "  set-steam FOLDER\n"
    "                  store FOLDER as Steam's folder, used when Steam's own registry value names none\n"
    "                  (the value SteamFolder in the settings)\n"
    "  update          look for a newer version of the program; with --yes download it (checked\n"
    "                  against its signature, sizes and SHA-256) and start again with it; exit 0 when\n"
    "                  updated or the offer is the running version, 1 when refused, failed or older\n"
    "  history         list the stored runs: number, time, version, demo and the mean score per\n"
    "                  resolution; --json prints them as a JSON array\n"
    "  compare RUN RUN per resolution: both runs' scores, the difference in % and whether the second\n"
    "                  run is faster, slower or within the passes' noise\n"
    "  export          print stored runs (all without RUN) as JSON or CSV, every stored field\n"
    "  --help, -h      print this help\n"
    "  --version       print the program's version\n"
    "\n"
    "Options:\n"
    "  --yes       answer Yes to the program's questions (start Steam when it is not running, delete\n"
    "              a leftover autoexec.cfg, install an update); without it every question is answered No\n"
    "  --debug     run in debug mode (run): the hardware report into the log, then the debug run's\n"
    "              fixed options\n"
    "  --log FILE  write the run's debug log to FILE (Windows-1252, CR LF)\n"
    "  --json      print the run as one JSON object instead (resolutions, scores, settings, report,\n"
    "              status); the status lines go to stderr\n"
    "\n"
    "Options of run that change the stored options for this run only (the window's \"Passes &\n"
    "results\" page stores them):\n"
    "  --passes N          play each resolution N times (1 to 10); the report shows the mean\n"
    "  --adaptive          extra passes while a resolution's scores spread more than the threshold\n"
    "  --threshold PCT     the spread that asks for another pass, in percent (1 to 10; 3 by default)\n"
    "  --cap N             at most N passes of a resolution with --adaptive (2 to 20; 10 by default)\n"
    "  --resolution WxH    play this size too (one of the window's sizes, or one of your own: even,\n"
    "                      2 to 16384); may be given more than once, with one size of your own\n"
    "  --summary           a summary table and a bar chart of the means in the report\n"
    "  --no-result-files   no result_<stamp>.json and .csv beside the report\n"
    "  --only              play only the sizes given with --resolution, none of the stored ones\n"
    "  --detail D, --demo D, --filtering F, --antialiasing A, --heap-size MB, --refresh HZ,\n"
    "  --directx L, --fast-z on|off, --minimize-hdd on|off, --note TEXT, --results-folder DIR\n"
    "                      the options of the window's pages for this run; `vantor-cli options` lists\n"
    "                      the values each takes, `vantor-cli set` stores them\n"
    "A run prints the estimated time left (\"Time left: ...\") as each pass starts.\n"
    "\n"
    "Settings: the .reg file named by the environment variable VANTOR_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/Quorvane/Vantor/registry.reg (~/.config/... without XDG_CONFIG_HOME). The\n"
    "window stores the options there; run uses them.\n"
    "\n"
    "Run history: every finished run is stored in $XDG_DATA_HOME/Quorvane/Vantor/history.db\n"
    "(~/.local/share/... without XDG_DATA_HOME).\n"
    "\n"
    "Processes: with VANTOR_PROCESS_ROOT set to a folder, the process checks (and `processes`) see\n"
    "only programs whose executable lies under that folder.\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 wrong usage.\n";

std::string setGameHint() { return "choose its " + gameProgramsText(kThisOs) + " with `vantor-cli set-game PATH`"; }
constexpr const char* kSetSteamHint = "choose Steam's folder with `vantor-cli set-steam FOLDER`";

int usage(const std::string& problem) {
    std::fprintf(stderr, "vantor-cli: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

void printPaths(const Paths& p) {
    std::printf("BenchPath: %s\nSteamPath: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n", p.BenchPath.c_str(),
                p.SteamPath.c_str(), p.HL2Path.c_str(), p.CFGPath.c_str(), p.ResultsPath.c_str());
}

int processesCommand() {
    std::vector<ProcessEntry> list;
    list.reserve(512);
    if (!ScopedProcessQuery().list(list)) {
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

// "Name: path (where it came from)"; an unknown path stays empty.
void printPath(const char* name, const std::string& path, PathSource from) {
    if (path.empty())
        std::printf("%s: \n", name);
    else
        std::printf("%s: %s (%s)\n", name, path.c_str(), std::string(pathSourceText(from)).c_str());
}

int discoverCommand() {
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    SteamAndGame found;
    try {
        found = findSteamAndGame(store, homeFolder());
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    const std::string game = found.gameFolder.empty() ? gameFolderOf(found.hl2Path) : found.gameFolder;
    const std::string cfg = cfgPathIn(game);
    const std::string results = resultsPathIn(game);
    printPath("BenchPath", executableFolder(), PathSource::ProgramFolder);
    printPath("SteamPath", found.steamPath, found.steamFrom);
    printPath("HL2Path", found.hl2Path, found.hl2From);
    printPath("CFGPath", cfg, found.hl2From);
    printPath("ResultsPath", results, found.hl2From);
    std::fflush(stdout);
    for (const auto& note : found.notes) std::fprintf(stderr, "vantor-cli: %s\n", note.c_str());
    const std::string noSteam =
        "vantor-cli: Steam was not found (no SteamExe value in the registry, no Steam folder chosen, no Steam in the "
        "usual folders)";
    if (found.hl2Path.empty()) {
        if (found.steamPath.empty())
            std::fprintf(stderr, "%s; %s, or %s.\n", noSteam.c_str(), kSetSteamHint, setGameHint().c_str());
        else
            std::fprintf(stderr,
                         "vantor-cli: Half-Life 2 (%s) was not found in the Steam folder, its libraries or the usual "
                         "Steam folders; %s.\n",
                         gameProgramsText(kThisOs).c_str(), setGameHint().c_str());
        return 1;
    }
    if (found.steamPath.empty()) {
        std::fprintf(stderr, "%s; %s.\n", noSteam.c_str(), kSetSteamHint);
        return 1;
    }
    return 0;
}

// Stores the game's program as the user's choice (HL2Exe). A file that is not
// one of this system's game programs is refused (wrong usage).
int setGameCommand(const std::string& given) {
    std::error_code ec;
    const std::string exe = std::filesystem::absolute(given, ec).lexically_normal().string();
    if (std::string why; ec || !isGameProgram(exe, why)) {
        std::fprintf(stderr, "vantor-cli: %s\n", ec ? ("there is no file " + given).c_str() : why.c_str());
        return 2;
    }
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    Paths paths;
    try {
        paths.HL2Path = storeChosenGame(store, exe);
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    const std::string game = gameFolderOfFile(exe);
    paths.CFGPath = cfgPathIn(game);
    paths.ResultsPath = resultsPathIn(game);
    std::printf("HL2Exe: %s\nHL2Path: %s\nCFGPath: %s\nResultsPath: %s\n", exe.c_str(), paths.HL2Path.c_str(),
                paths.CFGPath.c_str(), paths.ResultsPath.c_str());
    return 0;
}

// Stores Steam's folder as the user's choice (SteamFolder), used by later
// start-ups when Steam's own value names none. A folder without Steam's
// client is refused (wrong usage).
int setSteamCommand(const std::string& given) {
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    try {
        if (const std::string refused = storeChosenSteam(store, given); !refused.empty()) {
            std::fprintf(stderr, "vantor-cli: %s\n", refused.c_str());
            return 2;
        }
        std::printf("SteamFolder: %s\n", chosenSteamFolder(store).c_str());
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::atomic<bool> gInterrupted{false};
extern "C" void onInterrupt(int) { gInterrupted = true; }

// Ctrl+C, a stop request, a closed terminal (POSIX), and on Windows Ctrl+Break
// (which reaches a program started in a process group of its own).
void catchInterrupts() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#ifdef SIGHUP
    std::signal(SIGHUP, onInterrupt);
#endif
#ifdef SIGBREAK
    std::signal(SIGBREAK, onInterrupt);
#endif
}

// Intervals divided by VANTOR_TIME_SCALE (for tests and demonstrations).
Timing timingFromEnvironment() {
    if (const char* s = std::getenv("VANTOR_TIME_SCALE"); s && *s) {
        int factor = std::atoi(s);
        if (factor > 1) return Timing::scaled(factor);
    }
    return Timing{};
}

// The program as vantor-cli runs it: the same start-up and close paths as the
// window, on a plain event loop, with the standard intervals divided by
// VANTOR_TIME_SCALE when that is set.
struct Session {
    explicit Session(bool yes, std::FILE* statusOut = stdout)
        : view(statusOut),
          dialogs(yes),
          registry(openPlatformRegistry()),
          controller(view, dialogs, loop, *registry, processes),
          updaterUi(loop, yes, statusOut) {
        view.quietEchoesOf(dialogs);
        controller.context().timing = timingFromEnvironment();
        controller.enableUpdates(updaterUi, kUpdatePublicKey);
        // An error a handler lets through (a refused settings write, ...) gets the
        // error box and the program goes on, as in the window.
        loop.onError = [this](const std::string& text) { dialogs.error(text); };
    }

    bool startUp() {
        bool done = false;
        controller.startUp([&] { done = true; });
        return loop.runUntil([&] { return done; }, std::chrono::minutes(10));
    }

    // The system close path (the note is saved, a run's files restored).
    bool close() {
        bool done = false;
        controller.closeBySystem([&] { done = true; });
        return loop.runUntil([&] { return done; }, std::chrono::minutes(1));
    }

    PlainEventLoop loop;
    CliView view;
    CliDialogs dialogs;
    std::unique_ptr<Registry> registry;
    ScopedProcessQuery processes;
    MainController controller;
    CliUpgraderUi updaterUi;
};

// Start-up (with the recovery of an interrupted run and its question), then the
// system close path: what starting and closing the program does, without a run.
int startCommand(bool yes) {
    Session s(yes);
    const bool started = s.startUp();
    const RecoveredFiles recovered = s.controller.recoveredFiles();
    const bool closed = s.close();
    if (!recovered.empty()) {
        // "Restored after an interrupted run, in CFG: valve.rc (yours, put back); autoexec.cfg (the program's,
        // removed)"
        auto names = [](const std::vector<std::string>& list) {
            std::string text;
            for (const auto& n : list) text += (text.empty() ? "" : ", ") + n;
            return text;
        };
        std::string parts;
        if (!recovered.restored.empty()) parts = names(recovered.restored) + " (yours, put back)";
        if (!recovered.removed.empty())
            parts += (parts.empty() ? "" : "; ") + names(recovered.removed) + " (the program's, removed)";
        std::printf("Restored after an interrupted run, in %s: %s\n", s.controller.context().paths.CFGPath.c_str(),
                    parts.c_str());
    }
    printPaths(s.controller.context().paths);
    return started && closed ? 0 : 1;
}

// After a Yes to the offer to start Steam, "steam.bat" runs on its own while
// the close path deletes it: wait until Steam runs, its batch process has gone,
// the game-start bound passes or Ctrl+C, so the batch file is read first.
void waitForOfferedSteam(Session& s) {
    auto& launcher = s.controller.launcher();
    auto& ctx = s.controller.context();
    if (launcher.steamRunner().state() != TCreateProcess::State::Started) return;
    const auto batchId = static_cast<std::uint32_t>(launcher.steamRunner().processId());
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

// The options of run beyond the stored ones, for this run only.
struct RunOptions {
    std::optional<int> passes, threshold, cap;
    bool adaptive = false;
    bool summary = false;
    bool noResultFiles = false;
    std::vector<Resolution> classic, today;
    std::optional<Resolution> custom;
    bool only = false;  // the sizes given, none of the stored ones
    // The window's options for this run, each checked when it was taken.
    std::vector<std::pair<const NamedOption*, std::string>> named;
};

// The options of the window's pages that run takes as --NAME VALUE (the pass
// options have their own above).
constexpr std::string_view kRunNamedOptions[] = {"detail",       "demo",    "filtering",     "antialiasing",
                                                 "heap-size",    "refresh", "directx",       "fast-z",
                                                 "minimize-hdd", "note",    "results-folder"};

// A whole number from first to last; nullopt otherwise.
std::optional<int> numberIn(const std::string& text, int first, int last) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < first || value > last)
        return std::nullopt;
    return value;
}

// Takes one option of RunOptions at args[i] (and its value); false when
// args[i] is none of them. A bad value sets error.
bool takeRunOption(const std::vector<std::string>& args, std::size_t& i, RunOptions& o, std::string& error) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    auto number = [&](std::optional<int>& into, int first, int last) {
        const auto v = value();
        if (!v) return true;
        into = numberIn(*v, first, last);
        if (!into)
            error = a + " takes a whole number from " + std::to_string(first) + " to " + std::to_string(last) +
                    ", not '" + *v + "'";
        return true;
    };
    if (a == "--passes") return number(o.passes, 1, kMaxPassesPerResolution);
    if (a == "--threshold") return number(o.threshold, 1, 10);
    if (a == "--cap") return number(o.cap, 2, kMaxAdaptiveCap);
    if (a == "--adaptive") return o.adaptive = true;
    if (a == "--summary") return o.summary = true;
    if (a == "--no-result-files") return o.noResultFiles = true;
    if (a == "--only") return o.only = true;
    for (std::string_view name : kRunNamedOptions) {
        if (a.size() != name.size() + 2 || a.compare(0, 2, "--") != 0 || a.compare(2, name.size(), name) != 0) continue;
        const auto v = value();
        if (!v) return true;
        const NamedOption* option = findNamedOption(name);
        RunRequest scratch;
        error = applyNamedOption(*option, *v, scratch);
        o.named.emplace_back(option, *v);
        return true;
    }
    if (a != "--resolution") return false;
    const auto v = value();
    if (!v) return true;
    const auto parsed = parseResolution(*v);
    if (!parsed.value) {
        error = parsed.error;
        return true;
    }
    const Resolution r = *parsed.value;
    for (int k = 0; k < kResolutionCount; ++k)
        if (r == Resolution{kWidths[k], kHeights[k]}) return o.classic.push_back(r), true;
    for (const auto& t : kTodayResolutions)
        if (r == t) return o.today.push_back(r), true;
    if (o.custom && *o.custom != r) error = "only one size of your own can be played (--resolution)";
    o.custom = r;
    return true;
}

// Whether a size is one of the window's fixed ones (the classic six, today's).
bool fixedSize(Resolution r) {
    for (int k = 0; k < kResolutionCount; ++k)
        if (r == Resolution{kWidths[k], kHeights[k]}) return true;
    return std::find(kTodayResolutions.begin(), kTodayResolutions.end(), r) != kTodayResolutions.end();
}

// Changes the stored run as the options ask, for this run only.
void applyRunOptions(const RunOptions& o, RunRequest& request) {
    for (const auto& [option, value] : o.named) applyNamedOption(*option, value, request);
    if (o.only) request.sizes.clear();
    if (o.passes) request.passes.passes = *o.passes;
    if (o.threshold) request.passes.thresholdPercent = *o.threshold;
    if (o.cap) request.passes.cap = *o.cap;
    if (o.adaptive) request.passes.adaptive = true;
    if (o.summary) request.reportSummary = true;
    if (o.noResultFiles) request.resultFiles = false;
    request.sizes.insert(request.sizes.end(), o.classic.begin(), o.classic.end());
    request.sizes.insert(request.sizes.end(), o.today.begin(), o.today.end());
    if (o.custom) {
        // One size of the user's own: the given one takes the stored one's place.
        std::erase_if(request.sizes, [](Resolution r) { return !fixedSize(r); });
        request.sizes.push_back(*o.custom);
    }
    request.sizes = orderedSizes(std::move(request.sizes));
}

// One line per pass: "640×480: 87.53 FPS", or "... no result". With several
// passes per resolution, one line per resolution: its mean, min, max, spread
// and why it took the passes it took.
void printScores(const RunSummary& run, const std::vector<ResolutionResult>& results) {
    if (std::any_of(results.begin(), results.end(), [](const auto& r) { return r.passes.size() > 1; })) {
        for (const auto& r : results) {
            const std::string res = resolutionText(r.resolution);
            if (r.scores.empty()) {
                std::printf("%s: no result (%s)\n", res.c_str(), r.reason.c_str());
                continue;
            }
            std::printf("%s: %s FPS (min %s, max %s, spread %s; %s)\n", res.c_str(), fixed2(r.stats.mean).c_str(),
                        fixed2(r.stats.min).c_str(), fixed2(r.stats.max).c_str(),
                        percentText(r.stats.relativeSpread).c_str(), r.reason.c_str());
        }
        return;
    }
    for (const auto& pass : run.passes) {
        if (pass.score)
            std::printf("%s: %s FPS\n", pass.resolution.c_str(), pass.score->c_str());
        else
            std::printf("%s: no result\n", pass.resolution.c_str());
    }
}

// Debug mode as its button starts it: the tool's report into the log, then the
// debug run. Returns when the tool has ended (the run, if any, is under way).
void startDebugMode(Session& s) {
    auto& controller = s.controller;
    controller.startDebugMode();
    const auto bound = controller.context().timing.diagToolBound + std::chrono::seconds(10);
    s.loop.runUntil([&] { return !controller.debugMode().waitingForTool() || gInterrupted.load(); }, bound);
}

int runCommand(bool yes, bool debug, const std::string& logFile, bool json, const RunOptions& options) {
    // With --json stdout carries the JSON object alone.
    Session s(yes, json ? stderr : stdout);
    auto& controller = s.controller;
    s.startUp();
    applyRunOptions(options, s.controller.request());

    catchInterrupts();
    auto& sequencer = controller.sequencer();
    bool ended = false;
    sequencer.onRunEnded = [&] { ended = true; };
    if (!controller.gameFound()) {
        // The window's message points to its Browse button; here the command does it.
        std::fprintf(stderr, "vantor-cli: Half-Life 2 was not found; no benchmark can run. Please %s.\n",
                     setGameHint().c_str());
    } else {
        try {
            if (debug)
                startDebugMode(s);
            else
                controller.runButtonClicked();
        } catch (const std::exception& e) {
            s.dialogs.error(e.what());
        }
    }
    bool stopped = false;
    if (sequencer.running()) {
        // Ctrl+C stops the run like the Stop action.
        std::function<void()> watch = [&] {
            if (gInterrupted.exchange(false)) {
                stopped = true;
                sequencer.Stop();
            }
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
    const RunSummary summary = controller.runSummary();
    if (json) {
        std::fputs(runSummaryJson(summary).c_str(), stdout);
    } else if (stopped && summary.report.empty()) {
        // The passes of a stopped run are no result: no score lines without a report.
        std::fprintf(stderr, "vantor-cli: the run was stopped; no scores and no report.\n");
    } else {
        printScores(summary, controller.reportWriter().resolutionResults());
        if (!summary.report.empty()) std::printf("%s\n", summary.report.c_str());
    }
    if (std::fflush(stdout) != 0) return 1;
    return summary.succeeded ? 0 : 1;
}

// The Information window's memo and status bar, kept for hwinfoCommand.
class CliInfoView final : public HardwareInfoView {
public:
    void showMemo(const std::vector<std::string>& lines) override { memo = lines; }
    void setStatus(const std::string& text) override { status = text; }
    void setButtonsEnabled(bool) override {}
    void repaint() override {}
    void closeWindow() override {}

    std::vector<std::string> memo;
    std::string status;
};

// The Information window without a window: "Get info", then the six values,
// one per line; with --save they are stored as "Save & Close" stores them.
int hwinfoCommand(bool save) {
    PlainEventLoop loop;
    CliView view(stderr);
    CliDialogs dialogs(false);
    ScopedProcessQuery processes;
    std::unique_ptr<Registry> registry = openPlatformRegistry();
    SettingsStore store(*registry);
    DebugLog log;
    AppContext ctx(view, dialogs, loop, store, log, processes);
    ctx.timing = timingFromEnvironment();
    ctx.paths.BenchPath = executableFolder();
    useOwnFolders(ctx.paths);
    DiagTool tool;
    CliInfoView info;
    HardwareInfo form(ctx, tool, info);
    try {
        form.startUp();
        form.windowShown();
        bool ended = false;
        form.onCollectionEnded = [&] { ended = true; };
        form.collect();
        loop.runUntil([&] { return ended; }, ctx.timing.diagToolBound + std::chrono::seconds(10));
        if (info.status != kCollectedStatus) {
            std::fprintf(stderr, "vantor-cli: %s\n",
                         ended ? info.status.c_str() : "the hardware report tool did not end");
            return 1;
        }
        for (const auto& line : form.memo()) std::printf("%s\n", line.c_str());
        if (save) {
            form.saveAndClose();
            std::printf(
                "Stored for the report: it carries this description when additional information is on "
                "(`vantor-cli set additional-info on`).\n");
        }
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The check for a newer version, the question (Yes only with --yes), the
// download with progress lines and the hand-over to the replacement program,
// which starts vantor-cli again with "/afterupgrade". 0: updated or nothing to
// do; 1: refused, failed, interrupted or an older version offered, with the
// reason on stderr. Ctrl+C ends every phase before the hand-over.
int updateCommand(bool yes) {
    Session s(yes);
    CliUpgraderUi& ui = s.updaterUi;
    TAutoUpgrader& updater = *s.controller.updater();
    bool ended = false, closeRequested = false;
    TUpdateEnd end = TUpdateEnd::Aborted;
    std::string text, older;
    updater.OnFinished = [&](TUpdateEnd e, const std::string& t) {
        end = e;
        text = t;
        ended = true;
    };
    updater.OnOlderVersion = [&, logIt = updater.OnOlderVersion](const std::string& offered,
                                                                 const std::string& running) {
        if (logIt) logIt(offered, running);
        older = TAutoUpgrader::olderVersionText(offered, running);
    };
    updater.CloseApplication = [&] { closeRequested = true; };
    s.startUp();
    catchInterrupts();
    ui.interruptRequested = [] { return gInterrupted.load(); };
    s.controller.checkForUpdate();
    std::function<void()> watch = [&] {
        if (gInterrupted.exchange(false)) updater.Cancel();
        if (!ended) s.loop.startTimer(std::chrono::milliseconds(50), watch);
    };
    watch();
    s.loop.runUntil([&] { return ended; }, std::chrono::hours(100));
    s.close();
    switch (end) {
        case TUpdateEnd::NoUpdate:
            if (older.empty()) return 0;
            std::fprintf(stderr, "vantor-cli: %s\n", older.c_str());
            return 1;
        case TUpdateEnd::Redirected: return 0;
        case TUpdateEnd::Restarting: return closeRequested ? 0 : 1;
        default:
            std::fprintf(stderr, "vantor-cli: %s\n", text.empty() ? "the update did not complete" : text.c_str());
            return 1;
    }
}

// Started again by the replacement program after an update: start-up (which
// takes the new version) and the version it now has.
int afterUpgradeCommand() {
    Session s(false);
    const bool started = s.startUp();
    std::string version;
    try {
        if (s.controller.store().open()) version = s.controller.store().read(sv::Programversion);
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
    }
    std::printf("Benchmark version: %s\n", version.c_str());
    const bool closed = s.close();
    return started && closed ? 0 : 1;
}

// The run's options with their stored values (or what a new user gets) and
// the values each takes.
int optionsCommand() {
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    try {
        for (const NamedOption& o : namedOptions()) {
            bool fromDefault = false;
            const std::string word = storedOptionWord(o, store, fromDefault);
            std::printf("%-15s %s%s\n", std::string(o.name).c_str(), word.empty() ? "(none)" : word.c_str(),
                        fromDefault ? " (default)" : "");
            std::printf("%-15s %s; takes %s\n", "", std::string(o.what).c_str(), std::string(o.allowed).c_str());
        }
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Stores one option as the window stores the user's pick.
int setCommand(const std::string& name, const std::string& value) {
    const NamedOption* option = findNamedOption(name);
    if (!option) return usage("unknown option name '" + name + "' for 'set' (`vantor-cli options` lists them)");
    auto registry = openPlatformRegistry();
    SettingsStore store(*registry);
    try {
        if (const std::string refused = storeNamedOption(*option, value, store); !refused.empty())
            return usage(refused);
        bool fromDefault = false;
        std::printf("%s: %s\n", name.c_str(), storedOptionWord(*option, store, fromDefault).c_str());
    } catch (const SettingsError& e) {
        std::fprintf(stderr, "vantor-cli: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// What a command takes: flags, options with a value, and a count of plain
// arguments; the first problem found names the argument.
struct CommandLine {
    std::string command;
    std::vector<std::string> args;
    std::string problem;

    std::string wrong(const std::string& what) const { return "wrong arguments for '" + command + "': " + what; }
    // An argument no rule took.
    void unexpected(const std::string& a) {
        if (problem.empty())
            problem = wrong(a.rfind("-", 0) == 0 ? "unknown option '" + a + "'" : "unexpected argument '" + a + "'");
    }
};

}  // namespace

int cliMain(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) return usage("no command given");
    CommandLine line{argv[1], std::vector<std::string>(argv + 2, argv + argc), {}};
    const std::string& cmd = line.command;
    const std::vector<std::string>& args = line.args;
    // Flags only (each at most once).
    auto onlyFlags = [&](std::initializer_list<const char*> allowed) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const auto& a = args[i];
            const bool known = std::any_of(allowed.begin(), allowed.end(), [&](const char* f) { return a == f; });
            const bool repeated = std::find(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i), a) !=
                                  args.begin() + static_cast<std::ptrdiff_t>(i);
            if (!known)
                line.unexpected(a);
            else if (repeated && line.problem.empty())
                line.problem = line.wrong("'" + a + "' given twice");
        }
        return line.problem.empty();
    };
    auto has = [&](const char* flag) { return std::find(args.begin(), args.end(), flag) != args.end(); };

    if (cmd == "--help" || cmd == "-h" || cmd == "help") return onlyFlags({}) ? help() : usage(line.problem);
    if (cmd == "--version" || cmd == "version") {
        if (!onlyFlags({})) return usage(line.problem);
        std::printf("vantor-cli %s\n", std::string(programVersion()).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (cmd == "processes") return onlyFlags({}) ? processesCommand() : usage(line.problem);
    if (cmd == "discover") return onlyFlags({}) ? discoverCommand() : usage(line.problem);
    if (cmd == "options") return onlyFlags({}) ? optionsCommand() : usage(line.problem);
    if (cmd == "set") {
        if (args.size() != 2) return usage(line.wrong("give NAME and VALUE (`vantor-cli options` lists the names)"));
        return setCommand(args[0], args[1]);
    }
    if (cmd == "set-steam") {
        if (args.size() != 1 || args[0].empty()) return usage(line.wrong("give the path of Steam's folder"));
        return setSteamCommand(args[0]);
    }
    if (cmd == "set-game") {
        if (args.size() != 1 || args[0].empty()) return usage(line.wrong("give the path of the game's program"));
        return setGameCommand(args[0]);
    }
    if (cmd == "start") return onlyFlags({"--yes"}) ? startCommand(has("--yes")) : usage(line.problem);
    if (cmd == "update") return onlyFlags({"--yes"}) ? updateCommand(has("--yes")) : usage(line.problem);
    if (cmd.rfind("/afterupgrade", 0) == 0 && args.empty()) return afterUpgradeCommand();
    if (cmd == "hwinfo") return onlyFlags({"--save"}) ? hwinfoCommand(has("--save")) : usage(line.problem);
    if (cmd == "run") {
        bool yes = false;
        bool debug = false;
        bool json = false;
        std::string logFile;
        RunOptions options;
        std::string optionError;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (takeRunOption(args, i, options, optionError)) {
                if (!optionError.empty()) return usage(optionError);
            } else if (args[i] == "--yes") {
                yes = true;
            } else if (args[i] == "--debug") {
                debug = true;
            } else if (args[i] == "--json") {
                json = true;
            } else if (args[i] == "--log") {
                if (i + 1 >= args.size()) return usage("--log needs a value");
                logFile = args[++i];
            } else {
                line.unexpected(args[i]);
                return usage(line.problem);
            }
        }
        if (options.only && options.classic.empty() && options.today.empty() && !options.custom)
            return usage("--only plays the sizes given with --resolution, and none was given");
        return runCommand(yes, debug, logFile, json, options);
    }
    if (cmd == "history" || cmd == "compare" || cmd == "export") {
        const int code = cmd == "history"   ? historyCommand(args)
                         : cmd == "compare" ? compareCommand(args)
                                            : exportCommand(args);
        return code == kWrongHistoryArguments ? usage("wrong arguments for '" + cmd + "'") : code;
    }
    return usage("unknown command '" + cmd + "'");
}

}  // namespace vantor
