// TAutoUpgrader against a loopback server: the check and its outcomes, the
// signature, the question, the download with its window and messages, the
// hand-over, and the tamper table (every case refused, the program's folder
// byte for byte as before).

#include "platform/PlainEventLoop.h"
#include "tests/support/FakeUpgraderUi.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/SystemText.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"
#include "update/AutoUpgrader.h"
#include "update/UpgradeList.h"
#include "update/UpgraderImage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

class AutoUpgraderTest : public ::testing::Test {
public:
    PlainEventLoop loop;
    HttpTestServer server;
    TempDir dir;
    TestKey key;
    FakeUpgraderUi ui{loop};
    std::unique_ptr<TAutoUpgrader> up;
    std::string prog;  // the program's folder

    std::vector<std::string> events;
    bool ended = false;
    TUpdateEnd end{};
    std::string endText;
    std::string openedURL;
    std::vector<std::string> started;  // the replacement program's command line
    bool closed = false;

    void SetUp() override {
        ASSERT_TRUE(server.running());
        prog = dir / "prog/";
        std::filesystem::create_directories(prog);
        std::filesystem::create_directories(dir / "tmp");
        writeFile(prog + "vantor", "old program");
        ::chmod((prog + "vantor").c_str(), 0755);
        writeFile(prog + "version.txt", "1.3");
        up = makeUpgrader(key.pub);
    }

    std::unique_ptr<TAutoUpgrader> makeUpgrader(const UpdatePublicKey& k) {
        auto u = std::make_unique<TAutoUpgrader>(loop, ui, k);
        u->InfoFileURL = server.url("/files/qvn_vantor.inf");
        u->VersionNumber = "1.3";
        u->AppTitle = "Quorvane Half-Life 2 benchmark";
        u->ProgramPath = prog + "vantor";
        u->TempFolder = dir / "tmp";
        u->http().Proxy.AccessType = TProxyAccessType::atDirect;
        u->http().ConnectBound = 2s;
        u->http().StallBound = 1s;
        u->OpenURL = [this](const std::string& url) { openedURL = url; };
        u->CloseApplication = [this] { closed = true; };
        u->StartUpgrader = [this](const std::string& program, const std::vector<std::string>& args, std::string*) {
            started = {program};
            started.insert(started.end(), args.begin(), args.end());
            return true;
        };
        u->OnLaterUpgrade = [this] { events.push_back("later"); };
        u->OnAborted = [this] { events.push_back("aborted"); };
        u->OnNoUpdateAvailable = [this] { events.push_back("noupdate"); };
        u->OnHostUnreachable = [this](const std::string& url, const std::string& host) {
            events.push_back("unreachable " + host + " " + url);
        };
        u->OnRefused = [this](const std::string& reason) { events.push_back("refused " + reason); };
        u->OnFinished = [this](TUpdateEnd e, const std::string& t) {
            end = e;
            endText = t;
            ended = true;
        };
        return u;
    }

    // Serves the information file signed with the key (or the given signature).
    void publish(const std::string& info, const std::string* sig = nullptr) {
        server.put("qvn_vantor.inf", info);
        server.put("qvn_vantor.inf.sig", sig ? *sig : key.sign(info));
    }

    // Serves files at /files/NAME and lists them in a signed information file.
    void release(const std::string& version, const std::map<std::string, std::string>& files,
                 const std::string& extra = "") {
        std::vector<Listed> listed;
        for (const auto& [name, bytes] : files) {
            server.put(name, bytes, 1121817600);
            listed.push_back({server.url("/files/" + name), bytes});
        }
        publish(infoFile(version, listed, extra));
    }

    void check(std::chrono::milliseconds limit = 15s) {
        ended = false;
        up->BeginCheck();
        ASSERT_TRUE(loop.runUntil([&] { return ended; }, limit)) << "the check did not end";
        loop.processPending();
    }

    std::vector<std::string> uTmpFiles() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(prog))
            if (e.path().extension() == ".uTMP") out.push_back(e.path().filename().string());
        return out;
    }
};

// ---- the check -------------------------------------------------------------------------

