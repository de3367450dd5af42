// steam.exe of the simulator.
//   steam.exe                          the running client: stays up until ended
//                                      (POSIX: SIGTERM, SIGINT or SIGHUP end it
//                                      with exit 0)
//   steam.exe [...] -applaunch 220 ... starts the game's hl2.exe detached (POSIX:
//                                      own session, not a child of this process;
//                                      Windows: no console, through a detached
//                                      copy of steam.exe that waits the start
//                                      delay) with the options after the
//                                      application id, and returns at once with
//                                      exit 0
// The game is <Steam folder>/SteamApps/<account>/half-life 2/hl2.exe; the account
// is the knob `account`, else the first account folder (by name) holding the game.
// Without such an account (today's layout) it is <library>/steamapps/common/
// Half-Life 2/hl2_linux (or hl2.exe) in the Steam folder's own library or one
// listed in steamapps/libraryfolders.vdf (the "path" values, in file order).
// The game learns the Steam folder from VANTOR_SIM_STEAM_FOLDER.
// Knobs (SimKnobs.h): mode (nostart: no game ever starts; the others are passed
// on to the game), mode_once, <mode>_widths, start_delay_ms (default 200: the
// time before hl2.exe appears), account, timeline (a "launch" line for every
// -applaunch, SimKnobs.h).

#include "SimKnobs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace vantor::sim;

namespace {

constexpr const char* kAppId = "220";
constexpr const char* kGameFolder = "half-life 2";
constexpr const char* kGameExe = "hl2.exe";
constexpr const char* kTodayGameFolder = "steamapps/common/Half-Life 2";
constexpr const char* kTodayGamePrograms[] = {"hl2_linux", "hl2.exe"};
constexpr long kDefaultStartDelayMs = 200;

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// The "path" values of a library list, in file order: every quoted "path" key
// followed by a quoted value ("\\" stands for one backslash).
std::vector<std::string> listedLibraries(const std::string& steamFolder) {
    std::ifstream in(fs::path(steamFolder) / "steamapps" / "libraryfolders.vdf", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> quoted;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') continue;
        std::string token;
        for (++i; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) ++i;
            token += text[i];
        }
        quoted.push_back(token);
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i + 1 < quoted.size(); ++i)
        if (quoted[i] == "path") paths.push_back(quoted[++i]);
    return paths;
}

// Today's layout: the game in the Steam folder's library or a listed one.
std::string findTodaysGame(const std::string& steamFolder) {
    std::vector<std::string> libraries{steamFolder};
    for (const auto& p : listedLibraries(steamFolder)) libraries.push_back(p);
    for (const auto& library : libraries)
        for (const char* program : kTodayGamePrograms) {
            const fs::path exe = (fs::path(library) / kTodayGameFolder / program).make_preferred();
            if (isFile(exe)) return exe.string();
        }
    return {};
}

// The game of the account knob, else of the first account (sorted) that has it,
// else today's layout.
std::string findGame(const std::string& steamFolder, const std::string& account, std::string& why) {
    const fs::path apps = fs::path(steamFolder) / "SteamApps";
    if (!account.empty()) {
        const fs::path exe = (apps / account / kGameFolder / kGameExe).make_preferred();
        if (isFile(exe)) return exe.string();
        why = "no " + exe.string();
        return {};
    }
    std::vector<std::string> accounts;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(apps, ec))
        if (e.is_directory(ec)) accounts.push_back(e.path().filename().string());
    std::sort(accounts.begin(), accounts.end());
    for (const auto& a : accounts) {
        const fs::path exe = (apps / a / kGameFolder / kGameExe).make_preferred();
        if (isFile(exe)) return exe.string();
    }
    if (std::string today = findTodaysGame(steamFolder); !today.empty()) return today;
    why = "no account folder in " + apps.string() + " holds " + kGameFolder + "/" + kGameExe +
          ", and no library holds " + kTodayGameFolder;
    return {};
}

// Starts the game detached with the options; the resolved mode and the Steam
// folder travel in its environment, while the knobs that chose the mode stay
// out, so the game does not choose again.
bool startGame(const std::string& exe, const std::vector<std::string>& options, const std::string& mode,
               const std::string& steamFolder, long delayMs) {
    std::vector<std::string> env;
    const std::string resolvedPrefix = std::string(kResolvedModeVar) + "=";
    for (const std::string& kv : environmentLines()) {
        if (kv.rfind(resolvedPrefix, 0) == 0 || kv.rfind("VANTOR_SIM_MODE", 0) == 0) continue;
        if (kv.rfind(std::string(kSteamFolderVar) + "=", 0) == 0) continue;
        if (kv.rfind("VANTOR_SIM_", 0) == 0 && kv.find("_WIDTHS=") != std::string::npos) continue;
        env.push_back(kv);
    }
    env.push_back(resolvedPrefix + mode);
    env.push_back(std::string(kSteamFolderVar) + "=" + steamFolder);
    return startDetached(exe, options, env, folderOf(exe), delayMs);
}

}  // namespace

int main(int argc, char** argv) {
    const long long startedNs = monotonicNs();
    if (const int code = runDelayedStart(argc, argv); code >= 0) return code;
    int launch = -1;
    for (int i = 1; i < argc; ++i)
        if (equalsNoCase(argv[i], "-applaunch")) {
            launch = i;
            break;
        }
    if (launch < 0) return runUntilEnded();

    if (launch + 1 >= argc) {
        std::fprintf(stderr, "steam.exe: -applaunch needs an application id\n");
        return 1;
    }
    const std::string appId = argv[launch + 1];
    if (appId != kAppId) {
        std::fprintf(stderr, "steam.exe: unknown application id '%s'\n", appId.c_str());
        return 1;
    }

    const std::string steamFolder = folderOf(selfPath(argv[0]));
    const Knobs knobs(steamFolder);
    std::string why;
    const std::string exe = findGame(steamFolder, knobs.get("account"), why);
    if (exe.empty()) {
        std::fprintf(stderr, "steam.exe: application %s (Half-Life 2) is not installed: %s\n", kAppId, why.c_str());
        return 1;
    }

    const std::vector<std::string> options(argv + launch + 2, argv + argc);
    std::string width;
    for (std::size_t i = 0; i + 1 < options.size(); ++i)
        if (equalsNoCase(options[i], "-width")) width = options[i + 1];
    timeline(knobs, "launch", startedNs, width);

    const std::string mode = resolveMode(knobs, steamFolder, width);
    if (mode == "nostart") return 0;
    if (!startGame(exe, options, mode, steamFolder, knobs.getMs("start_delay_ms", kDefaultStartDelayMs))) {
        std::fprintf(stderr, "steam.exe: could not start %s\n", exe.c_str());
        return 1;
    }
    return 0;
}
