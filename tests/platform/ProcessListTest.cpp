#include "platform/PlainEventLoop.h"
#include "platform/ProcessList.h"
#include "platform/SystemInfo.h"

#include "tests/support/TempDir.h"
#include "tests/support/TestProcesses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

using namespace vantor;
using vantor::test::TempDir;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32

// A copy of the simulated Steam client (it runs until it is ended) under a
// game-like name, started as a program of its own.
class SleepingProgram {
public:
    explicit SleepingProgram(const std::string& name, const std::string& folder = {})
        : path_(folder.empty() ? dir_ / name : folder + name) {
        fs::create_directories(fs::path(path_).parent_path());
        fs::copy_file(VANTOR_SIM_DIR "/steam.exe", path_);
        std::wstring line = L"\"" + fs::path(path_).wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                           &pi)) {
            CloseHandle(pi.hThread);
            process_ = pi.hProcess;
            id_ = pi.dwProcessId;
        }
    }
    ~SleepingProgram() {
        if (!process_) return;
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    SleepingProgram(const SleepingProgram&) = delete;
    SleepingProgram& operator=(const SleepingProgram&) = delete;

    std::uint32_t id() const { return id_; }
    const std::string& path() const { return path_; }
    // Ends the program at once.
    void end() { TerminateProcess(process_, 1); }
    // Waits until the program has ended; its exit code.
    std::uint32_t waitForEnd() {
        DWORD code = 0;
        WaitForSingleObject(process_, 5000);
        GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    TempDir dir_;
    std::string path_;
    HANDLE process_ = nullptr;
    std::uint32_t id_ = 0;
};

std::uint32_t selfId() { return GetCurrentProcessId(); }
std::string selfPath() {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return fs::path(std::wstring(buffer, n)).string();
}

#else

// A copy of /bin/sleep under a game-like name, started as a child process.
// The name is longer than the 15 characters the kernel keeps as the command
// name, so only the program file gives it in full.
class SleepingProgram {
public:
    // In a temporary folder of its own, or in folder when given.
    explicit SleepingProgram(const std::string& name, const std::string& folder = {})
        : path_(folder.empty() ? dir_ / name : folder + name) {
        fs::create_directories(fs::path(path_).parent_path());
        fs::copy_file("/bin/sleep", path_);
        const char* argv[] = {path_.c_str(), "30", nullptr};
        if (::posix_spawn(&pid_, path_.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
    }
    ~SleepingProgram() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    SleepingProgram(const SleepingProgram&) = delete;
    SleepingProgram& operator=(const SleepingProgram&) = delete;

    std::uint32_t id() const { return static_cast<std::uint32_t>(pid_); }
    const std::string& path() const { return path_; }
    // Ends the program at once.
    void end() { ::kill(pid_, SIGKILL); }
    // Reaps the program once it has ended; its wait status.
    std::uint32_t waitForEnd() {
        int status = 0;
        if (::waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        return static_cast<std::uint32_t>(status);
    }

    // Ends the program and waits until it is a zombie, without reaping it.
    void killAndLeaveZombie() {
        ::kill(pid_, SIGKILL);
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
    }

private:
    TempDir dir_;
    std::string path_;
    pid_t pid_ = -1;
};

// A program file named name that runs until it is ended (a copy of the
// simulated Steam client, which ignores its arguments), started with the
// command line args (args[0] first, as a loader rewrites it).
class ProgramWithArgs {
public:
    ProgramWithArgs(const std::string& name, const std::vector<std::string>& args) : path_(dir_ / name) {
        fs::copy_file(VANTOR_SIM_DIR "/steam.exe", path_);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, path_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
        // The new program's command line appears a moment after its program file.
        const std::string cmdline = "/proc/" + std::to_string(pid_) + "/cmdline";
        for (int i = 0; i < 400 && pid_ > 0 && vantor::test::readFile(cmdline).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~ProgramWithArgs() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ProgramWithArgs(const ProgramWithArgs&) = delete;
    ProgramWithArgs& operator=(const ProgramWithArgs&) = delete;

    std::uint32_t id() const { return static_cast<std::uint32_t>(pid_); }

private:
    TempDir dir_;
    std::string path_;
    pid_t pid_ = -1;
};

std::uint32_t selfId() { return static_cast<std::uint32_t>(::getpid()); }
std::string selfPath() { return fs::read_symlink("/proc/self/exe").string(); }

#endif

// Whether two names of files name the same file.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

std::vector<std::string> namesOf(const std::vector<ProcessEntry>& list, std::uint32_t id) {
    std::vector<std::string> names;
    for (const auto& e : list)
        if (e.id == id) names.push_back(e.name);
    return names;
}

std::vector<std::string> listNamesOf(std::uint32_t id, bool fullPath = false) {
    std::vector<ProcessEntry> list;
    EXPECT_TRUE(ListRunningProcesses(list, fullPath));
    return namesOf(list, id);
}

using Names = std::vector<std::string>;

}  // namespace

TEST(ListRunningProcesses, ChildAppearsWithItsIdAndProgramFileName) {
    SleepingProgram game("Half-Life 2 Game.exe");
    ASSERT_GT(game.id(), 0u);
    EXPECT_EQ(listNamesOf(game.id()), Names{"Half-Life 2 Game.exe"});
    const Names full = listNamesOf(game.id(), true);
    ASSERT_EQ(full.size(), 1u);
    EXPECT_TRUE(fs::path(full[0]).is_absolute()) << full[0];
    EXPECT_TRUE(sameFile(full[0], game.path())) << full[0];
    // The test itself, with the name of its own program file.
    EXPECT_EQ(listNamesOf(selfId()), Names{fs::path(selfPath()).filename().string()});
}

TEST(ProcessStarts, ProgramStartedAfterNowShowsALaterStartAndCanBeEnded) {
    const std::uint64_t before = processClockNow();
    SleepingProgram game("hl2.exe");
    ASSERT_GT(game.id(), 0u);
    std::vector<ProcessStart> list;
    ASSERT_TRUE(ListProcessStarts(list));
    auto of = [&](std::uint32_t id) {
        return std::find_if(list.begin(), list.end(), [id](const ProcessStart& p) { return p.id == id; });
    };
    const auto it = of(game.id());
    ASSERT_NE(it, list.end());
    EXPECT_TRUE(sameFile(it->path, game.path())) << it->path;
    EXPECT_GE(it->startedMs, before);
    // The test itself was running before (ctest starts a process per test, so
    // it may have started within the same clock tick).
    const auto self = of(selfId());
    ASSERT_NE(self, list.end());
    EXPECT_LE(self->startedMs, before);

    EXPECT_TRUE(TerminateProcessById(game.id()));
    const std::uint32_t status = game.waitForEnd();
#ifdef _WIN32
    EXPECT_EQ(status, 1u);  // the exit code the terminate call gives
#else
    EXPECT_TRUE(WIFSIGNALED(static_cast<int>(status)));
#endif
    EXPECT_FALSE(TerminateProcessById(0));
}

TEST(ProcessQuery, StartedUnderNamesOnlyProgramsFromTheFolderStartedSince) {
    TempDir dir;
    const std::string game = dir / "Half-Life 2/";
    SleepingProgram early("hl2_early.exe", game);
    SleepingProgram elsewhere("sleeper.exe");
    // Start times have the clock's resolution (a few ms); this one is clearly earlier.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SystemProcessQuery query;
    const std::uint64_t since = query.now();
    SleepingProgram launched("hl2.exe", game);
    SleepingProgram other("hl2.exe", dir / "Other/");
    ASSERT_GT(launched.id(), 0u);

    std::vector<std::uint32_t> ids;
    // The folder as another spelling of its case, without the trailing separator.
    ASSERT_TRUE(query.startedUnder(dir / "half-life 2", since, ids));
    EXPECT_EQ(ids, std::vector<std::uint32_t>{launched.id()});
    ids.clear();
    ASSERT_TRUE(query.startedUnder(game, 0, ids));
    std::sort(ids.begin(), ids.end());
    std::vector<std::uint32_t> both = {early.id(), launched.id()};
    std::sort(both.begin(), both.end());
    EXPECT_EQ(ids, both);
    ids.clear();
    ASSERT_TRUE(query.startedUnder(dir / "Missing/", since, ids));
    EXPECT_TRUE(ids.empty());
}

// The system tells the end of a watched program on the loop's thread, once;
// a watch dropped before tells nothing.
TEST(ProcessExitWatch, TellsWhenAWatchedProgramEndsAndNothingOnceDropped) {
    PlainEventLoop loop;
    SleepingProgram first("vantor-watched-first"), second("vantor-watched-second");
    ASSERT_NE(first.id(), 0u);
    ASSERT_NE(second.id(), 0u);
    int told = 0;
    bool onLoopThread = true;
    auto watch = WatchProcessExits({first.id(), second.id()}, loop, [&] {
        ++told;
        onLoopThread = onLoopThread && loop.isUiThread();
    });
    ASSERT_NE(watch, nullptr) << "this system tells no program's end";
    loop.runUntil([&] { return told > 0; }, std::chrono::milliseconds(100));
    EXPECT_EQ(told, 0) << "told while both run";

    second.end();
    EXPECT_TRUE(loop.runUntil([&] { return told > 0; }, std::chrono::seconds(10)));
    first.end();
    loop.runUntil([&] { return told > 1; }, std::chrono::milliseconds(200));
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(onLoopThread);

    SleepingProgram third("vantor-watched-third");
    bool toldThird = false;
    auto dropped = WatchProcessExits({third.id()}, loop, [&] { toldThird = true; });
    ASSERT_NE(dropped, nullptr);
    dropped.reset();
    third.end();
    third.waitForEnd();
    loop.runUntil([&] { return toldThird; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(toldThird);
}

TEST(ProcessExitWatch, AProgramGoneAlreadyIsToldAtOnceAndNoProgramIsNoWatch) {
    PlainEventLoop loop;
    EXPECT_EQ(WatchProcessExits({}, loop, [] {}), nullptr);

    SleepingProgram gone("vantor-watched-gone");
    const std::uint32_t id = gone.id();
    gone.end();
    gone.waitForEnd();
    bool told = false;
    auto watch = WatchProcessExits({id}, loop, [&] { told = true; });
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(loop.runUntil([&] { return told; }, std::chrono::seconds(10)));
}

TEST(ListRunningProcesses, AppendsToTheListWithoutClearingIt) {
    SleepingProgram game("hl2.exe");
    std::vector<ProcessEntry> list{{"kept", 0}};
    ASSERT_TRUE(ListRunningProcesses(list, false));
    const std::size_t first = list.size();
    ASSERT_TRUE(ListRunningProcesses(list, false));
    EXPECT_EQ(list.front().name, "kept");
    EXPECT_EQ(list.front().id, 0u);
    EXPECT_EQ(namesOf(list, game.id()), (Names{"hl2.exe", "hl2.exe"}));
    EXPECT_EQ(namesOf(list, selfId()).size(), 2u);
    EXPECT_GT(list.size(), first + 1);
}

#ifndef _WIN32
// POSIX only: zombies and processes whose first thread ended.
TEST(ListRunningProcesses, ProcessThatHasEndedButIsNotReapedIsLeftOut) {
    SleepingProgram game("hl2.exe");
    ASSERT_EQ(listNamesOf(game.id()), Names{"hl2.exe"});
    game.killAndLeaveZombie();
    EXPECT_EQ(listNamesOf(game.id()), Names{});
}

// A process whose main thread has ended while another thread runs shows its
// first thread as a zombie, yet the process still runs.
TEST(ListRunningProcesses, ProcessWhoseMainThreadEndedStillRuns) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        pthread_t t;
        ::pthread_create(
            &t, nullptr,
            [](void*) -> void* {
                for (;;) ::pause();
            },
            nullptr);
        ::syscall(SYS_exit, 0);  // ends this thread only, without unwinding into the test
        for (;;) ::pause();
    }
    // Wait until the main thread of the child has ended.
    const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
    bool mainEnded = false;
    for (int i = 0; i < 200 && !mainEnded; ++i) {
        std::string stat = vantor::test::readFile(statPath);
        const auto close = stat.rfind(')');
        mainEnded = close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
        if (!mainEnded) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto names = listNamesOf(static_cast<std::uint32_t>(pid));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(mainEnded);
    // Its program file can no longer be read; the command name stands in.
    EXPECT_EQ(names, Names{fs::read_symlink("/proc/self/exe").filename().string().substr(0, 15)});
}

// A Windows program run by Wine shows as Wine's loader (or, under Proton, as
// the reaper Steam starts around it); the list names the Windows program its
// command line names.
TEST(ListRunningProcesses, AWindowsProgramRunByALoaderIsListedUnderItsOwnName) {
    struct Case {
        const char* name;
        std::string program;
        std::vector<std::string> args;
        std::string listed;
        std::string fullPath;
    } cases[] = {
        {"Wine's preloader, the Windows path first",
         "wine64-preloader",
         {"Z:\\home\\u\\Steam\\steamapps\\common\\Half-Life 2\\HL2.EXE", "-game", "hl2"},
         "HL2.EXE",
         "Z:\\home\\u\\Steam\\steamapps\\common\\Half-Life 2\\HL2.EXE"},
        {"the 32-bit preloader, the command line in one piece",
         "wine-preloader",
         {"C:\\Program Files\\Half-Life 2\\hl2.exe -game hl2 -novid"},
         "hl2.exe",
         "C:\\Program Files\\Half-Life 2\\hl2.exe"},
        {"Proton's reaper, a POSIX path among its arguments",
         "reaper",
         {"reaper", "SteamLaunch", "AppId=220", "--", "/home/u/Proton 8.0/proton", "waitforexitandrun",
          "/home/u/Steam/steamapps/common/Half-Life 2/hl2.exe", "-game", "hl2"},
         "hl2.exe",
         "/home/u/Steam/steamapps/common/Half-Life 2/hl2.exe"},
        {"a loader that names no Windows program keeps its name",
         "wine64-preloader",
         {"/usr/bin/wine64", "--version", "x.exe.bak"},
         "wine64-preloader",
         ""},
        {"another program's arguments are not looked at",
         "sleeper",
         {"sleeper", "/home/u/Steam/steamapps/common/Half-Life 2/hl2.exe"},
         "sleeper",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramWithArgs p(c.program, c.args);
        ASSERT_GT(p.id(), 0u);
        EXPECT_EQ(listNamesOf(p.id()), Names{c.listed});
        const Names full = listNamesOf(p.id(), true);
        ASSERT_EQ(full.size(), 1u);
        if (c.fullPath.empty())
            EXPECT_EQ(fs::path(full[0]).filename().string(), c.program);
        else
            EXPECT_EQ(full[0], c.fullPath);
    }
}
#endif

namespace {

struct ContainsCase {
    const char* part;
    const char* text;
    bool found;
};

void PrintTo(const ContainsCase& c, std::ostream* os) { *os << "part \"" << c.part << "\" text \"" << c.text << "\""; }

class ContainsIgnoringCaseTest : public ::testing::TestWithParam<ContainsCase> {};

}  // namespace

TEST_P(ContainsIgnoringCaseTest, MatchesByUpperCase) {
    const auto& c = GetParam();
    EXPECT_EQ(ContainsIgnoringCase(c.part, c.text), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ContainsIgnoringCaseTest,
    ::testing::Values(ContainsCase{"steam.exe", "steam.exe", true}, ContainsCase{"steam.exe", "STEAM.EXE", true},
                      ContainsCase{"HL2.EXE", "hl2.exe", true}, ContainsCase{"HL2.EXE", "Hl2.eXe", true},
                      // Any entry that merely contains the name counts, as does the joined list.
                      ContainsCase{"steam.exe", "old-steam.exe.bak", true},
                      ContainsCase{"HL2.EXE", "1 init\n4711 hl2.exe\n4712 bash\n", true},
                      ContainsCase{"steam.exe", "steamwebhelper\nsteam\n", false},
                      ContainsCase{"hl2.exe", "hl2.ex", false},
                      // Letters beyond A to Z, by the locale's rules.
                      ContainsCase{"é", "CAFÉ", true}, ContainsCase{"CAFÉ", "le café", true},
                      ContainsCase{"ÿ", "Ÿ", true}, ContainsCase{"αβγ", "ΑΒΓ", true}, ContainsCase{"é", "E", false},
                      // Bytes that are not UTF-8 match only themselves.
                      ContainsCase{"a\xFF",
                                   "A\xFF"
                                   "b",
                                   true},
                      ContainsCase{"\xE9", "\xC9", false},
                      // An empty part is never found.
                      ContainsCase{"", "steam.exe", false}, ContainsCase{"", "", false}, ContainsCase{"a", "", false}));

#ifdef _WIN32
TEST(SystemFolder, SystemDirectoryWithoutTrailingSeparator) {
    const std::string folder = SystemFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(fs::exists(folder + "\\cmd.exe")) << folder;  // where the system's programs live
}
#else
TEST(SystemFolder, ToolsFolderWithoutTrailingSeparator) {
    const char* old = std::getenv("VANTOR_SYSTEM_FOLDER");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;

    ::unsetenv("VANTOR_SYSTEM_FOLDER");
    EXPECT_EQ(SystemFolder(), fs::read_symlink("/proc/self/exe").parent_path().string());
    ::setenv("VANTOR_SYSTEM_FOLDER", "/opt/vantor/tools/", 1);
    EXPECT_EQ(SystemFolder(), "/opt/vantor/tools");
    ::setenv("VANTOR_SYSTEM_FOLDER", "/opt/vantor/tools", 1);
    EXPECT_EQ(SystemFolder(), "/opt/vantor/tools");

    if (saved)
        ::setenv("VANTOR_SYSTEM_FOLDER", saved->c_str(), 1);
    else
        ::unsetenv("VANTOR_SYSTEM_FOLDER");
}
#endif
