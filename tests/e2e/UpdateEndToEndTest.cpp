// vantor-cli updates itself: a loopback server offers a newer version (the
// same build compiled as the next version, signed with the test key the test
// copies of the program trust); "vantor-cli update" checks, asks, downloads, hands over to
// the replacement program, which puts the files in place and starts
// "vantor-cli /afterupgrade0", which shows the new version. Killing the
// replacement program at several points leaves a program that starts.

#include "core/ProgramVersion.h"
#include "platform/RegistryHive.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateSigning.h"
#include "update/UpgradeList.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";
constexpr std::time_t kReleaseTime = 1121817600;  // 2005-07-20, the served files' Last-Modified

// The processes whose program file is path (also once it was deleted).
std::vector<pid_t> processesOf(const std::string& path) {
    std::vector<pid_t> out;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ec;
        const std::string exe = fs::read_symlink(e.path() / "exe", ec).string();
        if (!ec && exe.rfind(path, 0) == 0) out.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return out;
}

// How often text occurs in all.
int occurrences(const std::string& all, const std::string& text) {
    int n = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++n;
    return n;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class UpdateEndToEnd : public ::testing::Test {
public:
    TempDir dir;
    HttpTestServer server;
    TestKey key = TestKey::fromFile(std::string(VANTOR_TEST_KEY_DIR) + "/update.key");
    std::string prog, hive, program, original, newer;
    const std::string current{programVersion()};
    const std::string next = VANTOR_TEST_NEWER_VERSION;
    std::string infoURL;  // where vantor-cli looks for the update information
    std::string timeScale = "20";

    void SetUp() override {
        ASSERT_TRUE(server.running());
        infoURL = server.url("/files/qvn_vantor.inf");
        prog = dir / "prog/";
        hive = dir / "registry.reg";
        program = prog + "vantor-cli";
        fs::create_directories(prog);
        fs::create_directories(dir / "tmp");
        original = readFile(std::string(VANTOR_TESTKEY_BIN_DIR) + "/vantor-cli");
        newer = readFile(std::string(VANTOR_TESTKEY_NEWER_DIR) + "/vantor-cli");
        ASSERT_FALSE(original.empty());
        ASSERT_FALSE(newer.empty());
        freshProgramFolder();
        offer(next);
    }

    void freshProgramFolder() {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(prog)) fs::remove_all(e.path(), ec);
        writeFile(program, original);
        ::chmod(program.c_str(), 0755);
        fs::remove(hive, ec);
        RegistryHive h(hive);
        for (auto [name, value] : std::map<std::string, std::string>{
                 {"Programversion", current}, {"Addinfo", "0"}, {"Donate", "1"}, {"NoErrorWarning", "0"}})
            ASSERT_TRUE(h.setString(RegRoot::LocalMachine, kKey, name, value));
    }

    // The program of the next version and its version file, signed.
    void offer(const std::string& version, const TestKey* signer = nullptr) {
        server.put("vantor-cli", newer, kReleaseTime);
        server.put("version.txt", version, kReleaseTime);
        const std::string info =
            infoFile(version, {{server.url("/files/vantor-cli"), newer}, {server.url("/files/version.txt"), version}});
        publish(info, signer);
    }

    // The information file, signed with the test key (or signer).
    void publish(const std::string& info, const TestKey* signer = nullptr) {
        server.put("qvn_vantor.inf", info);
        server.put("qvn_vantor.inf.sig", (signer ? *signer : key).sign(info));
    }

    // Settings as a first start finds them: no Programversion stored.
    void forgetStoredVersion() {
        std::error_code ec;
        fs::remove(hive, ec);
        RegistryHive h(hive);
        ASSERT_TRUE(h.setString(RegRoot::LocalMachine, kKey, "Addinfo", "0"));
    }

    Cli cli(std::vector<std::string> args, const std::string& name = "cli") {
        return Cli(dir.path(), hive, std::move(args),
                   {"VANTOR_UPDATE_URL=" + infoURL, "TMPDIR=" + dir / "tmp", "VANTOR_TIME_SCALE=" + timeScale}, name,
                   program);
    }

    std::string storedVersion() {
        RegistryHive h(hive);
        const RegValue v = h.query(RegRoot::LocalMachine, kKey, "Programversion");
        return v.kind == RegValueKind::String ? v.text : "(none)";
    }

    std::vector<std::string> leftovers() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(prog)) {
            const std::string n = e.path().filename().string();
            if (n.ends_with(".uTMP") || n == kUpgradeListName || n == kUpdateLockName) out.push_back(n);
        }
        return out;
    }

    // Waits until no replacement program and no restarted program runs.
    void waitForQuiet() {
        EXPECT_TRUE(waitUntil([&] { return processesOf(dir / "tmp/Upgrader3.exe").empty(); }, 30s));
        EXPECT_TRUE(waitUntil([&] { return processesOf(program).empty(); }, 30s));
    }
};

