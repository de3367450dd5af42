// TAutoUpgrader against a loopback server: the check and its outcomes, the
// signature, the question, the download with its window and messages, the
// hand-over, and the tamper table (every case refused, the program's folder
// byte for byte as before).

#include "platform/OsFamily.h"
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

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
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
        u->http().Proxy.AccessType = TProxyAccessType::Direct;
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
              "A newer version of Quorvane Half-Life 2 benchmark was released.\n\nVersion 1.4 is offered; this is "
              "version 1.3.\n\nDo you want to update your version with the latest one?");
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
    EXPECT_NE(std::find(ui.calls.begin(), ui.calls.end(), "File size: 200.0 KiB"), ui.calls.end());
    EXPECT_EQ(ui.completedNote,
              "The update of Quorvane Half-Life 2 benchmark has been successfully completed.\n\nPress the OK button "
              "to restart program.");
    EXPECT_EQ(ui.allPercents.back(), 100);
    EXPECT_EQ(ui.lastLeft.rfind("Estimated time left: 0:00:", 0), 0u);
    EXPECT_EQ(ui.lastRate.rfind("Transfer rate: ", 0), 0u);
    EXPECT_NE(ui.lastRate.find("/s"), std::string::npos) << ui.lastRate;
    EXPECT_EQ(ui.lastRate.find("Kb"), std::string::npos) << ui.lastRate;
    EXPECT_FALSE(ui.open);
}

