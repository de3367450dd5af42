// Start-up and shut-down of the main window's logic on temporary folders.
#include "app/MainController.h"
#include "core/ProgramVersion.h"
#include "platform/FileOps.h"
#include "platform/MemoryRegistry.h"
#include "platform/OsFamily.h"
#include "platform/PlainEventLoop.h"
#include "platform/UserDataFolder.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";
constexpr const char* kSteam = "\\Software\\Valve\\Steam";

// The game's file dialog (title|filter) names this system's game programs.
const std::string kFindGameDialog =
    kThisOs == OsFamily::Windows ? "Please find the hl2.exe!|Half-Life 2 executable (hl2.exe)|hl2.exe"
                                 : "Please find the hl2.exe, hl2.sh, hl2_linux or hl2_linux64!|Half-Life 2 executable "
                                   "(hl2.exe hl2.sh hl2_linux hl2_linux64)|hl2.exe;hl2.sh;hl2_linux;hl2_linux64";

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        bench = dir / "bench/";
        std::filesystem::create_directories(bench);
    }

    // A Steam folder with the game in the given accounts.
    void makeSteam(std::initializer_list<std::string> accounts) {
        writeFile(dir / "Steam/steam.exe", "client");
        for (const auto& acc : accounts) writeFile(dir / ("Steam/SteamApps/" + acc + "/half-life 2/hl2.exe"), "game");
        reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", dir / "Steam/steam.exe");
    }

    std::unique_ptr<MainController> start() {
        auto c = std::make_unique<MainController>(view, dialogs, loop, reg, processes);
        c->context().paths.BenchPath = bench;
        c->context().homeFolder = dir / "home/";
        c->context().timing = Timing::scaled(50);
        c->context().physicalMemory = [] { return 1024u * 1024u * 1024u; };
        c->context().shellOpen = [this](const std::string& t) { opened.push_back(t); };
        bool done = false;
        c->startUp([&] { done = true; });
        EXPECT_TRUE(loop.runUntil([&] { return done; }, 5s));
        return c;
    }

    std::string stored(const std::string& name) { return reg.query(RegRoot::LocalMachine, kKey, name).text; }
    bool storedExists(const std::string& name) {
        return reg.query(RegRoot::LocalMachine, kKey, name).kind != RegValueKind::Absent;
    }

    TempDir dir;
    std::string bench;
    MemoryRegistry reg;
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    FakeProcesses processes;
    std::vector<std::string> opened;
};

TEST_F(Startup, NoSteamKeySkipsDiscoveryWithoutDialog) {
    auto c = start();
    const auto& p = c->context().paths;
    EXPECT_EQ(p.BenchPath, bench);
    EXPECT_TRUE(p.SteamPath.empty());
    EXPECT_TRUE(p.HL2Path.empty());
    EXPECT_TRUE(p.CFGPath.empty());
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(exists(bench + "Benchmark"));
    EXPECT_EQ(view.page, -1);  // About view
    EXPECT_TRUE(c->log().lines().empty());
}

// A program folder no file can be created in (an installed copy; /proc is
// read-only even for root): the debug log of an earlier start is removed from
// the user's data folder, and the default results folder is made in the
// documents folder instead of beside the program.
TEST_F(Startup, AProgramFolderThatCannotBeWrittenUsesTheUsersFolders) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "/proc";
    struct Env {
        std::string name, old;
        bool had;
        Env(std::string n, const std::string& value) : name(std::move(n)) {
            const char* o = std::getenv(name.c_str());
            had = o != nullptr;
            old = o ? o : "";
            setEnv(name, value);
        }
        ~Env() { had ? setEnv(name, old) : unsetEnv(name); }
    } home("HOME", dir / "home"), config("XDG_CONFIG_HOME", dir / "config");
    writeFile(programDataFolder() + "debuginfo.txt", "old log");
    bench = "/proc/";
    auto c = start();
    const auto& p = c->context().paths;
    EXPECT_EQ(p.BenchPath, "/proc/");
    EXPECT_EQ(p.ownFiles(), programDataFolder());
    EXPECT_EQ(p.defaultReports(), dir / "home/Documents/Vantor/");
    EXPECT_TRUE(folderExists(dir / "home/Documents/Vantor"));
    EXPECT_FALSE(exists(programDataFolder() + "debuginfo.txt"));
}