TEST_F(AutoUpgraderTest, ANewerVersionIsDownloadedAndHandedOver) {
    release("1.4", {{"vantor", std::string(200 * 1024, 'N')}, {"version.txt", "1.4"}});
    check();
    EXPECT_EQ(end, TUpdateEnd::Restarting);
    EXPECT_TRUE(closed);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              "A newer version of Quorvane Half-Life 2 benchmark was released.\n\nDo you want to update your version "
              "with the latest one?");
    // The files wait beside the program, described in the upgrade list.
    EXPECT_EQ(readFile(prog + "vantor.uTMP"), std::string(200 * 1024, 'N'));
    EXPECT_EQ(readFile(prog + "version.txt.uTMP"), "1.4");
    EXPECT_EQ(readFile(prog + "vantor"), "old program");
    const auto plan = UpgradeList::read(prog);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->steps.size(), 2u);
    // Their times are the server's.
    struct stat st {};
    ASSERT_EQ(::stat((prog + "vantor.uTMP").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1121817600);
    // The replacement program, written out executable, with its command line.
    const std::string upgrader = dir / "tmp/Upgrader3.exe";
    EXPECT_EQ(started, (std::vector<std::string>{upgrader, prog + "vantor", "+/afterupgrade0"}));
    EXPECT_EQ(readFile(upgrader), std::string(upgraderImage()));
    EXPECT_EQ(::access(upgrader.c_str(), X_OK), 0);
    // The window's texts.
    EXPECT_EQ(ui.calls.front(), "show");
    EXPECT_NE(std::find(ui.calls.begin(), ui.calls.end(), "Downloading 1 of 2"), ui.calls.end());
    EXPECT_NE(std::find(ui.calls.begin(), ui.calls.end(), "Downloading 2 of 2"), ui.calls.end());
    EXPECT_NE(std::find(ui.calls.begin(), ui.calls.end(), "File size: 200.0 Kb"), ui.calls.end());
    EXPECT_EQ(ui.completedNote,
              "The update of Quorvane Half-Life 2 benchmark has been successfully completed.\n\nPress the OK button "
              "to restart program.");
    EXPECT_EQ(ui.allPercents.back(), 100);
    EXPECT_EQ(ui.lastLeft.rfind("Estimated time left: 0:00:", 0), 0u);
    EXPECT_EQ(ui.lastRate.rfind("Transfer rate: ", 0), 0u);
    EXPECT_FALSE(ui.open);
}

TEST_F(AutoUpgraderTest, NoUpdateWhenNotNewerOrWithoutFiles) {
    for (const char* version : {"1.3", "1.3.0.0", "1.2", "1.2.9"}) {
        SCOPED_TRACE(version);
        release(version, {{"vantor", "new"}});
        events.clear();
        check();
        EXPECT_EQ(events, std::vector<std::string>{"noupdate"});
        EXPECT_EQ(end, TUpdateEnd::NoUpdate);
    }
    publish("#version=9.0\r\n");  // newer, but no address of any form
    events.clear();
    check();
    EXPECT_EQ(events, std::vector<std::string>{"noupdate"});
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(AutoUpgraderTest, AMissingInformationFileEndsWithoutAMessage) {
    check();
    EXPECT_EQ(end, TUpdateEnd::NoInfoFile);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AutoUpgraderTest, NoConnectionReportsTheHost) {
    up->InfoFileURL = "http://" + std::string(70, 'u') + ".invalid/Bench/qvn_vantor.inf";
    check();
    EXPECT_EQ(events, std::vector<std::string>{"unreachable " + std::string(70, 'u') + ".invalid " + up->InfoFileURL});
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AutoUpgraderTest, ABrokenConnectionShowsItsBox) {
    up->InfoFileURL = server.url("/short?announce=1000&send=600");
    check();
    EXPECT_EQ(end, TUpdateEnd::ConnLost);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0],
              "Application update wizard|Connection with remote server lost.\n\nPlease restore connection and try "
              "to\nupgrade this software again later.");
    EXPECT_EQ(ui.icons[0], UpgradeIcon::Error);
    EXPECT_TRUE(events.empty());  // no OnAborted
}