TEST(AutoUpgraderTexts, ByteCountsAreShownInTheirUnit) {
    const std::pair<double, const char*> cases[] = {
        {0, "0 bytes"},
        {512, "512 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.0 KiB"},
        {200 * 1024, "200.0 KiB"},
        {16 * 1024, "16.0 KiB"},
        {1024 * 1024 - 1, "1.0 MiB"},  // not "1024.0 KiB"
        {32'194'867, "30.7 MiB"},      // the 31440.3 KiB download
        {3.5 * 1024 * 1024 * 1024, "3.5 GiB"},
        {-1, "0 bytes"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(TAutoUpgrader::byteSizeText(bytes), text) << bytes;
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
              "A newer version of Quorvane Half-Life 2 benchmark was released.\n\nVersion 1.4 is offered; this is "
              "version 1.3.\nFaster.\r\nSmaller.\n\nDo you want to update your version with the latest one?");
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

// ---- versions --------------------------------------------------------------------------

// Without a running version every offer would look newer (a signed 0.1 replaced
// 1.3 that way): no check is made, nothing is fetched.
TEST_F(AutoUpgraderTest, ARunningVersionThatIsNoVersionIsRefusedWithoutAsking) {
    release("9.9", {{"vantor", "new"}});
    for (const char* running : {"", "1.3a", "unknown", "1..3"}) {
        SCOPED_TRACE(running);
        up->VersionNumber = running;
        check();
        EXPECT_EQ(end, TUpdateEnd::Refused);
        EXPECT_EQ(endText, std::string("This program's version (\"") + running +
                               "\") is not a version number, so no update can be compared with it.");
    }
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(server.totalHits(), 0);
    EXPECT_EQ(readFile(prog + "vantor"), "old program");
}

TEST_F(AutoUpgraderTest, VersionsCompareAsNumbersAndAnOlderOfferIsReported) {
    struct Case {
        const char* running;
        const char* offered;
        TUpdateEnd end;
        bool older;
    } const cases[] = {
        {"1.9", "1.10", TUpdateEnd::Restarting, false},
        {"1.10", "1.9", TUpdateEnd::NoUpdate, true},
        {"1.10", "1.2", TUpdateEnd::NoUpdate, true},
        {"1.3", "0.1", TUpdateEnd::NoUpdate, true},
        {"1.3", "1.3.0", TUpdateEnd::NoUpdate, false},
        {"1.3", "1.4a", TUpdateEnd::NoUpdate, true},  // no number: never newer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.offered) + " offered to " + c.running);
        up = makeUpgrader(key.pub);
        std::vector<std::string> older;
        up->OnOlderVersion = [&](const std::string& o, const std::string& r) { older.push_back(o + " < " + r); };
        up->VersionNumber = c.running;
        release(c.offered, {{"vantor", "new"}});
        check();
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(older, c.older ? std::vector<std::string>{std::string(c.offered) + " < " + c.running}
                                 : std::vector<std::string>{});
        UpgradeList::removeDownloads(prog);
    }
}

// ---- what an update may bring ----------------------------------------------------------

// A self-upgrade must bring the program's own file, and no file may take a
// name the program keeps for itself: refused before anything is fetched.
TEST_F(AutoUpgraderTest, AnUpdateWithoutTheProgramOrWithAReservedNameIsRefused) {
    struct Case {
        std::map<std::string, std::string> files;
        const char* refusal;
    } const cases[] = {
        {{{"dxdiag.exe", "new"}},
         "The update does not contain the program file vantor, so it cannot bring the new version."},
        {{{"help.htm", "new"}},
         "The update does not contain the program file vantor, so it cannot bring the new version."},
        {{{"Upgrader3.exe", "new"}}, "The update names a file that is not allowed: Upgrader3.exe"},
        {{{"vantor", "new"}, {"Upgrader3.exe", "new"}}, "The update names a file that is not allowed: Upgrader3.exe"},
        {{{"vantor", "new"}, {"upgrade.lst", "new"}}, "The update names a file that is not allowed: upgrade.lst"},
        {{{"vantor", "new"}, {"upgrade.lock", "new"}}, "The update names a file that is not allowed: upgrade.lock"},
    };
    writeFile(prog + "dxdiag.exe", "the real one");
    const auto before = folderFiles(prog);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        release("1.4", c.files);
        check();
        EXPECT_EQ(end, TUpdateEnd::Refused);
        EXPECT_EQ(endText, c.refusal);
        EXPECT_EQ(folderFiles(prog), before);
        EXPECT_TRUE(started.empty());
    }
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(server.totalHits(), 2 * static_cast<int>(std::size(cases)));  // the information and its signature
}

TEST_F(AutoUpgraderTest, AFileOfAnotherNameReplacesOnlyThatName) {
    writeFile(prog + "dxdiag.exe", "the real one");
    release("1.4", {{"vantor", "new program"}, {"dxdiag.exe", "new dxdiag"}});
    check();
    ASSERT_EQ(end, TUpdateEnd::Restarting);
    const auto plan = UpgradeList::read(prog);
    ASSERT_TRUE(plan);
    ASSERT_TRUE(UpgradeList::apply(prog, *plan).ok);
    EXPECT_EQ(readFile(prog + "vantor"), "new program");
    EXPECT_EQ(readFile(prog + "dxdiag.exe"), "new dxdiag");
}

// ---- the download ----------------------------------------------------------------------

// All or nothing: a file the server does not have ends the update; what was
// downloaded before it goes, and nothing is handed over.
TEST_F(AutoUpgraderTest, AMissingFileEndsTheUpdateAndNothingIsReplaced) {
    std::vector<Listed> listed = {{server.url("/files/vantor"), "new"},
                                  {server.url("/files/gone.dat"), "x"},
                                  {server.url("/files/version.txt"), "1.4"}};
    server.put("vantor", "new");
    server.put("version.txt", "1.4");
    publish(infoFile("1.4", listed));
    const auto before = folderFiles(prog);
    check();
    EXPECT_EQ(end, TUpdateEnd::Aborted);
    EXPECT_EQ(events, std::vector<std::string>{"aborted"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0],
              "Error #404|File gone.dat not found or inaccessible.\n\nThe update cannot be completed without it, so "
              "nothing is replaced.");
    EXPECT_EQ(ui.icons[0], UpgradeIcon::Warning);
    EXPECT_EQ(folderFiles(prog), before);  // "vantor.uTMP" went too
    EXPECT_EQ(server.hits("/files/version.txt"), 0);
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(closed);
    EXPECT_FALSE(ui.open);
}

TEST_F(AutoUpgraderTest, AbortingAfterTwoOfThreeFilesLeavesNoDownload) {
    server.put("vantor", "aaa");
    server.put("b", "bbb");
    publish(infoFile("1.4", {{server.url("/files/vantor"), "aaa"},
                             {server.url("/files/b"), "bbb"},
                             {server.url("/stall?send=100"), std::string(1000, 't')}}));
    // Wine's WinInet leaves a blocked read blocked when its handle closes: there the
    // stall bound ends it, well inside the check's limit.
    up->http().StallBound = runningUnderWine() ? 4s : 20s;
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
    server.put("vantor", "aaa");
    publish(infoFile("1.4", {{server.url("/files/vantor"), "aaa"},
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

// An installed copy in a folder no file can be created in (/proc is read-only
// even for root) is refused before the question and the download, with the
// version on offer and the way to install it.
TEST_F(AutoUpgraderTest, AProgramFolderThatCannotBeWrittenIsRefusedBeforeTheDownload) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "/proc";
    release("1.4", {{"vantor", "new"}});
    up->ProgramPath = "/proc/vantor";
    check();
    EXPECT_EQ(end, TUpdateEnd::Refused);
    EXPECT_EQ(endText.rfind("Version 1.4 is available, but the program's folder /proc/ cannot be written (", 0), 0u)
        << endText;
    EXPECT_NE(endText.find("Please install it the way this copy was installed: with the system's package manager or "
                           "the new installer."),
              std::string::npos)
        << endText;
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(server.hits("/files/vantor"), 0);
}

TEST_F(AutoUpgraderTest, ALeftReplacementProgramIsRemoved) {
    writeFile(dir / "tmp/Upgrader3.exe", "left from before");
    writeFile(prog + "Upgrader3.exe", "left from before");
    up->RemoveLeftUpgrader();
    EXPECT_FALSE(exists(dir / "tmp/Upgrader3.exe"));
    EXPECT_FALSE(exists(prog + "Upgrader3.exe"));
    EXPECT_EQ(TAutoUpgrader::upgraderPath(dir / "no such folder", prog), prog + "Upgrader3.exe");
}

// Everything handed over is checked again just before: a download changed
// after its check (same size, other bytes) is not handed over.
TEST_F(AutoUpgraderTest, ADownloadChangedBeforeTheHandOverIsNotHandedOver) {
    release("1.4", {{"vantor", "new program"}});
    ui.finishWhenCompleted = false;
    up->BeginCheck();
    ASSERT_TRUE(loop.runUntil([&] { return !ui.completedNote.empty(); }, 10s));
    writeFile(prog + "vantor.uTMP", "bad program");
    ui.options.onFinish();
    ASSERT_TRUE(loop.runUntil([&] { return ended; }, 5s));
    EXPECT_EQ(end, TUpdateEnd::Refused);
    EXPECT_EQ(endText, "The downloaded file vantor does not match the update information.");
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(folderFiles(prog),
              (std::map<std::string, std::string>{{"vantor", "old program"}, {"version.txt", "1.3"}}));
}

// ---- bounds and cancelling -------------------------------------------------------------

// A server that sends a byte now and then never stalls; the whole transfer's
// bound ends it as a lost connection, and says which file did not arrive.
TEST_F(AutoUpgraderTest, ATricklingServerEndsAsALostConnectionWithinItsBound) {
    up->InfoFileBound = 500ms;
    up->InfoFileURL = server.url("/trickle/qvn_vantor.inf?size=1000&every=50");
    auto start = std::chrono::steady_clock::now();
    check();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(end, TUpdateEnd::ConnLost);
    EXPECT_EQ(endText, "Connection with remote server lost. qvn_vantor.inf did not arrive within 1 s.");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].rfind("Application update wizard|Connection with remote server lost.", 0), 0u);

    // A file's bound grows with the size the information lists: 2 MiB here.
    up->InfoFileURL = server.url("/files/qvn_vantor.inf");
    up->FileBound = 500ms;
    up->FileBoundPerMiB = 250ms;
    const std::size_t size = 2 * 1024 * 1024;
    server.put("version.txt", "1.4");
    publish(infoFile(
        "1.4", {{server.url("/files/version.txt"), "1.4"},
                {server.url("/trickle/vantor?size=" + std::to_string(size) + "&every=50"), std::string(size, 't')}}));
    const auto before = folderFiles(prog);
    start = std::chrono::steady_clock::now();
    check();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(end, TUpdateEnd::ConnLost);
    EXPECT_EQ(up->http().TotalBound, 1000ms);
    EXPECT_EQ(endText, "Connection with remote server lost. vantor did not arrive within 1 s.");
    EXPECT_EQ(folderFiles(prog), before);
    EXPECT_EQ(server.hits("/trickle/vantor"), 1);
    EXPECT_TRUE(started.empty());
}

// Cancel (Ctrl+C in vantor-cli) ends every phase without a question: nothing
// downloaded stays, nothing is handed over, and the next check can start.
struct CancelPhase {
    const char* name;
    // Serves the update and arranges the cancel (or returns when to cancel).
    std::function<std::function<bool()>(AutoUpgraderTest&)> setUp;
};

class CancelTest : public AutoUpgraderTest, public ::testing::WithParamInterface<CancelPhase> {};

const CancelPhase kCancelPhases[] = {
    {"information fetch",
     [](AutoUpgraderTest& t) -> std::function<bool()> {
         t.up->InfoFileURL = t.server.url("/trickle/qvn_vantor.inf?size=1000&every=50");
         return [&t] { return t.server.hits("/trickle/qvn_vantor.inf") > 0; };
     }},
    {"signature fetch",
     [](AutoUpgraderTest& t) -> std::function<bool()> {
         t.server.put("vantor", "new");
         const std::string info = infoFile("1.4", {{t.server.url("/files/vantor"), "new"}});
         t.server.put("qvn_vantor.inf", info);
         t.server.trickle("qvn_vantor.inf.sig", t.key.sign(info), 50ms);
         return [&t] { return t.server.hits("/files/qvn_vantor.inf.sig") > 0; };
     }},
    {"question",
     [](AutoUpgraderTest& t) -> std::function<bool()> {
         t.release("1.4", {{"vantor", "new"}});
         t.ui.onAsk = [&t] { t.up->Cancel(); };
         return nullptr;
     }},
    {"download of the second file",
     [](AutoUpgraderTest& t) -> std::function<bool()> {
         t.server.put("vantor", "new");
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), "new"},
                                    {t.server.url("/trickle/help.htm?size=1000&every=50"), std::string(1000, 't')}}));
         return [&t] {
             return std::count(t.ui.calls.begin(), t.ui.calls.end(), "Downloading 2 of 2") &&
                    t.server.hits("/trickle/help.htm") > 0;
         };
     }},
    {"completed, before its OK",
     [](AutoUpgraderTest& t) -> std::function<bool()> {
         t.release("1.4", {{"vantor", "new"}, {"version.txt", "1.4"}});
         t.ui.finishWhenCompleted = false;
         return [&t] { return !t.ui.completedNote.empty(); };
     }},
};