TEST_F(Startup, FindsTheGameAndDerivesEveryPath) {
    makeSteam({"acc"});
    auto c = start();
    const auto& p = c->context().paths;
    EXPECT_EQ(p.SteamPath, dir / "Steam/");
    EXPECT_EQ(p.HL2Path, dir / "Steam/SteamApps/acc/");
    // Windows ignores case: there the game's folder has the program's own spelling.
    const std::string game = kThisOs == OsFamily::Windows ? "Half-Life 2" : "half-life 2";
    EXPECT_EQ(p.CFGPath, dir / ("Steam/SteamApps/acc/" + game + "/hl2/cfg/"));
    EXPECT_EQ(p.ResultsPath, dir / ("Steam/SteamApps/acc/" + game + "/hl2/"));
    EXPECT_EQ(view.text(Field::HL2Path), p.HL2Path);
    EXPECT_EQ(stored("Path"), p.HL2Path);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

TEST_F(Startup, LastMatchInSearchOrderWins) {
    makeSteam({"acc1", "acc2"});
    // A folder's files come before its subfolders, so this deeper match is last.
    writeFile(dir / "Steam/SteamApps/acc1/half-life 2/bin/x/hl2.exe", "another");
    auto c = start();
    const auto hl2 = c->context().paths.HL2Path;
    // Either account may be listed first; the deeper match decides within acc1.
    EXPECT_TRUE(hl2 == dir / "Steam/SteamApps/acc2/" || hl2 == dir / "Steam/SteamApps/acc1/half-life 2/bin/") << hl2;
}

TEST_F(Startup, SteamExeIsCutByNineCharactersWithBackslashesTurned) {
    writeFile(dir / "Steam/SteamApps/a/half-life 2/hl2.exe", "game");
    std::string exe = dir / "Steam/STEAM.EXE";
    reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", exe);
    auto c = start();
    EXPECT_EQ(c->context().paths.SteamPath, dir / "Steam/");
}

TEST_F(Startup, CancelledDialogDisablesTheRunButton) {
    writeFile(dir / "Steam/steam.exe", "client");
    reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", dir / "Steam/steam.exe");
    auto c = start();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0], kFindGameDialog);
    EXPECT_EQ(
        dialogs.messages,
        std::vector<std::string>{"You can't benchmark without the HL2! Please install HL2 before you benchmarking."});
    EXPECT_FALSE(view.isEnabled(Control::BenchButton));
    EXPECT_FALSE(c->gameFound());
}

TEST_F(Startup, PickedFileGivesTheFolderAboveItsFolder) {
    writeFile(dir / "Steam/steam.exe", "client");
    reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", dir / "Steam/steam.exe");
    dialogs.nextFile = dir / "Games/half-life 2/hl2.exe";
    writeFile(*dialogs.nextFile, "game");
    auto c = start();
    EXPECT_EQ(c->context().paths.HL2Path, dir / "Games/");
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
}

// A picked file that is not the game's program is refused with the reason.
TEST_F(Startup, APickedFileThatIsNotTheGameIsRefused) {
    writeFile(dir / "Steam/steam.exe", "client");
    reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", dir / "Steam/steam.exe");
    const std::string picked = dir / "Games/half-life 2/readme.txt";
    writeFile(picked, "text");
    dialogs.nextFile = picked;
    auto c = start();
    EXPECT_FALSE(c->gameFound());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].rfind(picked + " is not the game's program (hl2.exe", 0), 0u) << dialogs.messages[0];
    EXPECT_FALSE(view.isEnabled(Control::BenchButton));
    EXPECT_EQ(stored("HL2Exe"), "");
}

TEST_F(Startup, ThePickedFileIsStoredAndUsedWhenDiscoveryFindsNothingLater) {
    writeFile(dir / "Games/half-life 2/hl2.exe", "game");
    writeFile(dir / "Steam/steam.exe", "client");
    reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", dir / "Steam/steam.exe");
    dialogs.nextFile = dir / "Games/half-life 2/hl2.exe";
    start();
    EXPECT_EQ(stored("HL2Exe"), dir / "Games/half-life 2/hl2.exe");

    // The next start asks no more, with Steam's value or without it.
    for (bool steamValue : {true, false}) {
        SCOPED_TRACE(steamValue);
        if (!steamValue) reg.remove(RegRoot::CurrentUser, kSteam, "SteamExe");
        dialogs.fileDialogs.clear();
        auto c = start();
        EXPECT_TRUE(dialogs.fileDialogs.empty());
        EXPECT_EQ(c->context().paths.HL2Path, dir / "Games/");
        EXPECT_EQ(c->context().paths.CFGPath, dir / "Games/half-life 2/hl2/cfg/");
        EXPECT_EQ(view.text(Field::HL2Path), dir / "Games/");
        EXPECT_TRUE(c->gameFound());
    }
}

