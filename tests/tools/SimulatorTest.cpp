// The Steam and game simulator (tools/sim) and scripts/make-sim-install, driven
// from outside as the program drives them: a command line, configuration files,
// a demo, the process list and the result file. POSIX (the Windows build of the
// simulator: SimulatorWinTest.cpp).

#ifndef _WIN32

#include "platform/ProcessList.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string kSimDir = VANTOR_SIM_DIR;
const std::string kSourceDir = VANTOR_SOURCE_DIR;

// The options of a pass as the program's launch command gives them (800 x 600).
const std::vector<std::string> kPassOptions = {
    "-preload", "-novid",        "-mat_preloadshaders", "-nocdaudio", "-nosound", "-width", "800",
    "-height",  "600",           "+r_fastzreject",      "0",          "-refresh", "75",     "-heapsize",
    "64000",    "+timedemoquit", "qvn_coast1"};

std::vector<std::string> passOptions(const std::string& width, const std::string& height,
                                     const std::string& demo = "qvn_coast1") {
    auto o = kPassOptions;
    o[6] = width;
    o[8] = height;
    o.back() = demo;
    return o;
}

struct Ended {
    bool timedOut = false;
    int status = 0;
    bool exitedWith(int code) const { return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Starts a program with the environment of this process minus its VANTOR_SIM_
// entries, plus extraEnv; standard error goes to errFile.
pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {},
            const std::string& errFile = "/dev/null") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("VANTOR_SIM_", 0) != 0) env.push_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& kv : env) envp.push_back(kv.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

// Waits for a child; past the limit it is killed and reported as timed out.
Ended waitEnd(pid_t pid, std::chrono::milliseconds limit) {
    Ended e;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &e.status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &e.status, 0);
            e.timedOut = true;
            return e;
        }
        std::this_thread::sleep_for(5ms);
    }
    return e;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Ids of the running processes whose program file is exe (full path).
std::vector<std::uint32_t> processesOf(const std::string& exe) {
    std::vector<ProcessEntry> list;
    ListRunningProcesses(list, true);
    std::vector<std::uint32_t> ids;
    for (const auto& p : list)
        if (p.name == exe) ids.push_back(p.id);
    return ids;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ',')) fields.push_back(f);
    return fields;
}