TEST_F(UpdateEndToEnd, UpdatesItselfAndStartsAgainWithTheNewVersion) {
    auto c = cli({"update", "--yes"});
    ASSERT_EQ(c.wait(60s), 0) << c.out() << c.err();
    // The restarted program writes to the same output.
    EXPECT_TRUE(waitUntil([&] { return c.out().find("Benchmark version: " + next) != std::string::npos; }, 30s))
        << c.out() << c.err();
    waitForQuiet();
    const std::string out = c.out();
    EXPECT_NE(out.find("Downloading 1 of 2"), std::string::npos) << out;
    EXPECT_NE(out.find("Downloading 2 of 2"), std::string::npos) << out;
    EXPECT_NE(out.find("The update of Quorvane Half-Life 2 benchmark has been successfully completed."),
              std::string::npos);
    EXPECT_EQ(storedVersion(), next);
    EXPECT_FALSE(exists(prog + "version.txt"));  // taken by the start-up
    EXPECT_TRUE(leftovers().empty());
    // The program's file is the downloaded one: its bytes, its time, still executable.
    EXPECT_TRUE(readFile(program) == newer);
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kReleaseTime);
    EXPECT_EQ(::access(program.c_str(), X_OK), 0);
    // The restarted program removed the replacement program.
    EXPECT_FALSE(exists(dir / "tmp/Upgrader3.exe"));
}

// An installed copy in a folder the user cannot write is not updated in place:
// the offer is refused before anything is downloaded, and the user learns how
// to update it. As root, where permission bits do not bind, vantor-cli runs
// through setpriv without the capability to override them.
TEST_F(UpdateEndToEnd, AProgramFolderThatCannotBeWrittenIsRefusedWithTheWayToUpdate) {
    std::vector<std::string> args = {"update", "--yes"};
    std::string runner = program;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "root, and no setpriv";
        args.insert(args.begin(), {"--bounding-set=-dac_override,-dac_read_search", "--", program});
        runner = "/usr/bin/setpriv";
    }
    ASSERT_EQ(::chmod(prog.c_str(), 0555), 0);
    struct Restore {
        std::string folder;
        ~Restore() { ::chmod(folder.c_str(), 0755); }
    } restore{prog};
    if (::geteuid() != 0 && std::ofstream(prog + "probe")) GTEST_SKIP() << "the permissions do not bind here";
    const auto before = snapshot(prog);
    Cli c(dir.path(), hive, args, {"VANTOR_UPDATE_URL=" + infoURL, "TMPDIR=" + dir / "tmp", "VANTOR_TIME_SCALE=20"},
          "cli", runner);
    EXPECT_EQ(c.wait(60s), 1) << c.out() << c.err();
    EXPECT_NE(c.err().find("vantor-cli: Version " + next + " is available, but the program's folder " + prog +
                           " cannot be written ("),
              std::string::npos)
        << c.err();
    EXPECT_NE(c.err().find("with the system's package manager or the new installer."), std::string::npos) << c.err();
    EXPECT_EQ(snapshot(prog), before);
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