TEST_F(Startup, SteamsOwnGameComesBeforeTheChosenOne) {
    makeSteam({"acc"});
    writeFile(dir / "Games/half-life 2/hl2.exe", "game");
    reg.put(RegRoot::LocalMachine, kKey, "HL2Exe", dir / "Games/half-life 2/hl2.exe");
    auto c = start();
    EXPECT_EQ(c->context().paths.HL2Path, dir / "Steam/SteamApps/acc/");
}

TEST_F(Startup, EmptyOrBareSteamExeOrAChosenFileThatIsGoneAsksForTheGame) {
    writeFile(dir / "Games/half-life 2/hl2.exe", "game");
    const struct {
        const char* name;
        std::string steamExe;
        std::string hl2Exe;
        std::string steamPath;
    } cases[] = {
        {"empty SteamExe", "", "", ""},
        {"SteamExe without a folder", "steam.exe", "", ""},
        {"chosen file gone", dir / "Steam/steam.exe", dir / "Gone/half-life 2/hl2.exe", dir / "Steam/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reg.put(RegRoot::CurrentUser, kSteam, "SteamExe", c.steamExe);
        reg.put(RegRoot::LocalMachine, kKey, "HL2Exe", c.hl2Exe);
        dialogs.fileDialogs.clear();
        dialogs.nextFile = dir / "Games/half-life 2/hl2.exe";
        auto controller = start();
        EXPECT_EQ(dialogs.fileDialogs.size(), 1u);
        EXPECT_EQ(controller->context().paths.HL2Path, dir / "Games/");
        EXPECT_EQ(controller->context().paths.SteamPath, c.steamPath);
        EXPECT_EQ(stored("HL2Exe"), dir / "Games/half-life 2/hl2.exe");
    }
}

TEST_F(Startup, BrowseTakesTheGameAtOnceAndForLaterStarts) {
    auto c = start();  // no Steam: nothing found, nothing asked
    ASSERT_FALSE(c->gameFound());
    // A run now points to the way forward instead of a restart.
    processes.names = {"steam.exe"};
    c->runButtonClicked();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("\"Browse...\""), std::string::npos) << dialogs.messages[0];

    // A file that is not there changes nothing.
    dialogs.nextFile = dir / "Nothing/half-life 2/hl2.exe";
    c->chooseGame();
    EXPECT_FALSE(c->gameFound());
    EXPECT_EQ(dialogs.messages.back(), "There is no file " + (dir / "Nothing/half-life 2/hl2.exe") + ".");

    writeFile(dir / "Games/half-life 2/hl2/cfg/valve.rc", "user rc");
    dialogs.nextFile = dir / "Games/half-life 2/hl2.exe";
    writeFile(*dialogs.nextFile, "game");
    c->chooseGame();
    EXPECT_EQ(dialogs.fileDialogs.back(), kFindGameDialog);
    const auto& p = c->context().paths;
    EXPECT_EQ(p.HL2Path, dir / "Games/");
    EXPECT_EQ(p.CFGPath, dir / "Games/half-life 2/hl2/cfg/");
    EXPECT_EQ(p.ResultsPath, dir / "Games/half-life 2/hl2/");
    EXPECT_EQ(view.text(Field::HL2Path), p.HL2Path);
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_EQ(stored("HL2Exe"), dir / "Games/half-life 2/hl2.exe");
    EXPECT_EQ(stored("Path"), p.HL2Path);
    EXPECT_EQ(readFile(p.CFGPath + "valve.rc"), "user rc");
}