void PrintTo(const CancelPhase& p, std::ostream* os) { *os << p.name; }

TEST_P(CancelTest, EndsThePhaseAndLeavesNothing) {
    const auto before = folderFiles(prog);
    const std::function<bool()> ready = GetParam().setUp(*this);
    up->BeginCheck();
    if (ready) {
        ASSERT_TRUE(loop.runUntil(ready, 10s));
        up->Cancel();
    }
    ASSERT_TRUE(loop.runUntil([&] { return ended; }, 5s));
    loop.processPending();
    EXPECT_EQ(end, TUpdateEnd::Aborted);
    EXPECT_EQ(endText, "Update aborted.");
    EXPECT_EQ(events, std::vector<std::string>{"aborted"});
    EXPECT_TRUE(ui.boxes.empty());  // no question
    EXPECT_EQ(folderFiles(prog), before);
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(closed);
    EXPECT_FALSE(ui.open);
    EXPECT_FALSE(up->Busy());
    up->Cancel();  // nothing is under way: nothing happens
    EXPECT_EQ(events.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Phases, CancelTest, ::testing::ValuesIn(kCancelPhases),
                         [](const ::testing::TestParamInfo<CancelPhase>& info) { return std::to_string(info.index); });

// ---- two instances ---------------------------------------------------------------------

// While one instance downloads, another one's start-up leaves its files alone
// and another one's update is refused; the first completes as if alone.
TEST_F(AutoUpgraderTest, AnotherInstanceLeavesARunningDownloadAlone) {
    server.put("vantor", "new program");
    const std::string slow(40, 'v');
    server.trickle("version.txt", slow, 50ms);
    publish(infoFile("1.4", {{server.url("/files/vantor"), "new program"}, {server.url("/files/version.txt"), slow}}));

    FakeUpgraderUi otherUi{loop};
    TAutoUpgrader other(loop, otherUi, key.pub);
    other.InfoFileURL = up->InfoFileURL;
    other.VersionNumber = "1.3";
    other.ProgramPath = prog + "vantor";
    other.TempFolder = dir / "tmp";
    other.http().Proxy.AccessType = TProxyAccessType::Direct;
    bool otherEnded = false;
    std::string otherText;
    other.OnFinished = [&](TUpdateEnd, const std::string& text) {
        otherText = text;
        otherEnded = true;
    };
    bool once = false;
    ui.onProgress = [&] {
        if (once || !std::count(ui.calls.begin(), ui.calls.end(), "Downloading 2 of 2")) return;
        once = true;
        UpgradeList::recover(prog);  // the other instance's start-up
        other.BeginCheck();          // and its update
    };
    check();
    EXPECT_TRUE(once);
    ASSERT_TRUE(otherEnded);
    EXPECT_EQ(otherText, "Another instance of the program is updating it. Please try again when it has finished.");
    EXPECT_EQ(end, TUpdateEnd::Restarting);
    EXPECT_EQ(readFile(prog + "vantor.uTMP"), "new program");
    EXPECT_EQ(readFile(prog + "version.txt.uTMP"), slow);
    const auto plan = UpgradeList::read(prog);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->steps.size(), 2u);
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
         t.server.put("vantor", kNew);
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew}, {t.server.url("/endless"), kNew}}));
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
         t.server.put("vantor", kNew);
         t.publish(infoFile("1.4", {{t.server.url("/files/vantor"), kNew},
                                    {t.server.url("/redirect?to=" + other->url("/files/vantor")), kNew}}));
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
