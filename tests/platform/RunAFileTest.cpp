// TRunAFile: its parameters, starting programs from a command line, the wait
// and its hand-over to the UI thread, the limits, the records' lifetime.

#include "platform/PlainEventLoop.h"
#include "platform/RunAFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProcesses.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

using namespace vantor;
using namespace std::chrono_literals;
using vantor::test::exists;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;
using namespace vantor::test;

// ---- parameters ----------------------------------------------------------------------------

TEST(RunAFileParams, DefaultsOfTheComponentAndItsTemplate) {
    PlainEventLoop loop;
    TRunAFile run(loop);
    EXPECT_EQ(TRunAFile::Version(), "2.08");
    EXPECT_TRUE(run.AutoClear);
    EXPECT_EQ(run.ItemCount(), 0u);
    const TParams& p = run.Params;
    EXPECT_EQ(p.Priority, TPriority::Normal);
    EXPECT_TRUE(p.Environment.empty());
    EXPECT_EQ(p.ProcCurrentDir(), "");
    EXPECT_EQ(p.ProcFileName, "");
    EXPECT_EQ(p.ProcParameters, "");
    EXPECT_EQ(p.TimeOutSec(), 0u);
    EXPECT_EQ(p.WaitLimitMs(), kInfiniteWait);
    EXPECT_FALSE(p.UseAssociations);
    EXPECT_EQ(p.UserString, "");
    EXPECT_EQ(p.UserTag, 0);
    EXPECT_FALSE(p.WaitUntilDone);
    EXPECT_EQ(p.WindowType, TWindowType::Normal);
}