TEST_F(Startup, WithoutSteamExeTheGameInAUsualSteamFolderIsFound) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "the usual Steam folders of Linux: POSIX only";
    // A native Linux Steam: no registry value, the game's Linux binary.
    const std::string steam = dir / "home/.local/share/Steam/";
    writeFile(steam + "steam.sh", "#!/bin/sh\n");
    writeFile(steam + "steamapps/common/Half-Life 2/hl2_linux", "game");
    std::filesystem::create_directories(steam + "steamapps/common/Half-Life 2/hl2/cfg");
    auto c = start();
    const auto& p = c->context().paths;
    EXPECT_EQ(p.SteamPath, steam);
    EXPECT_EQ(p.HL2Path, steam + "steamapps/common/");
    EXPECT_EQ(p.CFGPath, steam + "steamapps/common/Half-Life 2/hl2/cfg/");
    EXPECT_EQ(p.ResultsPath, steam + "steamapps/common/Half-Life 2/hl2/");
    EXPECT_EQ(stored("Path"), p.HL2Path);
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(view.isEnabled(Control::BenchButton));
    EXPECT_TRUE(c->log().lines().empty());
}

TEST_F(Startup, AUsualSteamFolderWithoutTheGameAsksForIt) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "the usual Steam folders of Linux: POSIX only";
    std::filesystem::create_directories(dir / "home/.steam/debian-installation/steamapps");
    auto c = start();
    EXPECT_EQ(c->context().paths.SteamPath, dir / "home/.steam/debian-installation/");
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_FALSE(c->gameFound());
}

// The version is the program's own, whole, whatever a stored value or an
// update's version file says.
TEST_F(Startup, TheProgramsOwnVersionIsStoredAndShown) {
    const std::string version(programVersion());
    struct Case {
        std::optional<std::string> stored, versionFile;
    };
    for (const Case& k : std::vector<Case>{
             {std::nullopt, std::nullopt}, {"1.0", std::nullopt}, {"1.", "1.31 build 7\r\n"}, {version, "0.1"}}) {
        SCOPED_TRACE(k.stored.value_or("(none)") + " / " + k.versionFile.value_or("(no file)"));
        reg = MemoryRegistry{};
        view = FakeView{};
        if (k.stored) reg.put(RegRoot::LocalMachine, kKey, "Programversion", *k.stored);
        if (k.versionFile) writeFile(bench + "version.txt", *k.versionFile);
        auto c = start();
        EXPECT_EQ(stored("Programversion"), version);
        EXPECT_EQ(view.labels[Label::VerseLabel], "v" + version);
        EXPECT_EQ(view.labels[Label::ProgramVersion], version);
        EXPECT_FALSE(exists(bench + "version.txt"));
    }
}

TEST_F(Startup, TheDonationWindowShowsUntilClosed) {
    reg.put(RegRoot::LocalMachine, kKey, "Donate", "0");
    auto c = start();
    EXPECT_TRUE(c->windowShown());
    c->donationClosed();
    EXPECT_EQ(stored("Donate"), "1");
    EXPECT_FALSE(c->windowShown());
}

TEST_F(Startup, HeaderVersionIsStoredAndTheOldLogDeleted) {
    writeFile(bench + "version2.txt", "Header 5\nSecond\n");
    writeFile(bench + "debuginfo.txt", "old log");
    auto c = start();
    EXPECT_EQ(stored("HeaderVersion"), "Header 5\r\nSecond\r\n");
    EXPECT_FALSE(exists(bench + "version2.txt"));
    EXPECT_FALSE(exists(bench + "debuginfo.txt"));
}

TEST_F(Startup, ValueOfAnotherTypeShowsTheErrorAndStopsStartUp) {
    reg.putOther(RegRoot::LocalMachine, kKey, "Programversion");
    makeSteam({"acc"});
    auto c = start();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Invalid data type for 'Programversion'"});
    EXPECT_TRUE(c->context().paths.HL2Path.empty());  // later steps skipped
}

// A full disk or a read-only settings file: start-up still sets every path
// and decodes the settings; one message names the file and the reason.
TEST_F(Startup, ARefusedWriteLeavesStartUpWholeAndNamesTheCause) {
    makeSteam({"acc"});
    reg.put(RegRoot::LocalMachine, kKey, "Programversion", "1.0");  // seeding writes follow
    reg.put(RegRoot::LocalMachine, kKey, "800", "1");
    reg.put(RegRoot::LocalMachine, kKey, "1024", "1");
    reg.refuseWrite = true;
    reg.refusalText = "the settings file /cfg/registry.reg cannot be written (No space left on device)";
    auto c = start();
    const auto& paths = c->context().paths;
    EXPECT_FALSE(paths.HL2Path.empty());
    EXPECT_FALSE(paths.CFGPath.empty());
    EXPECT_FALSE(paths.ResultsPath.empty());
    EXPECT_TRUE(view.resolutionChecked(1));
    EXPECT_TRUE(view.resolutionChecked(2));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("/cfg/registry.reg cannot be written (No space left on device)"),
              std::string::npos)
        << dialogs.errors[0];
    // Later writes fail as before, with the store's own text.
    EXPECT_THROW(c->context().store.write(sv::Note, "x"), SettingsError);
}