// Runs scripts/make-sim-install; returns what it printed (trimmed), or "" when it failed.
std::string makeInstall(const std::string& dir, const std::string& extra = {}) {
    const std::string cmd =
        "'" + kSourceDir + "/scripts/make-sim-install' '" + dir + "' --bin '" + kSimDir + "' " + extra + " 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    if (::pclose(p) != 0) return {};
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

class Simulator : public ::testing::Test {
protected:
    void SetUp() override { install(""); }

    // Lays out (or refreshes) the installation and puts the coast demo in every account.
    void install(const std::string& extra) {
        const std::string printed = makeInstall(tmp_ / "inst", extra);
        root_ = fs::canonical(tmp_ / "inst").string() + "/";
        ASSERT_EQ(printed, root_ + "registry.reg");
        for (const auto& account : accounts())
            fs::copy_file(kSourceDir + "/assets/Demos/qvn_coast1.dem", mod(account) + "qvn_coast1.dem",
                          fs::copy_options::overwrite_existing);
    }

    // Ends whatever of this installation still runs (a hung game, a waiting launch).
    void TearDown() override {
        std::vector<ProcessEntry> list;
        ListRunningProcesses(list, true);
        for (const auto& p : list)
            if (!root_.empty() && p.name.rfind(root_, 0) == 0) ::kill(static_cast<pid_t>(p.id), SIGKILL);
    }

    std::vector<std::string> accounts() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ + "Steam/SteamApps")) names.insert(e.path().filename());
        return {names.begin(), names.end()};
    }
    std::string steamExe() const { return root_ + "Steam/steam.exe"; }
    std::string gameExe(const std::string& account = "player1") const {
        return root_ + "Steam/SteamApps/" + account + "/half-life 2/hl2.exe";
    }
    std::string mod(const std::string& account = "player1") const {
        return root_ + "Steam/SteamApps/" + account + "/half-life 2/hl2/";
    }
    std::string cfg(const std::string& account = "player1") const { return mod(account) + "cfg/"; }
    std::string result(const std::string& account = "player1") const { return mod(account) + "sourcebench.csv"; }

    void knobs(const std::string& lines) { writeFile(root_ + "Steam/vantor-sim.cfg", lines); }

    // steam.exe -applaunch <app> <options>; its exit code (-1 when it did not return).
    int launch(const std::vector<std::string>& options, const std::vector<std::string>& env = {},
               const std::string& app = "220", const std::string& errFile = "/dev/null") {
        std::vector<std::string> args{steamExe(), "-applaunch", app};
        args.insert(args.end(), options.begin(), options.end());
        const Ended e = waitEnd(spawn(args, env, errFile), 5s);
        return e.timedOut || !WIFEXITED(e.status) ? -1 : WEXITSTATUS(e.status);
    }

    bool gameRuns(const std::string& account = "player1") const { return !processesOf(gameExe(account)).empty(); }
    bool waitGameStarts(const std::string& account = "player1") {
        return waitUntil([&] { return gameRuns(account); }, 5s);
    }
    bool waitGameEnds(const std::string& account = "player1") {
        return waitUntil([&] { return !gameRuns(account); }, 10s);
    }

    // One launch through Steam that is expected to start the game and let it end.
    void launchAndWaitForEnd(const std::vector<std::string>& options, const std::string& account = "player1") {
        std::error_code ec;
        fs::remove(result(account), ec);
        ASSERT_EQ(launch(options), 0);
        ASSERT_TRUE(waitGameStarts(account));
        ASSERT_TRUE(waitGameEnds(account));
    }

    // Runs hl2.exe directly and waits for it; the game's own configuration as given.
    Ended runGame(const std::vector<std::string>& options,
                  const std::vector<std::string>& env = {"VANTOR_SIM_PLAY_MS=0"},
                  const std::string& errFile = "/dev/null") {
        std::error_code ec;
        fs::remove(result(), ec);
        std::vector<std::string> args{gameExe()};
        args.insert(args.end(), options.begin(), options.end());
        return waitEnd(spawn(args, env, errFile), 5s);
    }

    // The fourth line's fields of the result, empty when there is no result.
    std::vector<std::string> dataFields(const std::string& account = "player1") const {
        const auto lines = splitLines(readFile(result(account)));
        return lines.size() >= 4 ? splitFields(lines[3]) : std::vector<std::string>{};
    }

    TempDir tmp_;
    std::string root_;
};

std::string rcBytes(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

const std::string kProgramValveRc =
    rcBytes({"// Pellmarr & Quorvane - rc details", "", "exec autoexec.cfg", "", "stuffcmds"});

}  // namespace

// ---- the installation script ----------------------------------------------------

TEST_F(Simulator, ScriptLaysOutInstallationWithHiveAndUserFiles) {
    EXPECT_EQ(readFile(root_ + "registry.reg"),
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n"
              "\"SteamExe\"=\"" +
                  root_ + "Steam/steam.exe\"\r\n");
    EXPECT_EQ(::access(steamExe().c_str(), X_OK), 0);
    EXPECT_EQ(::access(gameExe().c_str(), X_OK), 0);
    for (const char* f : {"valve.rc", "autoexec.cfg", "config.cfg"}) {
        const std::string bytes = readFile(cfg() + f);
        EXPECT_NE(bytes.find(std::string(f) + " of player1"), std::string::npos) << f;
        EXPECT_TRUE(bytes.ends_with("\r\n")) << f;
    }

    // Running it again keeps the player's files and the hive's other keys.
    writeFile(cfg() + "autoexec.cfg", "changed by the player\r\n");
    const std::string hive =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n\"Demo\"=\"3\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n\"Language\"=\"english\"\r\n"
        "\"SteamExe\"=\"c:/elsewhere/steam.exe\"\r\n";
    writeFile(root_ + "registry.reg", hive);
    ASSERT_EQ(makeInstall(root_ + "."), root_ + "registry.reg");
    EXPECT_EQ(readFile(cfg() + "autoexec.cfg"), "changed by the player\r\n");
    std::string expected = hive;
    expected.replace(expected.find("c:/elsewhere/"), 13, root_ + "Steam/");
    EXPECT_EQ(readFile(root_ + "registry.reg"), expected);
}

