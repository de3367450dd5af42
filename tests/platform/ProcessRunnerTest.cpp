// TCreateProcess: the start-up record, starting programs and batch files, the
// background wait and its hand-over to the UI thread, and the failures.

#include "platform/PlainEventLoop.h"
#include "platform/ProcessRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProcesses.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

using namespace vantor;
using namespace std::chrono_literals;
using vantor::test::exists;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;
using namespace vantor::test;

namespace {
// The operating system's codes of the failures below.
#ifdef _WIN32
constexpr int kNotFound = ERROR_FILE_NOT_FOUND;
constexpr int kNoFolder = ERROR_DIRECTORY;
constexpr int kNotAFolder = ERROR_DIRECTORY;
constexpr int kNotAProgram = ERROR_BAD_EXE_FORMAT;
#else
constexpr int kNotFound = ENOENT;
constexpr int kNoFolder = ENOENT;
constexpr int kNotAFolder = ENOTDIR;
constexpr int kNotAProgram = EACCES;
#endif
}  // namespace

// ---- start-up record and priority ------------------------------------------

TEST(ProcessStartupRecord, IsBuiltByTheFiveRules) {
    struct Case {
        const char* name;
        std::function<void(TCPSStartupInfo&)> set;
        std::uint32_t flags;
        int x, y, w, h, show;
        const char* desktop;
        const char* title;
    };
    const Case cases[] = {
        {"defaults", [](TCPSStartupInfo&) {}, 0, 0, 0, 0, 0, 0, "", ""},
        {"the window's batch runners (hidden, 0,0, 0x0)",
         [](TCPSStartupInfo& i) {
             i.DefaultPosition = i.DefaultSize = i.DefaultWindowState = false;
             i.ShowWindow = TCPSShowWindow::Hide;
         },
         7, 0, 0, 0, 0, 0, "", ""},
        {"position only",
         [](TCPSStartupInfo& i) {
             i.DefaultPosition = false;
             i.Left = 10, i.Top = 20, i.Width = 30, i.Height = 40;
         },
         4, 10, 20, 0, 0, 0, "", ""},
        {"size only",
         [](TCPSStartupInfo& i) {
             i.DefaultSize = false;
             i.Left = 10, i.Top = 20, i.Width = 30, i.Height = 40;
         },
         2, 0, 0, 30, 40, 0, "", ""},
        {"show minimized",
         [](TCPSStartupInfo& i) {
             i.DefaultWindowState = false;
             i.ShowWindow = TCPSShowWindow::Minimize;
         },
         1, 0, 0, 0, 0, 2, "", ""},
        {"show maximized",
         [](TCPSStartupInfo& i) {
             i.DefaultWindowState = false;
             i.ShowWindow = TCPSShowWindow::Maximize;
         },
         1, 0, 0, 0, 0, 3, "", ""},
        {"show normal",
         [](TCPSStartupInfo& i) {
             i.DefaultWindowState = false;
             i.ShowWindow = TCPSShowWindow::Normal;
         },
         1, 0, 0, 0, 0, 1, "", ""},
        {"show command ignored with the default state",
         [](TCPSStartupInfo& i) { i.ShowWindow = TCPSShowWindow::Maximize; }, 0, 0, 0, 0, 0, 0, "", ""},
        {"feedback on", [](TCPSStartupInfo& i) { i.ForceOnFeedback = true; }, 0x40, 0, 0, 0, 0, 0, "", ""},
        {"feedback off", [](TCPSStartupInfo& i) { i.ForceOffFeedback = true; }, 0x80, 0, 0, 0, 0, 0, "", ""},
        {"desktop and title",
         [](TCPSStartupInfo& i) {
             i.Desktop = "winsta0\\default";
             i.Title = "Vantor";
             i.ForceOnFeedback = i.ForceOffFeedback = true;
         },
         0xC0, 0, 0, 0, 0, 0, "winsta0\\default", "Vantor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCPSStartupInfo info;
        c.set(info);
        const StartupRecord r = buildStartupRecord(info);
        EXPECT_EQ(r.cb, 68u);
        EXPECT_EQ(r.dwFlags, c.flags);
        EXPECT_EQ(r.dwX, c.x);
        EXPECT_EQ(r.dwY, c.y);
        EXPECT_EQ(r.dwXSize, c.w);
        EXPECT_EQ(r.dwYSize, c.h);
        EXPECT_EQ(r.wShowWindow, c.show);
        EXPECT_EQ(r.lpDesktop, c.desktop);
        EXPECT_EQ(r.lpTitle, c.title);
    }
}

TEST(ProcessStartupRecord, PriorityClassFlags) {
    const std::pair<TProcessPriority, std::uint32_t> cases[] = {
        {TProcessPriority::Idle, 0x40},
        {TProcessPriority::Normal, 0x20},
        {TProcessPriority::High, 0x80},
        {TProcessPriority::RealTime, 0x100},
    };
    for (const auto& [priority, flag] : cases) EXPECT_EQ(priorityClassFlag(priority), flag);
}

TEST(ProcessRunnerErrors, Texts) {
    const EOSError missing(kNotFound);
    const std::string text = missing.what();
    if (kWindows) {
        // The system's own message (FormatMessage) for the code.
        ASSERT_EQ(text.rfind("System Error.  Code: 2.\n", 0), 0u) << text;
        EXPECT_GT(text.size(), std::string("System Error.  Code: 2.\n").size());
        EXPECT_EQ(text.find("Error 2"), std::string::npos) << text;
        EXPECT_NE(text.back(), '\n');
    } else {
        EXPECT_EQ(text, "System Error.  Code: 2.\nNo such file or directory");
    }
    EXPECT_EQ(missing.ErrorCode(), kNotFound);
    EXPECT_STREQ(EOSError(0).what(), "A call to an OS function failed");
    EXPECT_STREQ(ProcessRunningError().what(), "Cannot perform this operation when process is running");
}

// ---- running programs ------------------------------------------------------

namespace {

bool eventually(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class ProcessRunnerTest : public ::testing::Test {
protected:
    // A batch file of the given lines, CR LF after each, in folder (default: dir).
    std::string writeBatch(const std::string& name, const std::vector<std::string>& lines,
                           const std::string& folder = {}) {
        std::string bytes;
        for (const auto& l : lines) bytes += l + "\r\n";
        const std::string path = (folder.empty() ? dir.path() : folder) + name;
        writeFile(path, bytes);
        return path;
    }

    // Starts and fails the test when Start throws.
    void start(TCreateProcess& cp) {
        try {
            cp.Start();
        } catch (const std::exception& e) {
            FAIL() << "Start failed: " << e.what();
        }
    }

    PlainEventLoop loop;
    TempDir dir;
    std::vector<std::uint32_t> codes;
    TCreateProcess::TerminateHandler record = [this](TCreateProcess&, std::uint32_t code) { codes.push_back(code); };
};

}  // namespace

TEST_F(ProcessRunnerTest, WaitedRunNotifiesOnTheUiThreadWithTheExitCode) {
    TCreateProcess cp(loop);
    cp.StartupInfo.DefaultPosition = cp.StartupInfo.DefaultSize = false;
    cp.StartupInfo.DefaultWindowState = false;
    cp.StartupInfo.ShowWindow = TCPSShowWindow::Hide;
    cp.CurrentDirectory = dir.path();
    cp.CommandLine = writeBatch("vantor.bat", {batchExitLine(3)});
    std::thread::id ranOn;
    TCreateProcess::State stateInHandler = TCreateProcess::State::Waiting;
    cp.OnTerminate = [&](TCreateProcess& sender, std::uint32_t code) {
        EXPECT_EQ(&sender, &cp);
        ranOn = std::this_thread::get_id();
        stateInHandler = sender.state();
        codes.push_back(code);
    };

    start(cp);
    EXPECT_EQ(cp.state(), TCreateProcess::State::Waiting);
    EXPECT_EQ(cp.lastStartupRecord().dwFlags, 7u);
    EXPECT_EQ(cp.lastCreationFlags(), 0x20u);
    const int pid = cp.processId();
    ASSERT_GT(pid, 0);

    // The batch ends and is reaped, the hand-over is queued; nothing runs before
    // the UI thread serves its queue.
    ASSERT_TRUE(eventually([&] { return processGone(pid) && loop.pendingCount() > 0; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(cp.state(), TCreateProcess::State::Waiting);

    ASSERT_TRUE(loop.runUntil([&] { return !codes.empty(); }, 3s));
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(stateInHandler, TCreateProcess::State::Ready);
    EXPECT_EQ(cp.state(), TCreateProcess::State::Ready);
    EXPECT_EQ(cp.lastExitCode(), 3u);
}

TEST_F(ProcessRunnerTest, WaitThreadStaysBlockedUntilOnTerminateHasReturned) {
    TCreateProcess cp(loop);
    cp.CommandLine = quickCommand();
    bool waitThreadAliveInHandler = false;
    std::string waitThread;
    cp.OnTerminate = [&](TCreateProcess&, std::uint32_t code) {
        std::this_thread::sleep_for(100ms);  // time enough for a released thread to end
        waitThreadAliveInHandler = threadExists(waitThread);
        codes.push_back(code);
    };

    const auto before = threadIds();
    start(cp);
    std::vector<std::string> started;
    for (const auto& t : threadIds())
        if (!before.count(t)) started.push_back(t);
    ASSERT_EQ(started.size(), 1u);  // the wait thread
    waitThread = started.front();

    ASSERT_TRUE(loop.runUntil([&] { return !codes.empty(); }, 3s));
    EXPECT_TRUE(waitThreadAliveInHandler);
    EXPECT_TRUE(eventually([&] { return !threadExists(waitThread); }));
}

TEST_F(ProcessRunnerTest, OnTerminateThatThrowsStillReleasesTheWaitThread) {
    TCreateProcess cp(loop);
    cp.CommandLine = quickCommand();
    cp.OnTerminate = [](TCreateProcess&, std::uint32_t) { throw std::runtime_error("handler"); };
    const auto before = threadIds();
    start(cp);
    std::string waitThread;
    for (const auto& t : threadIds())
        if (!before.count(t)) waitThread = t;
    ASSERT_FALSE(waitThread.empty());

    // The error reaches the UI thread's loop, as any handler's would.
    EXPECT_THROW(loop.runUntil([] { return false; }, 3s), std::runtime_error);
    EXPECT_TRUE(eventually([&] { return !threadExists(waitThread); }));
    EXPECT_EQ(cp.state(), TCreateProcess::State::Ready);
}

TEST_F(ProcessRunnerTest, StartFromInsideOnTerminateGivesASecondNotification) {
    TCreateProcess cp(loop);
    cp.CurrentDirectory = dir.path();
    cp.CommandLine = writeBatch("first.bat", {batchExitLine(3)});
    const std::string second = writeBatch("second.bat", {batchExitLine(5)});
    cp.OnTerminate = [&](TCreateProcess& sender, std::uint32_t code) {
        codes.push_back(code);
        if (codes.size() == 1) {
            sender.CommandLine = second;
            sender.Start();
            EXPECT_EQ(sender.state(), TCreateProcess::State::Waiting);
        }
    };
    start(cp);
    ASSERT_TRUE(loop.runUntil([&] { return codes.size() == 2; }, 5s));
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{3, 5}));
    EXPECT_EQ(cp.state(), TCreateProcess::State::Ready);
}

TEST_F(ProcessRunnerTest, DestroyedWhileWaitingNotifiesNothingAndLeavesTheProgramRunning) {
    auto cp = std::make_unique<TCreateProcess>(loop);
    cp->CommandLine = longCommand();
    cp->OnTerminate = record;
    const auto before = threadIds();
    start(*cp);
    const int pid = cp->processId();
    ASSERT_GT(pid, 0);
    std::string waitThread;
    for (const auto& t : threadIds())
        if (!before.count(t)) waitThread = t;

    cp.reset();
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(processRunning(pid));

    endProcess(pid);
    // Still reaped (no zombie stays), and the thread then ends without a word.
    EXPECT_TRUE(eventually([&] { return processGone(pid); }));
    EXPECT_TRUE(eventually([&] { return !threadExists(waitThread); }));
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(ProcessRunnerTest, DestroyedWhileTheHandOverIsQueuedReleasesTheWaitThread) {
    auto cp = std::make_unique<TCreateProcess>(loop);
    cp->CommandLine = quickCommand();
    cp->OnTerminate = record;
    const auto before = threadIds();
    start(*cp);
    const int pid = cp->processId();
    std::string waitThread;
    for (const auto& t : threadIds())
        if (!before.count(t)) waitThread = t;
    ASSERT_FALSE(waitThread.empty());
    // The wait thread has queued the hand-over and blocks for it.
    ASSERT_TRUE(eventually([&] { return processGone(pid) && loop.pendingCount() > 0; }));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(threadExists(waitThread));

    cp.reset();  // must neither block nor leave the thread waiting for the UI
    EXPECT_TRUE(eventually([&] { return !threadExists(waitThread); }));
    EXPECT_EQ(loop.processPending(), 1);  // the queued hand-over does nothing
    EXPECT_TRUE(codes.empty());
}

TEST_F(ProcessRunnerTest, StartOrWaitChangeWhileWaitingRaisesTheRunningError) {
    TCreateProcess cp(loop);
    cp.CommandLine = longCommand();
    cp.OnTerminate = record;
    start(cp);
    const int pid = cp.processId();

    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                cp.Start();
            else
                cp.setWaitForTerminate(false);
            ADD_FAILURE() << "no error in attempt " << attempt;
        } catch (const EOSError&) {
            ADD_FAILURE() << "must not be an operating-system error";
        } catch (const ProcessRunningError& e) {
            EXPECT_STREQ(e.what(), "Cannot perform this operation when process is running");
        }
    }
    EXPECT_TRUE(cp.WaitForTerminate());
    EXPECT_EQ(cp.state(), TCreateProcess::State::Waiting);
    EXPECT_EQ(cp.processId(), pid);

    // A program ended by a signal reports 128 + the signal number (Windows: the
    // code it was ended with).
    endProcessGently(pid);
    ASSERT_TRUE(loop.runUntil([&] { return !codes.empty(); }, 3s));
    EXPECT_EQ(codes.front(), 143u);
    cp.setWaitForTerminate(false);
    EXPECT_FALSE(cp.WaitForTerminate());
    EXPECT_EQ(cp.state(), TCreateProcess::State::Ready);
}

TEST_F(ProcessRunnerTest, WithoutWaitingStartsNeverNotifiesAndCanStartAgain) {
    TCreateProcess cp(loop);
    cp.setWaitForTerminate(false);
    cp.OnTerminate = record;
    cp.CurrentDirectory = dir.path();
    cp.CommandLine = writeBatch("steam.bat", {batchExitLine(7)});

    start(cp);
    EXPECT_EQ(cp.state(), TCreateProcess::State::Started);
    const int first = cp.processId();
    start(cp);
    EXPECT_EQ(cp.state(), TCreateProcess::State::Started);
    const int second = cp.processId();
    EXPECT_NE(first, second);

    // Both are reaped in the background; nothing is reported.
    EXPECT_TRUE(eventually([&] { return processGone(first) && processGone(second); }));
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(ProcessRunnerTest, FailedStartRaisesTheOsErrorAndStaysReady) {
    writeFile(dir / "plain.txt", "not a folder, not a program\n");
    struct Case {
        const char* name;
        std::string folder, commandLine;
        int code;
    };
    const std::string bat = writeBatch("vantor.bat", {batchExitLine(0)});
    const Case cases[] = {
        {"working folder does not exist", dir / "no such folder/", bat, kNoFolder},
        {"working folder is a file", dir / "plain.txt", bat, kNotAFolder},
        {"program not found", dir.path(), "no-such-program-vantor -x", kNotFound},
        {"batch file not found", dir.path(), dir / "gone.bat", kNotFound},
        {"program not executable", dir.path(), dir / "plain.txt", kNotAProgram},
        {"empty command line", dir.path(), "  ", kNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCreateProcess cp(loop);
        cp.setWaitForTerminate(false);
        cp.CommandLine = bat;
        start(cp);  // state Started
        cp.setWaitForTerminate(true);
        cp.CurrentDirectory = c.folder;  // assigning never checks
        cp.CommandLine = c.commandLine;
        try {
            cp.Start();
            ADD_FAILURE() << "no error";
        } catch (const EOSError& e) {
            EXPECT_EQ(e.ErrorCode(), c.code);
            EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: " + std::to_string(c.code) + ".\n", 0), 0u)
                << e.what();
        }
        EXPECT_EQ(cp.state(), TCreateProcess::State::Ready);
        EXPECT_EQ(cp.processId(), 0);
    }
    loop.runUntil([] { return false; }, 20ms);
    EXPECT_TRUE(codes.empty());
}

TEST_F(ProcessRunnerTest, BatchFileInAFolderWithBlanksRuns) {
    const std::string steam = dir / "program files/steam/";
    std::filesystem::create_directories(steam);
    const std::string bat = writeBatch("vantor.bat", {batchTouchLine("made by batch.txt")}, steam);
    // Windows looks for a program named without a folder beside the caller, not
    // in the new working folder: the program always names the batch file in full.
    std::vector<std::string> cases = {bat, "\"" + bat + "\""};
    if (!kWindows) cases.push_back("  vantor.bat ");
    for (const std::string& commandLine : cases) {
        SCOPED_TRACE(commandLine);
        std::filesystem::remove(steam + "made by batch.txt");
        codes.clear();
        TCreateProcess cp(loop);
        cp.OnTerminate = record;
        cp.CurrentDirectory = " " + steam + " ";  // trimmed at start
        cp.CommandLine = commandLine;
        start(cp);
        ASSERT_TRUE(loop.runUntil([&] { return !codes.empty(); }, 3s));
        EXPECT_EQ(codes.front(), 0u);
        EXPECT_TRUE(exists(steam + "made by batch.txt"));
    }
}

TEST_F(ProcessRunnerTest, ApplicationNameTakesTheCommandLineAsArgumentsAndEnvironmentIsExact) {
    setEnv("VANTOR_RUNNER_PROBE", "inherited");
    struct Case {
        std::vector<std::string> environment;
        const char* expected;
    };
#ifdef _WIN32
    // The command interpreter leaves an unknown variable as it is written.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string shell = " " + std::string(system) + "\\cmd.exe ";
    const std::string command = "cmd /c \"echo %VANTOR_RUNNER_PROBE%-%VANTOR_X%> env.txt\"";
    const Case cases[] = {
        {{}, "inherited-%VANTOR_X%\r\n"},
        {{"VANTOR_X=42"}, "%VANTOR_RUNNER_PROBE%-42\r\n"},
    };
#else
    const std::string shell = " /bin/sh ";
    const std::string command = "-c \"echo ${VANTOR_RUNNER_PROBE}-${VANTOR_X} > env.txt\"";
    const Case cases[] = {
        {{}, "inherited-\n"},
        {{"VANTOR_X=42"}, "-42\n"},
    };
#endif
    for (const Case& c : cases) {
        codes.clear();
        TCreateProcess cp(loop);
        cp.OnTerminate = record;
        cp.ApplicationName = shell;
        cp.CommandLine = command;
        cp.CurrentDirectory = dir.path();
        cp.Environment = c.environment;
        start(cp);
        ASSERT_TRUE(loop.runUntil([&] { return !codes.empty(); }, 3s));
        EXPECT_EQ(codes.front(), 0u);
        EXPECT_EQ(readFile(dir / "env.txt"), c.expected);
    }
    unsetEnv("VANTOR_RUNNER_PROBE");
}