TEST_F(Startup, UnopenableKeyLeavesTheControlsAsDefined) {
    reg.refuseOpen = true;
    auto c = start();
    EXPECT_FALSE(view.checked(Check::FastZ));
    EXPECT_EQ(view.choice(Choice::AF), -1);
    EXPECT_TRUE(dialogs.errors.empty());
}

const std::string kProgramRc = "// Pellmarr & Quorvane - rc details\r\n\r\nexec autoexec.cfg\r\n";
const std::string kProgramAutoexec = "// Pellmarr & Quorvane - Maximum details\r\n\r\nsv_cheats \"1\"\r\n";

class Recovery : public Startup {
protected:
    std::string cfg() { return dir / "Steam/SteamApps/acc/half-life 2/hl2/cfg/"; }
};

TEST_F(Recovery, LeftoverIsRestoredAndTheQuestionDeletesAutoexecOnYes) {
    makeSteam({"acc"});
    writeFile(cfg() + "valve.rc", kProgramRc);
    writeFile(cfg() + "valve_old.rc", "user's rc");
    writeFile(cfg() + "autoexec.cfg", "leftover autoexec");
    dialogs.answers = {true};
    auto c = start();
    EXPECT_EQ(readFile(cfg() + "valve.rc"), "user's rc");
    EXPECT_FALSE(exists(cfg() + "valve_old.rc"));
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_NE(dialogs.confirmations[0].find("Do you wish to delete the autoexec.cfg file?"), std::string::npos);
    EXPECT_FALSE(exists(cfg() + "autoexec.cfg"));
    EXPECT_EQ(stored("NoErrorWarning"), "0");
}

TEST_F(Recovery, AnsweringNoKeepsAutoexecAndAsksAgainNextTime) {
    makeSteam({"acc"});
    writeFile(cfg() + "valve_old.rc", "user's rc");
    writeFile(cfg() + "autoexec.cfg", "leftover autoexec");
    dialogs.answers = {false};
    start();
    EXPECT_EQ(readFile(cfg() + "valve.rc"), "user's rc");
    EXPECT_TRUE(exists(cfg() + "autoexec.cfg"));
    EXPECT_EQ(stored("NoErrorWarning"), "1");
    // The next start asks again, though nothing is left to recover.
    dialogs.answers = {false};
    start();
    EXPECT_EQ(dialogs.confirmations.size(), 2u);
    EXPECT_EQ(readFile(cfg() + "valve.rc"), "user's rc");
}

TEST_F(Recovery, AutoexecWithoutOldRcIsNoLeftover) {
    makeSteam({"acc"});
    writeFile(cfg() + "autoexec.cfg", "the user's own");
    start();
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_EQ(readFile(cfg() + "autoexec.cfg"), "the user's own");
}

// Recovery without a usable run journal (deleted, empty or damaged): every
// backup comes back where the file in its place is the program's; the question
// is asked only when the program cannot tell, and no answer loses a user's file.
TEST_F(Recovery, WithoutAJournalTheBackupsReplaceTheProgramsFiles) {
    for (const char* journal : {"", "empty", "damaged"}) {
        SCOPED_TRACE(journal);
        makeSteam({"acc"});
        std::filesystem::remove_all(cfg());
        writeFile(cfg() + "valve.rc", kProgramRc);
        writeFile(cfg() + "valve_old.rc", "user's rc");
        writeFile(cfg() + "autoexec.cfg", kProgramAutoexec);
        writeFile(cfg() + "autoexec_old.cfg", "user's autoexec");
        if (std::string(journal) == "empty") writeFile(cfg() + "vantor_run.journal", "");
        if (std::string(journal) == "damaged") writeFile(cfg() + "vantor_run.journal", "Vantor run jou\xFF");
        dialogs.confirmations.clear();
        start();
        EXPECT_TRUE(dialogs.confirmations.empty());
        EXPECT_EQ(snapshot(cfg()),
                  (std::map<std::string, std::string>{{"autoexec.cfg", "user's autoexec"}, {"valve.rc", "user's rc"}}));
        EXPECT_NE(stored("NoErrorWarning"), "1");
    }
}