TEST_F(UpdateEndToEnd, TheAnswerAndTheOutcomeGiveTheExitCode) {
    {
        auto c = cli({"update"});  // the question is answered Later
        EXPECT_EQ(c.wait(60s), 1);
        EXPECT_NE(c.err().find("Do you want to update your version with the latest one? [Later]"), std::string::npos)
            << c.err();
        EXPECT_NE(c.err().find("vantor-cli: Update aborted."), std::string::npos) << c.err();
        EXPECT_NE(c.out().find("Update aborted."), std::string::npos);
        // Once: the status line on stdout, the end on stderr.
        EXPECT_EQ(occurrences(c.out(), "Update aborted."), 1) << c.out();
        EXPECT_EQ(occurrences(c.err(), "Update aborted."), 1) << c.err();
    }
    {
        const TestKey stranger;
        offer(next, &stranger);
        auto c = cli({"update", "--yes"});
        EXPECT_EQ(c.wait(60s), 1);
        EXPECT_NE(c.err().find("vantor-cli: The update information could not be verified."), std::string::npos)
            << c.err();
    }
    {
        offer(current);
        auto c = cli({"update", "--yes"});
        EXPECT_EQ(c.wait(60s), 0);
        EXPECT_NE(c.out().find("No update available."), std::string::npos) << c.out();
        EXPECT_EQ(occurrences(c.out() + c.err(), "No update available."), 1) << c.out() << c.err();
    }
    {
        auto c = cli({"update", "--now"});
        EXPECT_EQ(c.wait(60s), 2);
    }
    EXPECT_TRUE(readFile(program) == original);
    EXPECT_EQ(storedVersion(), current);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(server.hits("/files/vantor-cli"), 0);
}

// The replacement program killed while it waits for the program, and at
// several moments after the program has ended: the program starts every time,
// and the start that follows leaves the new version whole.
TEST_F(UpdateEndToEnd, KillingTheReplacementProgramLeavesAProgramThatStarts) {
    const std::vector<int> delaysMs = {-1, 0, 1, 3, 10, 30};  // -1: while the program still runs
    for (const int delay : delaysMs) {
        SCOPED_TRACE("kill after " + std::to_string(delay) + " ms");
        freshProgramFolder();
        pid_t holder = 0;
        if (delay < 0) {
            // Another instance of the program holds its file: the replacement waits.
            std::vector<std::string> args = {"/usr/bin/flock", "-s", program, "sleep", "20"};
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ASSERT_EQ(posix_spawn(&holder, argv[0], nullptr, nullptr, argv.data(), environ), 0);
            std::this_thread::sleep_for(100ms);
        }
        auto c = cli({"update", "--yes"}, "update" + std::to_string(delay + 1));
        ASSERT_EQ(c.wait(60s), 0) << c.err();
        if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        if (delay < 0) std::this_thread::sleep_for(200ms);
        for (pid_t pid : processesOf(dir / "tmp/Upgrader3.exe")) ::kill(pid, SIGKILL);
        if (holder) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
        waitForQuiet();
        if (delay < 0) {
            EXPECT_EQ(readFile(prog + "version.txt"), "");  // nothing was replaced yet
            EXPECT_FALSE(leftovers().empty());
        }
        // The program starts, whatever the moment was, and that start leaves the
        // new version in place, which the next start runs.
        const std::string before = readFile(program);
        EXPECT_TRUE(before == original || before == newer);
        auto start = cli({"start"}, "start" + std::to_string(delay + 1));
        EXPECT_EQ(start.wait(60s), 0) << start.err();
        waitForQuiet();
        EXPECT_TRUE(readFile(program) == newer);
        EXPECT_TRUE(leftovers().empty());
        EXPECT_EQ(::access(program.c_str(), X_OK), 0);
        auto again = cli({"start"}, "again" + std::to_string(delay + 1));
        EXPECT_EQ(again.wait(60s), 0) << again.err();
        EXPECT_EQ(storedVersion(), next);
    }
}

