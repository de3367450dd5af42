// hl2.exe of the simulator: the game, as far as a timed demo goes.
//
// Options: -width N, -height N, -refresh N (the vsync cap), "+name value" console
// commands (run at "stuffcmds", e.g. +r_fastzreject 1, +timedemoquit NAME),
// -condebug (also write the messages to hl2/console.log); anything else
// ("-console", "-preload", "-novid", "-heapsize N", ...) is accepted and ignored.
//
// At start it runs its configuration from hl2/cfg/ (GameConsole.h gives the
// order). With "+timedemoquit NAME" it plays hl2/NAME.dem for play_ms
// milliseconds, writes its result and quits with exit 0. A missing or empty
// demo: a message and exit 0 without a result. Without a timed demo it stays up
// until ended, like a game at its menu.
//
// The result, in the shape of the engine of its layout:
// - SteamApps/<account>/half-life 2/ (the first engine): hl2/sourcebench.csv
//   replaced atomically, three header lines, then one data line whose third
//   field is the frame rate with two decimals;
// - <library>/steamapps/common/Half-Life 2/ (today's engine): hl2/SourceBench.csv
//   appended to, a header line of column names when the file is new, then one
//   row per timed demo ("%5.1f" frame rate, width and height, ... every field
//   followed by a comma), lines ended by LF.
//
// Knobs (SimKnobs.h; the Steam folder comes from VANTOR_SIM_STEAM_FOLDER, else
// it is three folders above this program's):
// play_ms (default 3000), mode (crash: ends by a fault after half of play_ms
// without a result; hang: never quits by itself; malformed: a result file that
// cannot be read, malformed=short for only the header lines, malformed=nocomma
// for a data line without commas; wrongsize: a result for another resolution
// than the one asked for, as a window the system did not grant), mode_once,
// <mode>_widths, condebug=1, fps_factors (F1,F2,...: the frame rate of the
// n-th game started is scaled by the n-th factor, cyclically),
// timeline ("start" and "exit" lines, SimKnobs.h). A mode
// resolved by steam.exe arrives in VANTOR_SIM_RESOLVED_MODE.

#include "GameConsole.h"
#include "GameModel.h"
#include "SimKnobs.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace vantor::sim;

namespace {

constexpr long kDefaultPlayMs = 3000;
constexpr const char* kResultFile = "sourcebench.csv";
constexpr const char* kTodayResultFile = "SourceBench.csv";
constexpr const char* kTodayHeader =
    "demofile,fps,framerate variability,totaltime,numframes,width,height,windowed,vsync,MSAA,Aniso,dxlevel,cmdline,"
    "driver name,vendor id,device id,Reduce fillrate,reflect entities,motion blur,flashlight shadows,"
    "mat_reduceparticles,r_dopixelvisibility,nulldevice,timedemo_comment,\n";

struct Options {
    int width = 640;
    int height = 480;
    double refresh = 60;
    bool conDebug = false;
    std::vector<std::string> commands;  // "+name value" as "name value"
};

bool isNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return *end == '\0';
}

int positiveInt(const std::string& s, int fallback) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    return (!s.empty() && *end == '\0' && v > 0 && v <= 16384) ? static_cast<int>(v) : fallback;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasNext = i + 1 < argc;
        if (equalsNoCase(a, "-width") && hasNext) {
            o.width = positiveInt(argv[++i], o.width);
        } else if (equalsNoCase(a, "-height") && hasNext) {
            o.height = positiveInt(argv[++i], o.height);
        } else if (equalsNoCase(a, "-refresh") && hasNext) {
            o.refresh = positiveInt(argv[++i], 60);
        } else if (equalsNoCase(a, "-condebug")) {
            o.conDebug = true;
        } else if (a.size() > 1 && a[0] == '+') {
            std::string command = a.substr(1);
            if (hasNext) {
                const std::string next = argv[i + 1];
                if (isNumber(next) || (!next.empty() && next[0] != '-' && next[0] != '+')) {
                    command += " \"" + next + "\"";
                    ++i;
                }
            }
            o.commands.push_back(command);
        }
    }
    return o;
}