TEST_F(AutoUpgraderTest, LaterKeepsEverythingAndShowsTheMessageInTheQuestion) {
    release("1.4", {{"vantor", "new"}}, "#Message={Faster.\r\nSmaller.}\r\n");
    ui.answerUpgrade = false;
    const auto before = folderFiles(prog);
    check();
    EXPECT_EQ(events, std::vector<std::string>{"later"});
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              "A newer version of Quorvane Half-Life 2 benchmark was released.\n\nFaster.\r\nSmaller.\n\nDo you want "
              "to update your version with the latest one?");
    EXPECT_EQ(folderFiles(prog), before);
    EXPECT_EQ(server.hits("/files/vantor"), 0);
}

TEST_F(AutoUpgraderTest, ASecondCheckDuringATransferDoesNothing) {
    up->InfoFileURL = server.url("/stall?send=10");
    up->BeginCheck();
    up->BeginCheck();
    EXPECT_TRUE(loop.runUntil([&] { return ended; }, 10s));
    EXPECT_EQ(server.hits("/stall"), 1);
}

TEST_F(AutoUpgraderTest, TheRedirectMethodOpensTheFirstAddressOnly) {
    publish("#version=1.4\r\n#method=2\r\n#url=example.org/download\r\n");
    check();
    EXPECT_EQ(end, TUpdateEnd::Redirected);
    EXPECT_EQ(openedURL, "http://example.org/download");
    EXPECT_TRUE(started.empty());
}

// ---- the download ----------------------------------------------------------------------

TEST_F(AutoUpgraderTest, AMissingFileCanBeSkippedOrEndTheUpdate) {
    std::vector<Listed> listed = {{server.url("/files/vantor"), "new"},
                                  {server.url("/files/gone.dat"), "x"},
                                  {server.url("/files/version.txt"), "1.4"}};
    server.put("vantor", "new");
    server.put("version.txt", "1.4");
    publish(infoFile("1.4", listed));
    ui.boxAnswers = {true};  // skip it
    check();
    EXPECT_EQ(end, TUpdateEnd::Restarting);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0],
              "Error #404|File gone.dat not found or inaccessible.\n\nTry to skip this file and continue upgrade?");
    EXPECT_EQ(ui.icons[0], UpgradeIcon::Warning);
    EXPECT_TRUE(exists(prog + "version.txt.uTMP"));
    EXPECT_FALSE(exists(prog + "gone.dat.uTMP"));

    // No: the update ends, and what it had downloaded goes.
    UpgradeList::removeDownloads(prog);
    ui.boxes.clear();
    ui.boxAnswers = {false};
    closed = false;
    events.clear();
    check();
    EXPECT_EQ(events, std::vector<std::string>{"aborted"});
    EXPECT_TRUE(uTmpFiles().empty());
    EXPECT_FALSE(closed);
}

TEST_F(AutoUpgraderTest, AbortingAfterTwoOfThreeFilesLeavesNoDownload) {
    server.put("a", "aaa");
    server.put("b", "bbb");
    publish(infoFile("1.4", {{server.url("/files/a"), "aaa"},
                             {server.url("/files/b"), "bbb"},
                             {server.url("/stall?send=100"), std::string(1000, 't')}}));
    up->http().StallBound = 20s;
    ui.boxAnswers = {true};  // "Would you like to abort upgrading?"
    ui.onProgress = [&] {
        if (std::count(ui.calls.begin(), ui.calls.end(), "Downloading 3 of 3") && ui.options.onCancel) {
            EXPECT_EQ(uTmpFiles().size(), 3u);
            auto cancel = ui.options.onCancel;
            ui.onProgress = nullptr;
            loop.post(cancel);
        }
    };
    check();
    EXPECT_EQ(events, std::vector<std::string>{"aborted"});
    EXPECT_EQ(ui.boxes.back(),
              "Quorvane Half-Life 2 benchmark|The update is not completed.\nWould you like to abort upgrading?");
    EXPECT_TRUE(uTmpFiles().empty());
    EXPECT_FALSE(ui.open);
    EXPECT_FALSE(closed);
}