// ---- hostile updates -------------------------------------------------------------------

// One hostile case: what the server offers (and what the settings hold), what
// the test does while "vantor-cli update --yes" runs, and a text the refusal
// shows on stderr. Every case ends with exit 1, the program's folder byte for
// byte as before and nothing left in the temporary folder.
struct Hostile {
    const char* name;
    std::function<void(UpdateEndToEnd&)> setUp;
    std::function<void(UpdateEndToEnd&, Cli&)> during;  // e.g. Ctrl+C in a phase
    const char* says;
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

// Each file's SHA-256 by name: a difference shows as digests, not as megabytes.
std::map<std::string, std::string> digests(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& [name, bytes] : folderFiles(folder)) out[name] = sha256Hex(bytes);
    return out;
}

class HostileUpdate : public UpdateEndToEnd, public ::testing::WithParamInterface<Hostile> {};

// A byte every 100 ms: never a stall, but no end for 100 s.
constexpr const char* kTrickle = "/trickle/vantor-cli?size=1000&every=100";
const std::string kTrickled(1000, 't');

// Waits until the server has been asked for path (and out shows text), then Ctrl+C.
std::function<void(UpdateEndToEnd&, Cli&)> interruptAt(std::string path, std::string text = "") {
    return [path, text](UpdateEndToEnd& t, Cli& c) {
        EXPECT_TRUE(waitUntil([&] { return t.server.hits(path) > 0 && c.out().find(text) != std::string::npos; }, 20s))
            << c.out() << c.err();
        std::this_thread::sleep_for(100ms);  // well inside the transfer
        c.interrupt();
    };
}

// The next version listing only the given files (name and bytes, served at /files/NAME).
void offerFiles(UpdateEndToEnd& t, const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<Listed> listed;
    for (const auto& [name, bytes] : files) {
        t.server.put(name, bytes);
        listed.push_back({t.server.url("/files/" + name), bytes});
    }
    t.publish(infoFile(t.next, listed));
}