TEST_F(Simulator, ScriptOptionsForAccountsAndNoUserFiles) {
    TempDir other;
    ASSERT_EQ(makeInstall(other / "x", "--accounts 3 --no-user-files"), other / "x/registry.reg");
    for (const char* account : {"player1", "player2", "player3"}) {
        const std::string game = other / (std::string("x/Steam/SteamApps/") + account + "/half-life 2/");
        EXPECT_TRUE(exists(game + "hl2.exe")) << account;
        EXPECT_TRUE(fs::is_directory(game + "hl2/cfg")) << account;
        EXPECT_TRUE(fs::is_empty(game + "hl2/cfg")) << account;
    }
    EXPECT_EQ(makeInstall(other / "y", "--accounts 0"), "");
    EXPECT_EQ(makeInstall(other / "z", "--bogus"), "");
}

TEST_F(Simulator, ScriptTodayPutsTheGameInASecondLibraryThatAppendsTodaysRows) {
    TempDir other;
    ASSERT_EQ(makeInstall(other / "t", "--today"), other / "t/registry.reg");
    const std::string root = fs::canonical(other / "t").string() + "/";
    const std::string game = root + "Library2/steamapps/common/Half-Life 2/";
    EXPECT_EQ(::access((game + "hl2_linux").c_str(), X_OK), 0);
    EXPECT_FALSE(exists(root + "Steam/SteamApps"));
    for (const char* f : {"valve.rc", "autoexec.cfg", "config.cfg"}) EXPECT_TRUE(exists(game + "hl2/cfg/" + f)) << f;
    EXPECT_EQ(
        readFile(root + "Steam/steamapps/libraryfolders.vdf"),
        "\"libraryfolders\"\n{\n"
        "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" +
            root +
            "Steam\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n"
            "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
            root +
            "Library2\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"220\"\t\t\"4200000000\"\n\t\t}\n\t}\n"
            "}\n");
    EXPECT_EQ(makeInstall(other / "u", "--today --accounts 2"), "");

    // The knobs of the Steam folder reach the game in the other library.
    writeFile(root + "Steam/vantor-sim.cfg", "start_delay_ms=0\nplay_ms=50\nwrongsize_widths=800\n");
    fs::copy_file(kSourceDir + "/assets/Demos/qvn_coast1.dem", game + "hl2/qvn_coast1.dem");
    const std::string exe = game + "hl2_linux";
    std::size_t rows = 1;  // the header comes with the first row
    for (const char* width : {"640", "800"}) {
        SCOPED_TRACE(width);
        std::vector<std::string> args{root + "Steam/steam.exe", "-applaunch", "220"};
        for (const auto& o : passOptions(width, width[0] == '6' ? "480" : "600")) args.push_back(o);
        ASSERT_TRUE(waitEnd(spawn(args), 5s).exitedWith(0));
        // This pass's row is appended, and its game has gone.
        ++rows;
        ASSERT_TRUE(waitUntil([&] { return splitLines(readFile(game + "hl2/SourceBench.csv")).size() >= rows; }, 10s));
        ASSERT_TRUE(waitUntil([&] { return processesOf(exe).empty(); }, 10s));
    }
    const auto lines = splitLines(readFile(game + "hl2/SourceBench.csv"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("demofile,fps,framerate variability,totaltime,numframes,width,height,"))
        << lines[0];
    EXPECT_TRUE(lines[0].ends_with(",timedemo_comment,")) << lines[0];
    const auto first = splitFields(lines[1]);
    const auto second = splitFields(lines[2]);
    ASSERT_GE(first.size(), 7u);
    ASSERT_GE(second.size(), 7u);
    EXPECT_EQ(first[0], "qvn_coast1.dem");
    EXPECT_TRUE(std::regex_match(first[1], std::regex(" *[0-9]+\\.[0-9]"))) << first[1];
    EXPECT_EQ(first[5] + "x" + first[6], "640x480");
    EXPECT_EQ(second[5] + "x" + second[6], "1024x768");  // wrongsize: the window came up at another size
    EXPECT_FALSE(exists(game + "hl2/sourcebench.csv"));
}

// ---- Steam ----------------------------------------------------------------------

TEST_F(Simulator, SteamClientStaysUpUntilEnded) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {{{steamExe()}, SIGTERM},
                                                                         {{steamExe(), "-silent"}, SIGINT}};
    for (const auto& [args, sig] : cases) {
        const pid_t pid = spawn(args);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "ended by itself";
        ::kill(pid, sig);
        EXPECT_TRUE(waitEnd(pid, 2s).exitedWith(0)) << "signal " << sig;
    }
}