TEST_F(Recovery, WithoutAJournalTheProgramsAutoexecGoesWhenTheUserHadNone) {
    makeSteam({"acc"});
    writeFile(cfg() + "valve_old.rc", "user's rc");
    writeFile(cfg() + "autoexec.cfg", kProgramAutoexec);
    start();
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_EQ(snapshot(cfg()), (std::map<std::string, std::string>{{"valve.rc", "user's rc"}}));
}

TEST_F(Recovery, AFileTheProgramCannotTellIsKeptAndNoAnswerLosesTheUsersBackup) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        makeSteam({"acc"});
        std::filesystem::remove_all(cfg());
        writeFile(cfg() + "valve.rc", "user's newer rc");  // not the program's: both stay
        writeFile(cfg() + "valve_old.rc", "user's rc");
        writeFile(cfg() + "autoexec.cfg", "leftover autoexec");
        writeFile(cfg() + "autoexec_old.cfg", "user's autoexec");
        dialogs.answers = {yes};
        dialogs.confirmations.clear();
        start();
        EXPECT_EQ(dialogs.confirmations.size(), 1u);
        EXPECT_EQ(readFile(cfg() + "valve.rc"), "user's newer rc");
        EXPECT_EQ(readFile(cfg() + "valve_old.rc"), "user's rc");
        if (yes) {
            EXPECT_EQ(snapshot(cfg()), (std::map<std::string, std::string>{{"autoexec.cfg", "user's autoexec"},
                                                                           {"valve.rc", "user's newer rc"},
                                                                           {"valve_old.rc", "user's rc"}}));
        } else {
            EXPECT_EQ(readFile(cfg() + "autoexec.cfg"), "leftover autoexec");
            EXPECT_EQ(readFile(cfg() + "autoexec_old.cfg"), "user's autoexec");
        }
    }
}

class Shutdown : public Startup {};

TEST_F(Shutdown, CloseButtonSkipsTheNoteAndSavesTheLogOnlyInDebugMode) {
    makeSteam({"acc"});
    auto c = start();
    writeFile(dir / "Steam/vantor.bat", "x");
    writeFile(dir / "Steam/steam.bat", "y");
    view.setText(Field::NoteEdit, "typed, not stored");
    c->closeButtonClicked();
    EXPECT_FALSE(storedExists("Note"));
    EXPECT_FALSE(exists(dir / "Steam/vantor.bat"));
    EXPECT_FALSE(exists(dir / "Steam/steam.bat"));
    EXPECT_FALSE(exists(bench + "debuginfo.txt"));
    ASSERT_GE(c->log().lines().size(), 2u);
    EXPECT_EQ(c->log().lines().back(), "Application terminated.");

    c->context().run.DebugMode = true;
    c->context().run.HDDMinimize = true;  // the close button saves whatever HDDMinimize holds
    c->closeButtonClicked();
    EXPECT_EQ(readFile(bench + "debuginfo.txt"), "\r\nApplication terminated.\r\n\r\nApplication terminated.\r\n");
}

TEST_F(Shutdown, SystemCloseWritesTheNoteEvenWhenEmptyAndLeavesGameFilesAlone) {
    makeSteam({"acc"});
    const std::string cfgDir = dir / "Steam/SteamApps/acc/half-life 2/hl2/cfg/";
    writeFile(cfgDir + "autoexec.cfg", "mine");
    writeFile(cfgDir + "valve.rc", "my rc");
    auto c = start();
    reg.put(RegRoot::LocalMachine, kKey, "Note", "older note");
    view.setText(Field::NoteEdit, "");
    writeFile(dir / "Steam/vantor.bat", "x");
    bool closed = false;
    c->closeBySystem([&] { closed = true; });
    loop.runUntil([&] { return closed; }, 5s);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(storedExists("Note"));
    EXPECT_EQ(stored("Note"), "");
    EXPECT_FALSE(exists(dir / "Steam/vantor.bat"));
    EXPECT_EQ(readFile(cfgDir + "autoexec.cfg"), "mine");
    EXPECT_EQ(readFile(cfgDir + "valve.rc"), "my rc");
    EXPECT_FALSE(exists(bench + "debuginfo.txt"));
}

}  // namespace