class Messages {
public:
    void toFile(const std::string& path) { file_ = path; }
    void operator()(const std::string& text) const {
        std::fprintf(stderr, "hl2.exe: %s\n", text.c_str());
        if (!file_.empty()) std::ofstream(file_, std::ios::app) << text << "\n";
    }

private:
    std::string file_;
};

std::string format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string resultText(const std::string& mode, const std::string& malformed, const std::string& demoName,
                       const DemoInfo& demo, const RenderSettings& s, double fps) {
    std::string text =
        "Source engine timed demo results (simulated)\r\n"
        "version,1\r\n"
        "demo,map,fps,seconds,frames,width,height,dxlevel,picmip,aniso,trilinear,aa\r\n";
    const std::string fpsText = format("%.2f", fps);
    if (mode == "malformed") {
        if (malformed == "nocomma") text += demoName + " " + fpsText + " fps\r\n";
        return text;
    }
    text += demoName + "," + demo.map + "," + fpsText + "," + format("%.2f", demo.frames / fps) + "," +
            std::to_string(demo.frames) + "," + std::to_string(s.width) + "," + std::to_string(s.height) + "," +
            format("%g", s.dxLevel) + "," + format("%g", s.picmip) + "," + format("%g", s.aniso) + "," +
            format("%g", s.trilinear) + "," + format("%g", s.antialias) + "\r\n";
    return text;
}

// One row of today's shape (header added by the caller for a new file).
std::string todayRow(const std::string& mode, const std::string& malformed, const std::string& demoFile,
                     const DemoInfo& demo, const RenderSettings& s, double fps, const std::string& cmdline) {
    if (mode == "malformed") return malformed == "nocomma" ? demoFile + " " + format("%.1f", fps) + " fps\n" : "";
    auto onOff = [](double v) { return std::string(v > 0 ? "on" : "off"); };
    return demoFile + "," + format("%5.1f", fps) + "," + format("%5.1f", 1.5) + "," +
           format("%5.1f", demo.frames / fps) + "," + std::to_string(demo.frames) + "," + std::to_string(s.width) +
           "," + std::to_string(s.height) + ",fullscreen," + onOff(s.vsync) + "," + format("%g", s.antialias) + "," +
           format("%g", s.aniso) + "," + format("%g", s.dxLevel) + "," + cmdline + ",Simulated driver,0x0,0x0," +
           onOff(s.reduceFillRate) + "," + onOff(s.waterReflectEntities) + ",off,off,off,on,no,,\n";
}

// Whether the program lies in today's layout: .../steamapps/common/<game>/.
// The knob fps_factors=F1,F2,...: the n-th game started from this Steam folder
// (counted in the file vantor-sim.count there) scales its frame rate by the
// n-th factor, over and over, so that repeated passes of one resolution give
// different scores. Without the knob: 1.
double fpsFactor(const Knobs& knobs, const std::string& steamFolder) {
    const std::string list = knobs.get("fps_factors");
    if (list.empty()) return 1.0;
    std::vector<double> factors;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const double f = std::strtod(list.substr(at, comma - at).c_str(), nullptr);
        if (f > 0) factors.push_back(f);
        at = comma + 1;
    }
    if (factors.empty()) return 1.0;
    const std::string counter = steamFolder + "/vantor-sim.count";
    long n = 0;
    if (std::ifstream in(counter); in) in >> n;
    if (std::ofstream out(counter, std::ios::trunc); out) out << n + 1 << "\n";
    return factors[static_cast<std::size_t>(n) % factors.size()];
}

bool isTodaysLayout(const std::string& gameFolder) {
    const std::string parent = folderOf(gameFolder);
    return equalsNoCase(parent.substr(parent.find_last_of("/\\") + 1), "common");
}

}  // namespace

