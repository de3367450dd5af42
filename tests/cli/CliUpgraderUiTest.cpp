// The updater's windows in vantor-cli driving a real update against a loopback
// server: what they print, and Ctrl+C at the two moments the command cannot
// reach with its cancel (the question it answers at once, and the completed
// window it confirms at once).

#include "cli/CliUpgraderUi.h"
#include "platform/PlainEventLoop.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"
#include "update/AutoUpgrader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

// What was written to a temporary stream.
std::string contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) text.append(block, n);
    return text;
}

class CliUpgraderUiTest : public ::testing::Test {
protected:
    PlainEventLoop loop;
    HttpTestServer server;
    TempDir dir;
    TestKey key;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliUpgraderUi ui{loop, true, out, err};
    TAutoUpgrader up{loop, ui, key.pub};
    std::string prog;
    bool interrupted = false, ended = false, started = false;
    TUpdateEnd end{};

    void SetUp() override {
        ASSERT_TRUE(server.running());
        ASSERT_TRUE(out && err);
        prog = dir / "prog/";
        std::filesystem::create_directories(prog);
        std::filesystem::create_directories(dir / "tmp");
        writeFile(prog + "vantor", "old program");
        ui.interruptRequested = [this] { return interrupted; };
        up.InfoFileURL = server.url("/files/qvn_vantor.inf");
        up.VersionNumber = "1.3";
        up.AppTitle = "Quorvane Half-Life 2 benchmark";
        up.ProgramPath = prog + "vantor";
        up.TempFolder = dir / "tmp";
        up.http().Proxy.AccessType = TProxyAccessType::Direct;
        up.StartUpgrader = [this](const std::string&, const std::vector<std::string>&, std::string*) {
            started = true;
            return true;
        };
        up.OnFinished = [this](TUpdateEnd e, const std::string&) {
            end = e;
            ended = true;
        };
        server.put("vantor", "new program");
        const std::string info = infoFile("1.4", {{server.url("/files/vantor"), "new program"}});
        server.put("qvn_vantor.inf", info);
        server.put("qvn_vantor.inf.sig", key.sign(info));
    }
    void TearDown() override {
        std::fclose(out);
        std::fclose(err);
    }
};

TEST_F(CliUpgraderUiTest, PrintsTheQuestionProgressAndCompletionAndConfirmsIt) {
    up.BeginCheck();
    ASSERT_TRUE(loop.runUntil([&] { return ended; }, 10s));
    EXPECT_EQ(end, TUpdateEnd::Restarting);
    EXPECT_TRUE(started);
    EXPECT_NE(contents(err).find("Do you want to update your version with the latest one? [Yes]"), std::string::npos);
    const std::string printed = contents(out);
    EXPECT_NE(printed.find("Downloading 1 of 1: " + server.url("/files/vantor")), std::string::npos) << printed;
    EXPECT_NE(printed.find("The update of Quorvane Half-Life 2 benchmark has been successfully completed."),
              std::string::npos);
}

TEST_F(CliUpgraderUiTest, CtrlCBeforeTheQuestionAnswersLater) {
    up.OnBeginUpgrade = [this](const std::string&, TUpgradeMethod, const std::vector<std::string>&, bool&) {
        interrupted = true;
    };
    up.BeginCheck();
    ASSERT_TRUE(loop.runUntil([&] { return ended; }, 10s));
    EXPECT_EQ(end, TUpdateEnd::Later);
    EXPECT_NE(contents(err).find("Do you want to update your version with the latest one? [Later]"), std::string::npos);
    EXPECT_EQ(server.hits("/files/vantor"), 0);
}

TEST_F(CliUpgraderUiTest, CtrlCBeforeTheCompletedWindowIsConfirmedEndsWithoutAHandOver) {
    up.OnFileDone = [this](const std::string&) { interrupted = true; };
    up.BeginCheck();
    ASSERT_TRUE(loop.runUntil([&] { return contents(out).find("successfully completed") != std::string::npos; }, 10s));
    loop.runUntil([] { return false; }, 100ms);  // the confirmation would have come by now
    EXPECT_FALSE(ended);
    up.Cancel();  // what the command does on Ctrl+C
    ASSERT_TRUE(loop.runUntil([&] { return ended; }, 5s));
    EXPECT_EQ(end, TUpdateEnd::Aborted);
    EXPECT_FALSE(started);
    EXPECT_EQ(folderFiles(prog), (std::map<std::string, std::string>{{"vantor", "old program"}}));
}

// The main window's outcome texts are its status line's; vantor-cli prints that
// line and then how the command ended, so the box adds nothing.
TEST_F(CliUpgraderUiTest, AnOutcomeBoxPrintsNothing) {
    ui.outcomeBox("Quorvane Half-Life 2 benchmark", "Update aborted.");
    EXPECT_EQ(contents(out), "");
    EXPECT_EQ(contents(err), "");
}

}  // namespace