TEST(RunAFileParams, TimeOutSecGivesTheWaitLimit) {
    const std::pair<unsigned, std::uint32_t> cases[] = {
        {0, kInfiniteWait}, {1, 1000},         {10, 10'000},       {3599, 3'599'000},
        {3600, 3'600'000},  {3601, 3'600'000}, {86400, 3'600'000}, {0xFFFFFFFFu, 3'600'000},
    };
    for (const auto& [seconds, limit] : cases) {
        TParams p;
        p.setTimeOutSec(seconds);
        EXPECT_EQ(p.TimeOutSec(), seconds);
        EXPECT_EQ(p.WaitLimitMs(), limit) << seconds;
    }
}

TEST(RunAFileParams, WorkingFolderIsTrimmedAndCodesFollowTheTables) {
    TParams p;
    p.setProcCurrentDir("  /tmp/x y \t");
    EXPECT_EQ(p.ProcCurrentDir(), "/tmp/x y");

    EXPECT_EQ(priorityFlag(TPriority::Normal), 0x20u);
    EXPECT_EQ(priorityFlag(TPriority::Idle), 0x40u);
    EXPECT_EQ(priorityFlag(TPriority::High), 0x80u);
    EXPECT_EQ(priorityFlag(TPriority::RealTime), 0x100u);
    const std::pair<TWindowType, int> shows[] = {
        {TWindowType::Normal, 1}, {TWindowType::Minimize, 2},    {TWindowType::Maximize, 3},
        {TWindowType::Hide, 0},   {TWindowType::MinNoActive, 7}, {TWindowType::ShowNA, 8},
    };
    for (const auto& [type, code] : shows) EXPECT_EQ(showCommand(type), code);
}

TEST(RunAFileParams, WaitResultsTurnIntoKindsOfEnding) {
    struct Case {
        std::uint32_t result;
        TRetType type;
        std::uint32_t value;
    };
    // Exit code 7, error code 5, TimeOutSec 60.
    const Case cases[] = {
        {0, TRetType::Normal, 7},
        {258, TRetType::TimeOut, 60},
        {0xFFFFFFFFu, TRetType::Error, 5},
        {0x80, TRetType::Error, 5},  // an abandoned wait
    };
    for (const Case& c : cases) {
        const RunOutcome o = convertWaitResult(c.result, 5, 7, 60);
        EXPECT_EQ(o.type, c.type) << c.result;
        EXPECT_EQ(o.value, c.value) << c.result;
    }
}

// ---- running programs ------------------------------------------------------------------------

namespace {

bool eventually(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

struct Completion {
    TRunItem* item;
    TRetType type;
    std::uint32_t value;
    bool onUiThread;
};

class RunAFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        run.OnProcCompleted = [this](TRunItem& item, TRetType type, std::uint32_t value) {
            completions.push_back({&item, type, value, loop.isUiThread()});
        };
        run.OnAfterLaunch = [this](TRunItem& item, bool launched) { afterLaunch.emplace_back(&item, launched); };
    }

    // A script that writes its arguments, one per line, to the file its first
    // argument names, then ends with the code its second argument gives.
    std::string argsScript(const std::string& folder) {
        const std::string path = folder + "show args";
        writeFile(path, "#!/bin/sh\nout=$1\nshift\ncode=$1\nshift\nprintf '%s\\n' \"$@\" > \"$out\"\nexit $code\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    bool waitForCompletions(std::size_t n, std::chrono::milliseconds limit = 5s) {
        return loop.runUntil([&] { return completions.size() >= n; }, limit);
    }

    TempDir dir;
    PlainEventLoop loop;
    TRunAFile run{loop};
    std::vector<Completion> completions;
    std::vector<std::pair<TRunItem*, bool>> afterLaunch;
};

}  // namespace

TEST_F(RunAFileTest, EndedProgramIsReportedOnTheUiThreadWithItsExitCode) {
    run.Params.ProcFileName = exitCommand(7);
    run.Params.UserTag = 42;
    run.Launch();
    ASSERT_EQ(run.ItemCount(), 1u);
    TRunItem& item = run.Item(0);
    ASSERT_EQ(afterLaunch.size(), 1u);
    EXPECT_EQ(afterLaunch[0].first, &item);
    EXPECT_TRUE(afterLaunch[0].second);
    EXPECT_GT(item.ProcessId(), 0);
    EXPECT_EQ(item.Params.UserTag, 42);
    EXPECT_EQ(item.CommandLine(), exitCommand(7));
    EXPECT_EQ(item.StartupInfo().cb, 68u);
    EXPECT_EQ(item.StartupInfo().dwFlags, 1u);
    EXPECT_EQ(item.StartupInfo().wShowWindow, 1);
    EXPECT_EQ(item.CreationFlags(), 0x30u);  // normal priority + new console

    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(completions[0].item, &item);
    EXPECT_EQ(completions[0].type, TRetType::Normal);
    EXPECT_EQ(completions[0].value, 7u);
    EXPECT_TRUE(completions[0].onUiThread);
    EXPECT_EQ(item.RetType(), TRetType::Normal);
    EXPECT_EQ(item.RetVal(), 7u);
    EXPECT_FALSE(item.ProcessActive());
    EXPECT_TRUE(processGone(item.ProcessId()));
}

// Without a thread for the wait, the waiter still hears of the end: a failed
// wait with the system's code, on the UI thread.
TEST_F(RunAFileTest, AWaitThreadThatCannotStartStillNotifies) {
    detail::setWaitThreadStarter([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    run.Params.ProcFileName = exitCommand(0);
    run.Launch();
    detail::setWaitThreadStarter(nullptr);
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(completions[0].type, TRetType::Error);
    EXPECT_EQ(completions[0].value, static_cast<std::uint32_t>(EAGAIN));
    EXPECT_TRUE(completions[0].onUiThread);
}

TEST_F(RunAFileTest, CommandLineIsSplitAsAWindowsProgramReceivesItWithoutAShell) {
    if (kWindows) GTEST_SKIP() << "on Windows the started program's runtime splits its command line itself";
    const std::string folder = dir.path() + "my tools/";
    const std::string script = argsScript(folder);
    const std::string out = dir.path() + "args.txt";
    // Params and file name form one line; quotes group, blanks separate, and
    // nothing a shell would expand is touched.
    run.Params.ProcFileName = "\"" + script + "\" \"" + out + "\" 0";
    run.Params.ProcParameters = "/t \"C:\\Program Files\\x.txt\" $HOME 'a b' *";
    run.Launch();
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(completions[0].type, TRetType::Normal);
    EXPECT_EQ(readFile(out), "/t\nC:\\Program Files\\x.txt\n$HOME\n'a\nb'\n*\n");
}

TEST_F(RunAFileTest, ProgramIsLookedUpInItsWorkingFolderFirst) {
    if (kWindows) GTEST_SKIP() << "Windows looks a program up by its own rules (the caller's folders, then PATH)";
    const std::string script = argsScript(dir.path());
    std::filesystem::rename(script, dir.path() + "tool");
    run.Params.setProcCurrentDir(" " + dir.path() + " ");
    run.Params.ProcFileName = "tool out.txt 3 here";
    run.Launch();
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(completions[0].value, 3u);
    EXPECT_EQ(readFile(dir.path() + "out.txt"), "here\n");  // written in the working folder
}

TEST_F(RunAFileTest, ProgramThatCannotStartGivesOnlyTheAfterLaunchCall) {
    // The operating system's codes: a program that is not there, an empty name.
#ifdef _WIN32
    constexpr int kNotFound = ERROR_FILE_NOT_FOUND, kNoFolder = ERROR_DIRECTORY, kNoName = ERROR_INVALID_PARAMETER;
    const std::string missingProgram = "C:\\no\\such\\program.exe --x";
#else
    constexpr int kNotFound = ENOENT, kNoFolder = ENOENT, kNoName = ENOENT;
    const std::string missingProgram = "/no/such/program --x";
#endif
    const std::pair<std::string, int> lines[] = {{missingProgram, kNotFound}, {"   ", kNotFound}, {"\"\" x", kNoName}};
    for (const auto& [line, code] : lines) {
        SCOPED_TRACE(line);
        afterLaunch.clear();
        run.Params.ProcFileName = line;
        run.Launch();
        ASSERT_EQ(afterLaunch.size(), 1u);
        EXPECT_FALSE(afterLaunch[0].second);
        EXPECT_FALSE(afterLaunch[0].first->Launched());
        EXPECT_EQ(afterLaunch[0].first->LaunchError(), code);
    }
    // A missing working folder is reported as such.
    afterLaunch.clear();
    run.Params.ProcFileName = quickCommand();
    run.Params.setProcCurrentDir(dir.path() + "missing");
    run.Launch();
    ASSERT_EQ(afterLaunch.size(), 1u);
    EXPECT_FALSE(afterLaunch[0].second);
    EXPECT_EQ(afterLaunch[0].first->LaunchError(), kNoFolder);

    loop.runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(completions.empty());
    // Failed records stay until the next start frees them.
    EXPECT_EQ(run.ItemCount(), 1u);
}

TEST_F(RunAFileTest, LimitRunsOutWithTimeOutAndTheProgramIsLeftRunning) {
    run.Params.ProcFileName = longCommand();
    run.Params.setTimeOutSec(1);
    const auto started = std::chrono::steady_clock::now();
    run.Launch();
    const int pid = run.Item(0).ProcessId();
    ASSERT_TRUE(waitForCompletions(1, 10s));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(completions[0].type, TRetType::TimeOut);
    EXPECT_EQ(completions[0].value, 1u);  // TimeOutSec
    EXPECT_GE(waited, 1s);
    EXPECT_TRUE(processRunning(pid));
    EXPECT_TRUE(run.Item(0).ProcessActive());

    // A record whose program still runs is not cleared.
    run.Params.setTimeOutSec(0);
    run.Params.ProcFileName = quickCommand();
    run.Launch();
    EXPECT_EQ(run.ItemCount(), 2u);
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(completions[1].type, TRetType::Normal);

    endProcess(pid);
    ASSERT_TRUE(eventually([&] { return !run.Item(0).ProcessActive(); }));
    EXPECT_TRUE(processGone(pid));  // reaped by the check
}

TEST_F(RunAFileTest, CommandLineLongerThan512CharactersStartsItsFirst512) {
    if (kWindows) GTEST_SKIP() << "the argument-writing program is a POSIX script";
    const std::string script = argsScript(dir.path());
    const std::string out = dir.path() + "args.txt";
    const std::string head = "\"" + script + "\" " + out + " 0 ";
    run.Params.ProcFileName = head + std::string(300, 'a');
    run.Params.ProcParameters = std::string(300, 'b') + " tail";
    run.Launch();
    ASSERT_TRUE(waitForCompletions(1));
    const std::string line = run.Item(0).CommandLine();
    EXPECT_EQ(line.size(), 512u);
    EXPECT_EQ(line, (head + std::string(300, 'a') + " " + std::string(300, 'b')).substr(0, 512));
    const std::size_t bs = 512 - head.size() - 301;
    EXPECT_EQ(readFile(out), std::string(300, 'a') + "\n" + std::string(bs, 'b') + "\n");
}

TEST_F(RunAFileTest, WaitThreadIsReleasedBeforeTheHandlerRuns) {
    bool releasedInHandler = false;
    bool markedInHandler = false;
    run.OnProcCompleted = [&](TRunItem& item, TRetType, std::uint32_t) {
        markedInHandler = item.InHandler();
        // The handler may take long: the wait thread does not wait for it.
        releasedInHandler = eventually([&] { return !item.Waiting(); }, 3s);
        completions.push_back({&item, TRetType::None, 0, true});
    };
    run.Params.ProcFileName = quickCommand();
    run.Launch();
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_TRUE(markedInHandler);
    EXPECT_TRUE(releasedInHandler);
    EXPECT_FALSE(run.Item(0).InHandler());
}

TEST_F(RunAFileTest, AutoClearFromInsideTheHandlerKeepsTheRecordWhoseHandlerRuns) {
    std::size_t countInHandler = 0;
    bool firstStillThere = false;
    run.OnProcCompleted = [&](TRunItem& item, TRetType type, std::uint32_t value) {
        completions.push_back({&item, type, value, true});
        if (completions.size() != 1) return;
        run.Params.ProcFileName = quickCommand();
        run.Launch();  // AutoClear walks the records while this one is inside its handler
        countInHandler = run.ItemCount();
        firstStillThere = &run.Item(0) == &item && item.InHandler();
    };
    // A failed record first: it is the one AutoClear frees.
    run.Params.ProcFileName = "/no/such/program.exe";
    run.Launch();
    run.Params.ProcFileName = quickCommand();
    run.Launch();
    EXPECT_EQ(run.ItemCount(), 1u);  // the failed one went
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(countInHandler, 2u);
    EXPECT_TRUE(firstStillThere);

    // Once both are over, the next start clears them.
    ASSERT_TRUE(eventually([&] { return !run.Item(0).Waiting() && !run.Item(1).Waiting(); }));
    run.OnProcCompleted = nullptr;
    run.Launch();
    EXPECT_EQ(run.ItemCount(), 1u);
}

TEST_F(RunAFileTest, AutoClearOffKeepsEveryRecord) {
    run.AutoClear = false;
    run.Params.ProcFileName = quickCommand();
    for (int i = 0; i < 3; ++i) run.Launch();
    ASSERT_TRUE(waitForCompletions(3));
    ASSERT_TRUE(eventually([&] { return !run.Item(2).Waiting(); }));
    run.Launch();
    EXPECT_EQ(run.ItemCount(), 4u);
}

TEST_F(RunAFileTest, FreedWhileWaitingNotifiesNothingAndLeavesNoZombie) {
    auto owned = std::make_unique<TRunAFile>(loop);
    int notified = 0;
    owned->OnProcCompleted = [&](TRunItem&, TRetType, std::uint32_t) { ++notified; };
    owned->Params.ProcFileName = longCommand();
    owned->Launch();
    const int pid = owned->Item(0).ProcessId();
    ASSERT_GT(pid, 0);

    owned.reset();  // returns at once: the wait is stopped, not the program
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(processRunning(pid));

    endProcess(pid);
    EXPECT_TRUE(eventually([&] { return processGone(pid); }));  // reaped in the background
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_EQ(notified, 0);
}

TEST_F(RunAFileTest, FreedWhileTheHandOverIsQueuedDropsIt) {
    auto owned = std::make_unique<TRunAFile>(loop);
    int notified = 0;
    owned->OnProcCompleted = [&](TRunItem&, TRetType, std::uint32_t) { ++notified; };
    owned->Params.ProcFileName = quickCommand();
    owned->Launch();
    // The wait thread has queued the hand-over and waits to be released.
    ASSERT_TRUE(eventually([&] { return loop.pendingCount() > 0; }));
    owned.reset();
    EXPECT_EQ(loop.processPending(), 1);
    EXPECT_EQ(notified, 0);
}

TEST_F(RunAFileTest, WaitUntilDoneWaitsInTheCallingThread) {
    run.Params.WaitUntilDone = true;
    run.Params.ProcFileName = exitCommand(4);
    run.Launch();
    // Reported before Launch returned, without the loop.
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].type, TRetType::Normal);
    EXPECT_EQ(completions[0].value, 4u);
    EXPECT_FALSE(run.Item(0).Waiting());

    run.Params.ProcFileName = longCommand();
    run.Params.setTimeOutSec(1);
    run.Launch();
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_EQ(completions[1].type, TRetType::TimeOut);
    const int pid = run.Item(run.ItemCount() - 1).ProcessId();
    EXPECT_TRUE(processRunning(pid));
    endProcess(pid);
}

TEST_F(RunAFileTest, WithoutAHandlerNothingWaitsAndNothingIsReported) {
    run.OnProcCompleted = nullptr;
    run.Params.ProcFileName = quickCommand();
    run.Launch();
    TRunItem& item = run.Item(0);
    EXPECT_TRUE(item.Launched());
    EXPECT_FALSE(item.Waiting());
    ASSERT_TRUE(eventually([&] { return !item.ProcessActive(); }));
    EXPECT_TRUE(processGone(item.ProcessId()));
    EXPECT_EQ(item.RetType(), TRetType::None);
    EXPECT_EQ(loop.pendingCount(), 0u);
}
