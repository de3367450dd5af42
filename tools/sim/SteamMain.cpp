// steam.exe of the simulator.
//   steam.exe                          the running client: stays up until ended
//                                      (SIGTERM, SIGINT or SIGHUP end it with exit 0)
//   steam.exe [...] -applaunch 220 ... starts the game's hl2.exe detached (own
//                                      session, not a child of this process) with
//                                      the options after the application id, and
//                                      returns at once with exit 0
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
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace vantor::sim;

namespace {

constexpr const char* kAppId = "220";
constexpr const char* kGameFolder = "half-life 2";
constexpr const char* kGameExe = "hl2.exe";
constexpr const char* kTodayGameFolder = "steamapps/common/Half-Life 2";
constexpr const char* kTodayGamePrograms[] = {"hl2_linux", "hl2.exe"};
constexpr long kDefaultStartDelayMs = 200;

int runClient() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {}
    return 0;
}

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
            const fs::path exe = fs::path(library) / kTodayGameFolder / program;
            if (isFile(exe)) return exe.string();
        }
    return {};
}

// The game of the account knob, else of the first account (sorted) that has it,
// else today's layout.
std::string findGame(const std::string& steamFolder, const std::string& account, std::string& why) {
    const fs::path apps = fs::path(steamFolder) / "SteamApps";
    if (!account.empty()) {
        const fs::path exe = apps / account / kGameFolder / kGameExe;
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
        const fs::path exe = apps / a / kGameFolder / kGameExe;
        if (isFile(exe)) return exe.string();
    }
    if (std::string today = findTodaysGame(steamFolder); !today.empty()) return today;
    why = "no account folder in " + apps.string() + " holds " + kGameFolder + "/" + kGameExe +
          ", and no library holds " + kTodayGameFolder;
    return {};
}

// Starts the game in its own session through a double fork, so it is nobody's
// child here; its standard streams go to /dev/null (a game has no console) and
// no descriptor of the caller is kept open.
bool startDetached(const std::string& exe, const std::vector<std::string>& options, const std::string& mode,
                   const std::string& steamFolder, long delayMs) {
    std::vector<std::string> args{exe};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The resolved mode travels in the environment; the knobs that chose it stay
    // out, so the game does not choose again.
    std::vector<std::string> env;
    const std::string resolvedPrefix = std::string(kResolvedModeVar) + "=";
    for (char** e = environ; *e; ++e) {
        const std::string kv(*e);
        if (kv.rfind(resolvedPrefix, 0) == 0 || kv.rfind("VANTOR_SIM_MODE", 0) == 0) continue;
        if (kv.rfind(std::string(kSteamFolderVar) + "=", 0) == 0) continue;
        if (kv.rfind("VANTOR_SIM_", 0) == 0 && kv.find("_WIDTHS=") != std::string::npos) continue;
        env.push_back(kv);
    }
    env.push_back(resolvedPrefix + mode);
    env.push_back(std::string(kSteamFolderVar) + "=" + steamFolder);
    std::vector<char*> envp;
    for (auto& kv : env) envp.push_back(kv.data());
    envp.push_back(nullptr);
    const std::string gameFolder = folderOf(exe);

    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        const pid_t game = ::fork();
        if (game != 0) ::_exit(game < 0 ? 1 : 0);
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::close_range(3, ~0U, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) std::signal(sig, SIG_DFL);
        if (::chdir(gameFolder.c_str()) != 0) ::_exit(127);
        sleepMs(delayMs);
        ::execve(exe.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const long long startedNs = monotonicNs();
    int launch = -1;
    for (int i = 1; i < argc; ++i)
        if (equalsNoCase(argv[i], "-applaunch")) {
            launch = i;
            break;
        }
    if (launch < 0) return runClient();

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
    if (!startDetached(exe, options, mode, steamFolder, knobs.getMs("start_delay_ms", kDefaultStartDelayMs))) {
        std::fprintf(stderr, "steam.exe: could not start %s\n", exe.c_str());
        return 1;
    }
    return 0;
}