static int runGame(int argc, char** argv) {
    const long long startedNs = monotonicNs();
    const std::string gameFolder = folderOf(selfPath(argv[0]));
    const std::string modFolder = gameFolder + "/hl2";
    const char* steamFromLaunch = std::getenv(kSteamFolderVar);
    const std::string steamFolder =
        steamFromLaunch && *steamFromLaunch ? steamFromLaunch : folderOf(folderOf(folderOf(gameFolder)));
    const bool today = isTodaysLayout(gameFolder);
    const Options opt = parseOptions(argc, argv);
    const Knobs knobs(steamFolder);
    const std::string widthText = std::to_string(opt.width);
    timeline(knobs, "start", startedNs, widthText);
    auto quit = [&](int code) {
        timeline(knobs, "exit", monotonicNs(), widthText);
        return code;
    };

    Messages log;
    if (opt.conDebug || knobs.get("condebug") == "1") log.toFile(modFolder + "/console.log");

    std::string mode;
    if (const char* resolved = std::getenv(kResolvedModeVar))
        mode = resolved;
    else
        mode = resolveMode(knobs, steamFolder, widthText);

    GameConsole console(modFolder + "/cfg", opt.commands, [&](const std::string& m) { log(m); });
    console.boot();
    if (!console.fault().empty()) {
        log("cannot start: " + console.fault());
        return quit(1);
    }
    std::string files;
    for (const auto& f : console.filesRun()) files += (files.empty() ? "" : ", ") + f;
    log("configuration: " + (files.empty() ? std::string("none") : files));

    if (mode == "hang") {
        log("not responding");
        hangUntilEnded();
    }
    std::string demoFile = console.value("timedemoquit");
    if (demoFile.empty()) hangUntilEnded();
    const std::string demoName = demoFile.size() > 4 && equalsNoCase(demoFile.substr(demoFile.size() - 4), ".dem")
                                     ? demoFile.substr(0, demoFile.size() - 4)
                                     : demoFile;
    demoFile = demoName + ".dem";

    const DemoInfo demo = readDemo(modFolder + "/" + demoFile);
    if (!demo.playable) {
        log("timedemo: couldn't play " + demoFile);
        return quit(0);
    }
    const long playMs = knobs.getMs("play_ms", kDefaultPlayMs);
    if (mode == "crash") {
        sleepMs(playMs / 2);
        quit(0);
        crash();
    }
    sleepMs(playMs);

    RenderSettings settings = settingsFrom(console, opt.width, opt.height, opt.refresh);
    const double fps = framesPerSecond(settings, demo) * fpsFactor(knobs, steamFolder);
    if (mode == "wrongsize") {
        // The window came up at another size than asked for.
        const bool desktop = !(settings.width == 1024 && settings.height == 768);
        settings.width = desktop ? 1024 : 800;
        settings.height = desktop ? 768 : 600;
    }
    const std::string malformed = knobs.get("malformed", "short");
    std::string error;
    if (today) {
        std::string cmdline = selfPath(argv[0]);
        for (int i = 1; i < argc; ++i) cmdline += std::string(" ") + argv[i];
        const std::string row = todayRow(mode, malformed, demoFile, demo, settings, fps, cmdline);
        if (!appendWithHeader(modFolder + "/" + kTodayResultFile, kTodayHeader, row, error)) {
            log(std::string("cannot write ") + kTodayResultFile + ": " + error);
            return quit(1);
        }
    } else if (!writeAtomic(modFolder, kResultFile, resultText(mode, malformed, demoName, demo, settings, fps),
                            error)) {
        log(std::string("cannot write ") + kResultFile + ": " + error);
        return quit(1);
    }
    log(demoName + ": " + format("%.2f", fps) + " fps");
    return quit(0);
}

int main(int argc, char** argv) {
    try {
        return runGame(argc, argv);
    } catch (const std::exception& e) {
        // Ends without a result, saying why.
        std::fprintf(stderr, "hl2.exe: cannot go on: %s\n", e.what());
        return 1;
    }
}