const Hostile kHostile[] = {
    {"no signature", [](UpdateEndToEnd& t) { t.server.remove("qvn_vantor.inf.sig"); }, nullptr,
     "The update information could not be verified."},
    {"signed with another key",
     [](UpdateEndToEnd& t) {
         const TestKey stranger;
         t.offer(t.next, &stranger);
     },
     nullptr, "The update information could not be verified."},
    {"the signature of another file",
     [](UpdateEndToEnd& t) {
         t.server.put("qvn_vantor.inf.sig", t.key.sign(infoFile(t.next, {{t.server.url("/files/version.txt"), ""}})));
     },
     nullptr, "The update information could not be verified."},
    {"an older version", [](UpdateEndToEnd& t) { t.offer("0.1"); }, nullptr, "is older than"},
    {"an older version, no version stored",
     [](UpdateEndToEnd& t) {
         t.forgetStoredVersion();
         t.offer("0.1");
     },
     nullptr, "is older than"},
    {"only dxdiag.exe",
     [](UpdateEndToEnd& t) {
         offerFiles(t, {{"dxdiag.exe", t.newer}});
     },
     nullptr, "does not contain the program file vantor-cli"},
    {"only Upgrader3.exe",
     [](UpdateEndToEnd& t) {
         offerFiles(t, {{"Upgrader3.exe", t.newer}});
     },
     nullptr, "not allowed: Upgrader3.exe"},
    {"the program and Upgrader3.exe",
     [](UpdateEndToEnd& t) {
         offerFiles(t, {{"vantor-cli", t.newer}, {"Upgrader3.exe", t.newer}});
     },
     nullptr, "not allowed: Upgrader3.exe"},
    {"a file missing on the server (404)",
     [](UpdateEndToEnd& t) {
         t.server.put("vantor-cli", t.newer);
         t.server.put("version.txt", t.next);
         t.publish(infoFile(t.next, {{t.server.url("/files/vantor-cli"), t.newer},
                                     {t.server.url("/files/gone.dat"), "gone"},
                                     {t.server.url("/files/version.txt"), t.next}}));
     },
     nullptr, "File gone.dat not found or inaccessible."},
    {"a trickling information file",
     [](UpdateEndToEnd& t) {
         t.timeScale = "60";  // the information file's bound: 1 s
         t.infoURL = t.server.url("/trickle/qvn_vantor.inf?size=1000&every=100");
     },
     nullptr, "Connection with remote server lost."},
    {"a trickling program file",
     [](UpdateEndToEnd& t) {
         t.timeScale = "60";  // a small file's bound: 2 s
         t.publish(infoFile(t.next, {{t.server.url(kTrickle), kTrickled}}));
     },
     nullptr, "Connection with remote server lost."},
    {"Ctrl+C while the information is fetched",
     [](UpdateEndToEnd& t) {
         t.timeScale = "1";  // no bound ends it first
         t.infoURL = t.server.url("/trickle/qvn_vantor.inf?size=1000&every=100");
     },
     interruptAt("/trickle/qvn_vantor.inf"), "Update aborted."},
    {"Ctrl+C while the signature is fetched",
     [](UpdateEndToEnd& t) {
         t.timeScale = "1";
         const std::string info = infoFile(t.next, {{t.server.url("/files/vantor-cli"), t.newer}});
         t.server.put("qvn_vantor.inf", info);
         t.server.trickle("qvn_vantor.inf.sig", t.key.sign(info), 100ms);
     },
     interruptAt("/files/qvn_vantor.inf.sig"), "Update aborted."},
    {"Ctrl+C while the program downloads",
     [](UpdateEndToEnd& t) {
         t.timeScale = "1";
         t.publish(infoFile(t.next, {{t.server.url(kTrickle), kTrickled}}));
     },
     interruptAt("/trickle/vantor-cli", "Downloading 1 of 1"), "Update aborted."},
    {"Ctrl+C while the second file downloads",
     [](UpdateEndToEnd& t) {
         t.timeScale = "1";
         t.server.put("version.txt", t.next);
         t.publish(
             infoFile(t.next, {{t.server.url("/files/version.txt"), t.next}, {t.server.url(kTrickle), kTrickled}}));
     },
     interruptAt("/trickle/vantor-cli", "Downloading 2 of 2"), "Update aborted."},
};

TEST_P(HostileUpdate, EndsWithExit1AndLeavesTheProgramAsItWas) {
    const Hostile& row = GetParam();
    writeFile(prog + "dxdiag.exe", "the real dxdiag.exe");
    row.setUp(*this);
    const auto before = digests(prog);
    const auto started = std::chrono::steady_clock::now();
    auto c = cli({"update", "--yes"});
    if (row.during) row.during(*this, c);
    EXPECT_EQ(c.wait(30s), 1) << c.out() << c.err();
    const auto took = std::chrono::steady_clock::now() - started;
    waitForQuiet();
    if (row.says) {
        EXPECT_NE(c.err().find(row.says), std::string::npos) << c.err();
    }
    EXPECT_EQ(digests(prog), before);
    EXPECT_TRUE(readFile(program) == original) << "the program was replaced";
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    // The information file, its signature and each listed file once at most.
    EXPECT_LE(server.totalHits(), 5);
    EXPECT_LT(took, 15s);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileUpdate, ::testing::ValuesIn(kHostile),
                         [](const ::testing::TestParamInfo<Hostile>& info) { return std::to_string(info.index); });

}  // namespace