TEST_F(Simulator, SteamRefusesUnknownApplicationsAndMissingGame) {
    struct Case {
        std::vector<std::string> args;
        std::string env;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-applaunch", "440", "-width", "800"}, "", "unknown application id '440'"},
        {{"-applaunch"}, "", "needs an application id"},
        {{"-applaunch", "220", "+timedemoquit", "qvn_coast1"}, "VANTOR_SIM_ACCOUNT=nobody", "not installed"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{steamExe()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const std::string err = tmp_ / "stderr.txt";
        std::vector<std::string> env;
        if (!c.env.empty()) env.push_back(c.env);
        EXPECT_TRUE(waitEnd(spawn(args, env, err), 5s).exitedWith(1)) << c.message;
        EXPECT_NE(readFile(err).find(c.message), std::string::npos) << readFile(err);
    }
    // No game in any account at all.
    fs::remove(gameExe());
    EXPECT_EQ(launch(kPassOptions), 1);
}

TEST_F(Simulator, LaunchReturnsAtOnceAndDetachedGamePlaysWritesResultAndQuits) {
    knobs("start_delay_ms=100\nplay_ms=800\n");
    std::map<std::string, std::string> before;
    for (const char* f : {"valve.rc", "autoexec.cfg", "config.cfg"}) before[f] = readFile(cfg() + f);

    ASSERT_EQ(launch(kPassOptions), 0);
    EXPECT_FALSE(exists(result())) << "steam.exe waited for the game";
    ASSERT_TRUE(waitGameStarts());

    const auto ids = processesOf(gameExe());
    ASSERT_EQ(ids.size(), 1u);
    std::vector<ProcessEntry> names;
    ListRunningProcesses(names, false);
    bool named = false;
    for (const auto& p : names) named = named || (p.id == ids[0] && p.name == "hl2.exe");
    EXPECT_TRUE(named) << "the process list does not see it as hl2.exe";
    EXPECT_NE(::getsid(static_cast<pid_t>(ids[0])), ::getsid(0)) << "the game is not in a session of its own";
    EXPECT_FALSE(exists(result())) << "result before the demo was played";

    ASSERT_TRUE(waitGameEnds());
    const auto lines = splitLines(readFile(result()));
    ASSERT_EQ(lines.size(), 4u);
    const auto f = splitFields(lines[3]);
    ASSERT_GE(f.size(), 3u);
    EXPECT_EQ(f[0], "qvn_coast1");
    EXPECT_TRUE(std::regex_match(f[2], std::regex("[0-9]+\\.[0-9][0-9]"))) << f[2];
    for (const auto& [name, bytes] : before) EXPECT_EQ(readFile(cfg() + name), bytes) << name;
}

TEST_F(Simulator, SteamStartsTheNamedAccountElseTheFirst) {
    install("--accounts 2");
    ASSERT_EQ(accounts(), (std::vector<std::string>{"player1", "player2"}));
    knobs("start_delay_ms=0\nplay_ms=200\n");

    launchAndWaitForEnd(kPassOptions, "player1");
    EXPECT_TRUE(exists(result("player1")));
    EXPECT_FALSE(exists(result("player2")));

    knobs("start_delay_ms=0\nplay_ms=200\naccount=player2\n");
    launchAndWaitForEnd(kPassOptions, "player2");
    EXPECT_TRUE(exists(result("player2")));
}

// ---- the game ---------------------------------------------------------------------

class GameFrameRate : public Simulator {
protected:
    // The frame rate the game reports for a configuration (program's valve.rc,
    // no config.cfg, autoexec.cfg as given).
    double fps(const std::string& autoexec, const std::string& width, const std::string& height,
               const std::string& demo = "qvn_coast1") {
        writeFile(cfg() + "valve.rc", kProgramValveRc);
        writeFile(cfg() + "autoexec.cfg", autoexec);
        fs::remove(cfg() + "config.cfg");
        const Ended e = runGame(passOptions(width, height, demo));
        EXPECT_TRUE(e.exitedWith(0));
        const auto f = dataFields();
        if (f.size() < 3) {
            ADD_FAILURE() << "no result for " << width << "x" << height;
            return 0;
        }
        EXPECT_TRUE(std::regex_match(f[2], std::regex("[0-9]+\\.[0-9][0-9]"))) << f[2];
        return std::stod(f[2]);
    }
};

const std::string kMax =
    "sv_cheats \"1\"\r\nmat_picmip \"0\"\r\nmat_reducefillrate \"0\"\r\ncl_detaildist \"2500\"\r\nr_rootlod \"0\"\r\n"
    "r_waterforcereflectentities \"1\"\r\nr_waterforceexpensive \"1\"\r\nr_shadowrendertotexture \"1\"\r\n";
const std::string kMin =
    "sv_cheats \"1\"\r\nmat_picmip \"2\"\r\nmat_reducefillrate \"1\"\r\ncl_detaildist \"1000\"\r\nr_rootlod \"2\"\r\n"
    "r_waterforcereflectentities \"0\"\r\nr_waterforceexpensive \"0\"\r\nr_shadowrendertotexture \"0\"\r\n";

std::string added(const std::string& aniso, const std::string& aa, const std::string& dx) {
    return "mat_forceaniso " + aniso + "\r\nmat_trilinear 0\r\nmat_antialias " + aa + "\r\nmat_dxlevel " + dx +
           "\r\nmat_vsync 0\r\nfps_max 500\r\n";
}

TEST_F(GameFrameRate, HeavierSettingsGiveFewerFramesPerSecond) {
    struct Setup {
        std::string cfg, w, h, demo = "qvn_coast1";
    };
    struct Case {
        const char* what;
        Setup faster, slower;
    };
    const std::string base = kMax + added("1", "0", "90");
    const std::vector<Case> cases = {
        {"640 vs 800", {base, "640", "480"}, {base, "800", "600"}},
        {"800 vs 1024", {base, "800", "600"}, {base, "1024", "768"}},
        {"1024 vs 1280", {base, "1024", "768"}, {base, "1280", "1024"}},
        {"1280 vs 1600", {base, "1280", "1024"}, {base, "1600", "1200"}},
        {"1600 vs 2048", {base, "1600", "1200"}, {base, "2048", "1536"}},
        {"minimum vs maximum detail", {kMin + added("1", "0", "90"), "1024", "768"}, {base, "1024", "768"}},
        {"no AA vs 4x", {base, "1280", "1024"}, {kMax + added("1", "4", "90"), "1280", "1024"}},
        {"4x vs 8x AA", {kMax + added("1", "4", "90"), "1280", "1024"}, {kMax + added("1", "8", "90"), "1280", "1024"}},
        {"bilinear vs 16x aniso", {base, "1600", "1200"}, {kMax + added("16", "0", "90"), "1600", "1200"}},
        {"DirectX 7 vs 8",
         {kMax + added("1", "0", "70"), "1280", "1024"},
         {kMax + added("1", "0", "80"), "1280", "1024"}},
        {"DirectX 8.1 vs 9", {kMax + added("1", "0", "81"), "1280", "1024"}, {base, "1280", "1024"}},
        {"light vs heavy demo", {base, "1024", "768", "qvn_coast1"}, {base, "1024", "768", "d3c171"}},
    };
    fs::copy_file(kSourceDir + "/assets/Demos/d3c171.dem", mod() + "d3c171.dem");
    for (const auto& c : cases) {
        const double fast = fps(c.faster.cfg, c.faster.w, c.faster.h, c.faster.demo);
        const double slow = fps(c.slower.cfg, c.slower.w, c.slower.h, c.slower.demo);
        EXPECT_GT(fast, slow) << c.what;
    }
}

TEST_F(GameFrameRate, PlausibleRangeAndDeterministic) {
    const double low = fps(kMax + added("1", "0", "90"), "640", "480");
    EXPECT_GT(low, 100);
    EXPECT_LT(low, 200);
    const double high = fps(kMax + added("16", "8", "90"), "2048", "1536");
    EXPECT_GT(high, 15);
    EXPECT_LT(high, 35);
    EXPECT_EQ(fps(kMax + added("16", "8", "90"), "2048", "1536"), high);

    // Every shipped demo plays, and they do not all weigh the same.
    std::set<double> seen;
    for (const char* demo : {"qvn_coast1", "d3c171", "Raza3Z_demo4", "Raza3Z_demo5", "Raza3Z_demo6"}) {
        fs::copy_file(kSourceDir + "/assets/Demos/" + demo + ".dem", mod() + demo + ".dem",
                      fs::copy_options::overwrite_existing);
        seen.insert(fps(kMax + added("1", "0", "90"), "1024", "768", demo));
    }
    EXPECT_GE(seen.size(), 4u);
}

TEST_F(Simulator, GameReadsItsConfigurationInOrder) {
    // The antialiasing that ends up in effect shows in the result's last field.
    struct Case {
        const char* what;
        std::string config, valveRc, autoexec;
        std::vector<std::string> extra;  // command-line options
        std::string aa;
    };
    const std::string execAuto = rcBytes({"exec autoexec.cfg", "stuffcmds"});
    const std::vector<Case> cases = {
        {"config.cfg is read", "mat_antialias \"6\"\r\n", execAuto, "fps_max 500\r\n", {}, "6"},
        {"autoexec.cfg after config.cfg", "mat_antialias \"6\"\r\n", execAuto, "mat_antialias 2\r\n", {}, "2"},
        {"valve.rc without exec", "", rcBytes({"//exec autoexec.cfg", "stuffcmds"}), "mat_antialias 8\r\n", {}, "0"},
        {"no valve.rc runs autoexec.cfg", "", "", "mat_antialias 8\r\n", {}, "8"},
        {"the program's valve.rc", "", kProgramValveRc, "mat_antialias 4\r\n", {}, "4"},
        {"command line at stuffcmds", "", kProgramValveRc, "mat_antialias 4\r\n", {"+mat_antialias", "2"}, "2"},
        {"stuffcmds before exec",
         "",
         rcBytes({"stuffcmds", "exec autoexec"}),
         "mat_antialias 4\r\n",
         {"+mat_antialias", "2"},
         "4"},
        {"comments, quotes, ';'",
         "",
         kProgramValveRc,
         "// mat_antialias 8\r\n\r\nmat_picmip 1; mat_antialias \"6\" // six\r\n  MAT_ANTIALIAS\t\"2\"\n",
         {},
         "2"},
        {"nested exec", "", kProgramValveRc, "exec more.cfg\r\n", {}, "8"},
    };
    writeFile(cfg() + "more.cfg", "mat_antialias 8\r\n");
    for (const auto& c : cases) {
        writeFile(cfg() + "config.cfg", c.config);
        if (c.valveRc.empty())
            fs::remove(cfg() + "valve.rc");
        else
            writeFile(cfg() + "valve.rc", c.valveRc);
        writeFile(cfg() + "autoexec.cfg", c.autoexec);
        auto options = passOptions("1024", "768");
        options.insert(options.begin(), c.extra.begin(), c.extra.end());
        EXPECT_TRUE(runGame(options).exitedWith(0)) << c.what;
        const auto f = dataFields();
        ASSERT_EQ(f.size(), 12u) << c.what;
        EXPECT_EQ(f[11], c.aa) << c.what;
    }
}

TEST_F(Simulator, GameWithoutItsDemoQuitsWithoutResult) {
    writeFile(mod() + "empty.dem", "");
    for (const char* demo : {"nothere", "empty"}) {
        fs::remove(mod() + "console.log");
        const Ended e = runGame(passOptions("800", "600", demo), {"VANTOR_SIM_PLAY_MS=0", "VANTOR_SIM_CONDEBUG=1"});
        EXPECT_TRUE(e.exitedWith(0)) << demo;
        EXPECT_FALSE(exists(result())) << demo;
        EXPECT_NE(readFile(mod() + "console.log").find(std::string("couldn't play ") + demo + ".dem"),
                  std::string::npos)
            << demo;
    }
}

TEST_F(Simulator, AFolderInAConfigurationFilesPlaceEndsTheGameWithoutResultAndSaysWhy) {
    for (const char* name : {"autoexec.cfg", "config.cfg", "valve.rc"}) {
        SCOPED_TRACE(name);
        std::error_code ec;
        for (const char* f : {"autoexec.cfg", "config.cfg", "valve.rc"}) fs::remove_all(cfg() + f, ec);
        fs::create_directories(cfg() + name + "/inside");
        const std::string err = tmp_ / "game.err";
        const Ended e = runGame(kPassOptions, {"VANTOR_SIM_PLAY_MS=0"}, err);
        EXPECT_TRUE(e.exitedWith(1));
        EXPECT_FALSE(exists(result()));
        EXPECT_NE(readFile(err).find(std::string(name) + " is not a file"), std::string::npos) << readFile(err);
    }
}

// ---- knobs ------------------------------------------------------------------------

TEST_F(Simulator, FaultModesBehaveAsNamed) {
    struct Case {
        const char* knobs;
        bool starts;       // hl2.exe shows up
        bool ends;         // and goes away by itself
        int resultLines;   // -1: no result file
        bool commaInData;  // the fourth line has commas
    };
    const std::vector<Case> cases = {
        {"mode=normal", true, true, 4, true},
        {"mode=crash", true, true, -1, false},
        {"mode=hang", true, false, -1, false},
        {"mode=nostart", false, false, -1, false},
        {"mode=malformed\nmalformed=short", true, true, 3, false},
        {"mode=malformed\nmalformed=nocomma", true, true, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.knobs);
        knobs(std::string("start_delay_ms=20\nplay_ms=300\n") + c.knobs + "\n");
        std::error_code ec;
        fs::remove(result(), ec);
        ASSERT_EQ(launch(kPassOptions), 0);
        if (!c.starts) {
            std::this_thread::sleep_for(500ms);
            EXPECT_FALSE(gameRuns());
            continue;
        }
        ASSERT_TRUE(waitGameStarts());
        if (c.ends) {
            ASSERT_TRUE(waitGameEnds());
        } else {
            std::this_thread::sleep_for(600ms);
            EXPECT_TRUE(gameRuns());
            for (auto id : processesOf(gameExe())) ::kill(static_cast<pid_t>(id), SIGKILL);
            ASSERT_TRUE(waitGameEnds());
        }
        if (c.resultLines < 0) {
            EXPECT_FALSE(exists(result()));
            continue;
        }
        const auto lines = splitLines(readFile(result()));
        ASSERT_EQ(static_cast<int>(lines.size()), c.resultLines);
        if (lines.size() >= 4) {
            EXPECT_EQ(lines[3].find(',') != std::string::npos, c.commaInData) << lines[3];
        }
    }
}

TEST_F(Simulator, CrashingGameEndsByAFault) {
    const Ended crashed = runGame(kPassOptions, {"VANTOR_SIM_PLAY_MS=50", "VANTOR_SIM_MODE=crash"});
    ASSERT_FALSE(crashed.timedOut);
    EXPECT_TRUE(WIFSIGNALED(crashed.status) && WTERMSIG(crashed.status) == SIGSEGV);
    EXPECT_FALSE(exists(result()));
}

TEST_F(Simulator, PerPassKnobsAndEnvironmentOverride) {
    const auto passHasResult = [&](const std::string& w, const std::string& h,
                                   const std::vector<std::string>& env = {}) {
        std::error_code ec;
        fs::remove(result(), ec);
        EXPECT_EQ(launch(passOptions(w, h), env), 0);
        EXPECT_TRUE(waitGameStarts());
        EXPECT_TRUE(waitGameEnds());
        return exists(result());
    };
    // Long enough that the process list sees a crashing game (it ends after half).
    const std::string fast = "start_delay_ms=0\nplay_ms=300\n";

    knobs(fast + "crash_widths=640, 1280\n");
    EXPECT_FALSE(passHasResult("640", "480"));
    EXPECT_TRUE(passHasResult("800", "600"));
    EXPECT_FALSE(passHasResult("1280", "1024"));

    knobs(fast + "mode_once=crash\n");
    EXPECT_FALSE(passHasResult("800", "600"));
    EXPECT_TRUE(passHasResult("800", "600"));
    fs::remove(root_ + "Steam/vantor-sim.once");  // arms it again
    EXPECT_FALSE(passHasResult("800", "600"));

    knobs(fast + "mode=crash\n");
    EXPECT_TRUE(passHasResult("800", "600", {"VANTOR_SIM_MODE=normal"}));
    EXPECT_FALSE(passHasResult("800", "600"));
}

#endif