TEST_F(AutoUpgraderTest, NoToTheAbortQuestionGoesOn) {
    release("1.4", {{"vantor", "new"}});
    ui.finishWhenCompleted = false;
    ui.boxAnswers = {false};
    up->BeginCheck();
    // The completed window waits for its OK.
    ASSERT_TRUE(loop.runUntil([&] { return ui.completedNote.size() > 0; }, 10s));
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_FALSE(ended);
    ASSERT_TRUE(ui.options.onCancel);
    ui.options.onCancel();  // asked from the completed state, answered No
    EXPECT_TRUE(ui.open);
    ui.options.onFinish();
    EXPECT_TRUE(loop.runUntil([&] { return ended; }, 5s));
    EXPECT_EQ(end, TUpdateEnd::Restarting);
}

TEST_F(AutoUpgraderTest, ABrokenDownloadShowsItsBoxAndLeavesNoDownload) {
    server.put("a", "aaa");
    publish(infoFile("1.4", {{server.url("/files/a"), "aaa"},
                             {server.url("/short?announce=1000&send=600"), std::string(1000, 's')}}));
    check();
    EXPECT_EQ(end, TUpdateEnd::ConnLost);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(uTmpFiles().empty());
    EXPECT_FALSE(closed);
    EXPECT_FALSE(ui.open);
}

TEST_F(AutoUpgraderTest, ATargetThatCannotBeWrittenIsAnErrorNotAHang) {
    release("1.4", {{"vantor", "new"}});
    writeFile(prog + "vantor.uTMP/inside", "x");  // a folder where the file should go
    const auto before = folderFiles(prog);
    check();
    EXPECT_EQ(end, TUpdateEnd::Refused);
    EXPECT_EQ(endText.rfind("The file " + prog + "vantor.uTMP cannot be written", 0), 0u) << endText;
    EXPECT_FALSE(up->Busy());
    EXPECT_FALSE(ui.open);
}

TEST_F(AutoUpgraderTest, ALeftReplacementProgramIsRemoved) {
    writeFile(dir / "tmp/Upgrader3.exe", "left from before");
    writeFile(prog + "Upgrader3.exe", "left from before");
    up->RemoveLeftUpgrader();
    EXPECT_FALSE(exists(dir / "tmp/Upgrader3.exe"));
    EXPECT_FALSE(exists(prog + "Upgrader3.exe"));
    EXPECT_EQ(TAutoUpgrader::upgraderPath(dir / "no such folder", prog), prog + "Upgrader3.exe");
}

// ---- the tamper table ------------------------------------------------------------------

struct Tamper {
    const char* name;
    // Sets up the server (and may replace the fixture's upgrader); the
    // expected end follows.
    std::function<void(AutoUpgraderTest&)> setUp;
    TUpdateEnd end = TUpdateEnd::Refused;
    const char* text = kNotVerifiedText;
};

class TamperTest : public AutoUpgraderTest, public ::testing::WithParamInterface<Tamper> {};

const std::string kNew = std::string(5000, 'N');

const Tamper kTampers[] = {
    {"no signature",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew);
         t.server.put("qvn_vantor.inf", infoFile("1.4", {{t.server.url("/files/vantor"), kNew}}));
     }},
    {"bad signature",
     [](AutoUpgraderTest& t) {
         const std::string sig = "not a signature\n";
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew}}), &sig);
     }},
    {"signature of other bytes",
     [](AutoUpgraderTest& t) {
         const std::string info = infoFile("1.4", {{t.server.url("/files/vantor"), kNew}});
         const std::string sig = t.key.sign(infoFile("1.4", {{t.server.url("/files/other"), kNew}}));
         t.server.put("vantor", kNew);
         t.publish(info, &sig);
     }},
    {"another key",
     [](AutoUpgraderTest& t) {
         const TestKey other;
         const std::string info = infoFile("1.4", {{t.server.url("/files/vantor"), kNew}});
         const std::string sig = other.sign(info);
         t.server.put("vantor", kNew);
         t.publish(info, &sig);
     }},
    {"endless information file", [](AutoUpgraderTest& t) { t.up->InfoFileURL = t.server.url("/endless"); }},
    {"hash mismatch",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", std::string(5000, 'X'));
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew}}));
     },
     TUpdateEnd::Refused, "The downloaded file vantor does not match the update information."},
    {"size larger",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew + "+");
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew}}));
     },
     TUpdateEnd::Refused, "The downloaded file vantor does not match the update information."},
    {"size smaller",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew.substr(1));
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew}}));
     },
     TUpdateEnd::Refused, "The downloaded file vantor does not match the update information."},
    {"endless body",
     [](AutoUpgraderTest& t) {
         t.publish(infoFile("1.4", {{t.server.url("/endless"), kNew}}));
     },
     TUpdateEnd::Refused, "The downloaded file endless does not match the update information."},
    {"name with / (nothing after the last separator)",
     [](AutoUpgraderTest& t) {
         t.publish(infoFile("1.4", {{t.server.url("/files/sub/"), kNew}}));
     },
     TUpdateEnd::Refused, "The update names a file that is not allowed: "},
    {"name ..",
     [](AutoUpgraderTest& t) {
         t.publish(infoFile("1.4", {{t.server.url("/files/.."), kNew}}));
     },
     TUpdateEnd::Refused, "The update names a file that is not allowed: .."},
    {"encoded separator",
     [](AutoUpgraderTest& t) {
         t.publish(infoFile("1.4", {{t.server.url("/files/..%2Fvantor"), kNew}}));
     },
     TUpdateEnd::Refused, "The update names a file that is not allowed: ..%2Fvantor"},
    {"file without size and hash",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew);
         t.publish("#version=1.4\r\n#url=" + t.server.url("/files/vantor") + "\r\n");
     }},
    {"older version",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew);
         t.publish(infoFile("1.2", {{t.server.url("/files/vantor"), kNew}}));
     },
     TUpdateEnd::NoUpdate, "No update available."},
    {"equal version",
     [](AutoUpgraderTest& t) {
         t.server.put("vantor", kNew);
         t.publish(infoFile("1.3", {{t.server.url("/files/vantor"), kNew}}));
     },
     TUpdateEnd::NoUpdate, "No update available."},
    {"redirect to another host serving other bytes",
     [](AutoUpgraderTest& t) {
         static HttpTestServer* other = nullptr;
         delete other;
         other = new HttpTestServer;
         other->put("vantor", std::string(5000, 'E'));
         t.publish(infoFile("1.4", {{t.server.url("/redirect?to=" + other->url("/files/vantor")), kNew}}));
     },
     TUpdateEnd::Refused, "The downloaded file redirect does not match the update information."},
    {"information file redirected to another host",
     [](AutoUpgraderTest& t) {
         static HttpTestServer* other = nullptr;
         delete other;
         other = new HttpTestServer;
         const std::string info = infoFile("1.4", {{other->url("/files/vantor"), kNew}});
         other->put("vantor", kNew);
         other->put("qvn_vantor.inf", info);
         other->put("qvn_vantor.inf.sig", TestKey().sign(info));
         t.up->InfoFileURL = t.server.url("/redirect?to=" + other->url("/files/qvn_vantor.inf"));
     }},
};

TEST_P(TamperTest, IsRefusedAndLeavesTheFolderAsItWas) {
    if (runningUnderWine() && std::string(GetParam().name).rfind("endless", 0) == 0)
        GTEST_SKIP() << "Wine's WinInet reads the rest of a body when the request's handle closes, and an endless "
                        "body has no rest (Windows closes the connection)";
    GetParam().setUp(*this);
    const auto before = folderFiles(prog);
    check();
    EXPECT_EQ(end, GetParam().end);
    EXPECT_EQ(endText, GetParam().text);
    EXPECT_EQ(folderFiles(prog), before);
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(closed);
    EXPECT_FALSE(ui.open);
    EXPECT_FALSE(exists(dir / "tmp/Upgrader3.exe"));
}

INSTANTIATE_TEST_SUITE_P(Table, TamperTest, ::testing::ValuesIn(kTampers),
                         [](const ::testing::TestParamInfo<Tamper>& info) { return std::to_string(info.index); });

}  // namespace
