// Finding Steam and the game in today's layouts: library lists, the usual
// Linux Steam folders, names in any case.
#include "app/Discovery.h"

#include "app/SteamLayout.h"
#include "core/KeyValues.h"
#include "core/SettingsStore.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace vantor;
using namespace vantor::test;

namespace {

constexpr const char* kSteamKey = "\\Software\\Valve\\Steam";

// A path as a library list writes it: '\\' doubled.
std::string vdfText(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// An absolute path of a test case, written POSIX-style, in the list's spelling.
std::string vdfPath(const std::string& posixPath) { return vdfText(nativePath(posixPath)); }

// libraryfolders.vdf of today's client for the given libraries.
std::string libraryList(const std::vector<std::string>& libraries) {
    std::string text = "\"libraryfolders\"\n{\n";
    for (std::size_t i = 0; i < libraries.size(); ++i) {
        text += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + vdfText(libraries[i]) + "\"\n";
        text += "\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n";
    }
    return text + "}\n";
}

// ---- the library list -------------------------------------------------------

TEST(LibraryList, TodaysAndOlderListsNameTheirLibrariesInFileOrder) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> libraries;
        std::string error;
    } cases[] = {
        {"today's client",
         libraryList({nativePath("/home/u/.local/share/Steam"), nativePath("/mnt/games/SteamLibrary/")}),
         {nativePath("/home/u/.local/share/Steam/"), nativePath("/mnt/games/SteamLibrary/")},
         ""},
        {"older client",
         "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1581256740\"\n\t\"ContentStatsID\"\t\t\"-51293\"\n"
         "\t\"1\"\t\t\"" +
             vdfPath("/mnt/a") + "\"\n\t\"2\"\t\t\"" + vdfPath("/mnt/b") + "\"\n}\n",
         {nativePath("/mnt/a/"), nativePath("/mnt/b/")},
         ""},
        {"entries without a usable path are left out",
         "\"libraryfolders\" { \"0\" { \"label\" \"x\" } \"1\" { \"path\" { } } \"2\" \"relative/lib\" "
         "\"3\" \"\" \"x\" \"" +
             vdfPath("/not/numbered") + "\" \"4\" \"" + vdfPath("/ok") + "\" }",
         {nativePath("/ok/")},
         ""},
        {"empty file", "", {}, "no \"libraryfolders\" section"},
        {"another file", "\"AppState\" { \"appid\" \"220\" }", {}, "no \"libraryfolders\" section"},
        {"malformed",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\" \"/x",
         {},
         "line 5: a quoted text is not closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(libraryPathsOf(parseKeyValues(c.text), error), c.libraries);
        EXPECT_EQ(error, c.error);
    }
}

// ---- finding Steam and the game --------------------------------------------

class Discovery : public ::testing::Test {
protected:
    std::string home() const { return dir / "home/"; }

    void storeSteamExe(const std::string& steamFolder) {
        reg.put(RegRoot::CurrentUser, kSteamKey, "SteamExe", steamFolder + "steam.exe");
    }
    // base + rel, rel written with '/'.
    static std::string under(const std::string& base, const std::string& rel) { return base + nativePath(rel); }
    // A game program of this system other than hl2.exe where there is one
    // (hl2_linux64; Windows: hl2.exe).
    static std::string nativeGame() { return gameProgramsFor(kThisOs).back(); }
    static bool hasUsualFolders() { return !usualSteamFoldersFor(kThisOs).empty(); }
    // The Steam client's program of this system (steam.sh on POSIX, steam.exe on Windows).
    static std::string steamClient() { return kThisOs == OsFamily::Windows ? "steam.exe" : "steam.sh"; }
    static constexpr char kSep = kThisOs == OsFamily::Windows ? '\\' : '/';

    // Today's game in a library: steamapps/common/Half-Life 2/<program>.
    static void gameIn(const std::string& library, const std::string& program = nativeGame()) {
        writeFile(library + "steamapps/common/Half-Life 2/" + program, "game");
    }
    static void listIn(const std::string& steam, const std::string& text) {
        writeFile(steam + "steamapps/libraryfolders.vdf", text);
    }

    SteamAndGame find() { return findSteamAndGame(store, home()); }

    TempDir dir;
    MemoryRegistry reg;
    SettingsStore store{reg};
};

TEST_F(Discovery, TheStoredSteamFolderIsSearchedFirstAsBefore) {
    const std::string steam = dir / "Steam/";
    storeSteamExe(steam);
    writeFile(steam + "SteamApps/acc/half-life 2/hl2.exe", "game");
    // A usual folder with the game does not count while the stored one has it.
    gameIn(home() + ".local/share/Steam/");
    const auto f = find();
    EXPECT_EQ(f.steamPath, steam);
    EXPECT_EQ(f.steamFrom, PathSource::StoredValue);
    EXPECT_EQ(f.hl2Path, under(steam, "SteamApps/acc/"));
    EXPECT_EQ(f.hl2From, PathSource::StoredValue);
    EXPECT_TRUE(f.notes.empty());
}

TEST_F(Discovery, AGameInASecondLibraryIsFoundThroughTheList) {
    const std::string steam = dir / "Steam/";
    const std::string second = dir / "Library2/";
    storeSteamExe(steam);
    listIn(steam, libraryList({dir / "Steam", dir / "Library2"}));
    gameIn(second);
    const auto f = find();
    EXPECT_EQ(f.steamPath, steam);
    EXPECT_EQ(f.steamFrom, PathSource::StoredValue);
    EXPECT_EQ(f.hl2Path, under(second, "steamapps/common/"));
    EXPECT_EQ(f.hl2From, PathSource::LibraryList);
    // The game's folder as it is spelled on disk.
    EXPECT_EQ(pathKey(cfgPathOf(f.hl2Path)), pathKey(under(second, "steamapps/common/Half-Life 2/hl2/cfg/")));
    EXPECT_EQ(pathKey(resultsPathOf(f.hl2Path)), pathKey(under(second, "steamapps/common/Half-Life 2/hl2/")));
}

TEST_F(Discovery, TheStoredFoldersOwnLibraryHoldsANativeGame) {
    const std::string steam = dir / "Steam/";
    storeSteamExe(steam);
    gameIn(steam);  // on POSIX no hl2.exe for the search to find
    const auto f = find();
    EXPECT_EQ(f.hl2Path, under(steam, "steamapps/common/"));
    EXPECT_EQ(f.hl2From, PathSource::StoredValue);
}

TEST_F(Discovery, NamesAreMatchedWithoutRegardToCase) {
    const std::string steam = dir / "Steam/";
    storeSteamExe(steam);
    writeFile(steam + "SteamApps/LibraryFolders.VDF", libraryList({dir / "Lib"}));
    std::string upper = nativeGame();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    writeFile(dir / ("Lib/SteamApps/Common/HALF-LIFE 2/" + upper), "game");
    const auto f = find();
    EXPECT_EQ(pathKey(f.hl2Path), pathKey(dir / "Lib/SteamApps/Common/"));
    EXPECT_EQ(f.hl2From, PathSource::LibraryList);
    EXPECT_EQ(pathKey(cfgPathOf(f.hl2Path)), pathKey(dir / "Lib/SteamApps/Common/HALF-LIFE 2/hl2/cfg/"));
}

TEST_F(Discovery, AListThatCannotBeUsedIsNotedAndTheSearchGoesOn) {
    const std::string steam = dir / "Steam/";
    const std::string usual = home() + ".local/share/Steam/";
    gameIn(usual);
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string note;  // after the list's path
    } cases[] = {
        {"malformed", [&] { listIn(steam, "\"libraryfolders\" { \"0\" { \"path\" \"/x\" }"); },
         ": line 1: the section opened here is not closed; its libraries are left out."},
        {"empty", [&] { listIn(steam, ""); }, ": no \"libraryfolders\" section; its libraries are left out."},
        {"too large", [&] { listIn(steam, "\"libraryfolders\" {\n" + std::string(1024 * 1024, ' ') + "}"); },
         " is larger than 1024 KiB; its libraries are left out."},
        {"a folder in its place", [&] { std::filesystem::create_directories(steam + "steamapps/libraryfolders.vdf"); },
         " cannot be read; its libraries are left out."},
        {"libraries that do not exist",
         [&] {
             listIn(steam, libraryList({dir / "gone", "/no/such/lib"}));
         },
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(steam);
        storeSteamExe(steam);
        writeFile(steam + "steam.exe", "client");
        c.make();
        const auto f = find();
        if (hasUsualFolders()) {
            EXPECT_EQ(f.steamPath, usual);
            EXPECT_EQ(f.steamFrom, PathSource::UsualFolder);
            EXPECT_EQ(f.hl2Path, under(usual, "steamapps/common/"));
            EXPECT_EQ(f.hl2From, PathSource::UsualFolder);
        } else {  // nowhere else to look: the stored Steam stays, without the game
            EXPECT_EQ(f.steamPath, steam);
            EXPECT_EQ(f.steamFrom, PathSource::StoredValue);
            EXPECT_TRUE(f.hl2Path.empty());
        }
        if (c.note.empty())
            EXPECT_TRUE(f.notes.empty());
        else
            EXPECT_EQ(f.notes, std::vector<std::string>{under(steam, "steamapps/libraryfolders.vdf") + c.note});
    }
}

TEST_F(Discovery, WithoutSteamExeTheUsualFoldersAreTriedInOrder) {
    if (!hasUsualFolders()) GTEST_SKIP() << "Steam has no usual folders on Windows: SteamExe names its place";
    // ~/.steam/steam is the client's link to its folder: that folder is tried once.
    const std::string real = home() + ".local/share/Steam/";
    std::filesystem::create_directories(real);
    std::filesystem::create_directories(home() + ".steam");
    std::filesystem::create_directory_symlink(real, home() + ".steam/steam");
    gameIn(home() + ".steam/debian-installation/");
    EXPECT_EQ(usualSteamFolders(home()),
              (std::vector<std::string>{home() + ".steam/steam/", home() + ".steam/debian-installation/"}));
    const auto f = find();
    EXPECT_EQ(f.steamPath, home() + ".steam/debian-installation/");
    EXPECT_EQ(f.steamFrom, PathSource::UsualFolder);
    EXPECT_EQ(f.hl2From, PathSource::UsualFolder);
}

TEST_F(Discovery, TheFlatpaksListLeadsToItsLibraries) {
    if (!hasUsualFolders()) GTEST_SKIP() << "Steam has no usual folders on Windows: SteamExe names its place";
    const std::string flatpak = home() + ".var/app/com.valvesoftware.Steam/.local/share/Steam/";
    listIn(flatpak, libraryList({dir / "SD card"}));
    gameIn(dir / "SD card/", "hl2.exe");
    const auto f = find();
    EXPECT_EQ(f.steamPath, flatpak);
    EXPECT_EQ(f.steamFrom, PathSource::UsualFolder);
    EXPECT_EQ(f.hl2Path, dir / "SD card/steamapps/common/");
    EXPECT_EQ(f.hl2From, PathSource::LibraryList);
}

TEST_F(Discovery, SteamWithoutTheGameOrNoSteamAtAll) {
    auto f = find();
    EXPECT_TRUE(f.steamPath.empty());
    EXPECT_EQ(f.steamFrom, PathSource::None);
    EXPECT_TRUE(f.hl2Path.empty());

    // A usual Steam folder without the game: Steam is known, the game is not.
    if (hasUsualFolders()) {
        std::filesystem::create_directories(home() + ".local/share/Steam/steamapps/common/Portal");
        f = find();
        EXPECT_EQ(f.steamPath, home() + ".local/share/Steam/");
        EXPECT_EQ(f.steamFrom, PathSource::UsualFolder);
        EXPECT_TRUE(f.hl2Path.empty());
    }

    // A stored Steam folder without the game stays SteamPath.
    storeSteamExe(dir / "Steam/");
    std::filesystem::create_directories(dir / "Steam");
    f = find();
    EXPECT_EQ(f.steamPath, dir / "Steam/");
    EXPECT_EQ(f.steamFrom, PathSource::StoredValue);
    EXPECT_TRUE(f.hl2Path.empty());
}

TEST_F(Discovery, AGameFolderWithoutTheGamesProgramDoesNotCount) {
    const std::string usual = home() + ".local/share/Steam/";
    std::filesystem::create_directories(usual + "steamapps/common/Half-Life 2/hl2/cfg");
    writeFile(usual + "steamapps/common/Half-Life 2/hl2_linux.txt", "not the game");
    std::filesystem::create_directories(usual + "steamapps/common/Half-Life 2/hl2.exe");  // a folder
    EXPECT_EQ(gameInLibrary(usual), "");
    if (nativeGame() != "hl2.exe") {
        gameIn(usual);
        EXPECT_EQ(gameInLibrary(usual), under(usual, "steamapps/common/"));
    }
}

// ---- one game folder, however it is spelled ---------------------------------

// POSIX only: file systems that tell case apart can hold "Half-Life 2" and
// "half-life 2" side by side.
TEST_F(Discovery, OfTwoSpellingsOfTheGameFolderTheOneWithTheGameIsUsedThroughout) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "Windows file systems ignore case";
    const std::string steam = dir / "Steam/";
    struct Case {
        const char* name;
        std::string program;  // below the Steam folder
        std::string other;    // a second spelling without the game, with a config folder
        std::string hl2Path;
        std::string game;
    } cases[] = {
        {"today's layout, a leftover in lower case", "steamapps/common/Half-Life 2/" + nativeGame(),
         "steamapps/common/half-life 2/hl2/cfg/", "steamapps/common/", "steamapps/common/Half-Life 2/"},
        {"today's layout, the game in lower case", "steamapps/common/half-life 2/" + nativeGame(),
         "steamapps/common/Half-Life 2/hl2/cfg/", "steamapps/common/", "steamapps/common/half-life 2/"},
        {"the first layout, found by the search", "SteamApps/acc/Half-Life 2/hl2.exe",
         "SteamApps/acc/half-life 2/hl2/cfg/", "SteamApps/acc/", "SteamApps/acc/Half-Life 2/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(steam);
        storeSteamExe(steam);
        writeFile(steam + c.program, "game");
        std::filesystem::create_directories(steam + c.other);
        writeFile(steam + c.other + "autoexec.cfg", "not the game's");
        const auto f = find();
        EXPECT_EQ(f.hl2Path, steam + c.hl2Path);
        EXPECT_EQ(cfgPathOf(f.hl2Path), steam + c.game + "hl2/cfg/");
        EXPECT_EQ(resultsPathOf(f.hl2Path), steam + c.game + "hl2/");
    }
}

TEST_F(Discovery, EverySpellingOfAFolderIsTriedNotOnlyTheFirst) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "Windows file systems ignore case";
    const std::string steam = dir / "Steam/";
    const std::string lib = dir / "Lib/";
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string hl2Path;
        PathSource from;
    } cases[] = {
        {"the Steam folder's own library under SteamApps/ beside an empty steamapps/",
         [&] {
             std::filesystem::create_directories(steam + "steamapps");
             writeFile(steam + "SteamApps/common/Half-Life 2/" + nativeGame(), "game");
         },
         steam + "SteamApps/common/", PathSource::StoredValue},
        {"the library list under SteamApps/ beside an empty steamapps/",
         [&] {
             std::filesystem::create_directories(steam + "steamapps");
             writeFile(steam + "SteamApps/libraryfolders.vdf", libraryList({lib}));
             gameIn(lib);
         },
         lib + "steamapps/common/", PathSource::LibraryList},
        {"a listed library with an empty steamapps/common/ beside SteamApps/common/",
         [&] {
             listIn(steam, libraryList({lib}));
             std::filesystem::create_directories(lib + "steamapps/common/Portal");
             writeFile(lib + "SteamApps/common/Half-Life 2/" + nativeGame(), "game");
         },
         lib + "SteamApps/common/", PathSource::LibraryList},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(steam);
        std::filesystem::remove_all(lib);
        storeSteamExe(steam);
        c.make();
        const auto f = find();
        EXPECT_EQ(f.hl2Path, c.hl2Path);
        EXPECT_EQ(f.hl2From, c.from);
        EXPECT_EQ(cfgPathOf(f.hl2Path), c.hl2Path + "Half-Life 2/hl2/cfg/");
    }
}

// ---- a library list that repeats itself -------------------------------------

TEST_F(Discovery, EachLibraryIsLookedAtOnce) {
    const std::string steam = dir / "Steam/";
    const std::string lib = dir / "Lib";
    // One library in every spelling that names the same folder on this system.
    std::vector<std::string> spellings = {lib, lib + kSep, dir / "./Lib", dir / "././Lib/.", lib + kSep + kSep};
    if (kThisOs == OsFamily::Windows) spellings.push_back(dir / "LIB");
    // An older client's list: one line per library, 15,000 of them (inside the
    // bound with Windows' longer temporary folder too).
    std::string text = "\"LibraryFolders\"\n{\n";
    for (int i = 0; i < 15000; ++i)
        text += "\t\"" + std::to_string(i) + "\"\t\"" +
                vdfText(spellings[static_cast<std::size_t>(i) % spellings.size()]) + "\"\n";
    listIn(steam, text + "}\n");
    ASSERT_LT(std::filesystem::file_size(steam + "steamapps/libraryfolders.vdf"), kLibraryListBound);
    std::string note;
    EXPECT_EQ(readLibraryList(steam, note), std::vector<std::string>{lib + kSep});
    EXPECT_EQ(note, "");
    // On a system that tells case apart another case is another folder.
    if (kThisOs != OsFamily::Windows) {
        listIn(steam, libraryList({lib, dir / "LIB", lib}));
        EXPECT_EQ(readLibraryList(steam, note), (std::vector<std::string>{lib + kSep, dir / "LIB/"}));
    }
}

TEST_F(Discovery, OnlySoManyLibrariesAreLookedAtAndTheCutIsNoted) {
    const std::string steam = dir / "Steam/";
    storeSteamExe(steam);
    std::vector<std::string> libraries;
    for (std::size_t i = 0; i < kLibraryLookBound + 10; ++i) libraries.push_back(dir / ("Lib" + std::to_string(i)));
    listIn(steam, libraryList(libraries));
    std::string note;
    const auto looked = readLibraryList(steam, note);
    ASSERT_EQ(looked.size(), kLibraryLookBound);
    EXPECT_EQ(looked.back(), libraries[kLibraryLookBound - 1] + kSep);
    const std::string cut = under(steam, "steamapps/libraryfolders.vdf") + " names " +
                            std::to_string(kLibraryLookBound + 10) + " libraries; only the first " +
                            std::to_string(kLibraryLookBound) + " are looked at.";
    EXPECT_EQ(note, cut);
    // A game beyond the bound is not found, and the note says why.
    gameIn(libraries.back() + kSep);
    auto f = find();
    EXPECT_TRUE(f.hl2Path.empty());
    EXPECT_EQ(f.notes, std::vector<std::string>{cut});
    // One within it is, without a note.
    gameIn(libraries[3] + kSep);
    f = find();
    EXPECT_EQ(f.hl2Path, under(libraries[3] + kSep, "steamapps/common/"));
    EXPECT_TRUE(f.notes.empty());
}

// ---- the Steam folder of a known game -----------------------------------------

TEST_F(Discovery, TheGamesLibraryLeadsToItsSteamFolder) {
    const std::string x = dir / "X/";
    const std::string client = dir / "Client/";
    const std::string exe = under(x, "steamapps/common/Half-Life 2/hl2.exe");
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string steamPath;
    } cases[] = {
        {"the library holds the client", [&] { writeFile(x + steamClient(), "client"); }, x},
        {"the library is another client's, whose list names it",
         [&] {
             writeFile(client + steamClient(), "client");
             listIn(client, libraryList({dir / "Client", dir / "X"}));
             listIn(x, libraryList({dir / "Client", dir / "X"}));
         },
         client},
        {"a client the library names does not name the library",
         [&] {
             writeFile(client + steamClient(), "client");
             listIn(client, libraryList({dir / "Client"}));
             listIn(x, libraryList({dir / "Client", dir / "X"}));
         },
         ""},
        {"a library without a client", [] {}, ""},
        {"a list in the library, but no client anywhere", [&] { listIn(x, libraryList({dir / "X"})); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(x);
        std::filesystem::remove_all(client);
        writeFile(exe, "game");
        reg.put(RegRoot::LocalMachine, kSettingsKey, "HL2Exe", exe);
        c.make();
        const auto f = find();
        EXPECT_EQ(f.hl2Path, under(x, "steamapps/common/"));
        EXPECT_EQ(f.hl2From, PathSource::UserChoice);
        EXPECT_EQ(f.steamPath, c.steamPath);
        EXPECT_EQ(f.steamFrom, c.steamPath.empty() ? PathSource::None : PathSource::DerivedFromGame);
    }
    EXPECT_EQ(pathSourceText(PathSource::DerivedFromGame), "derived from the game's library");
}

// ---- the Steam folder and the game the user chooses ---------------------------

TEST_F(Discovery, AChosenSteamFolderIsCheckedAndKeptInASettingOfOurOwn) {
    const std::string steam = dir / "Chosen Steam/";
    const std::string empty = dir / "Empty/";
    std::filesystem::create_directories(empty);
    writeFile(steam + steamClient(), "client");
    writeFile(dir / "a file", "x");
    struct Case {
        const char* name;
        std::string folder;
        std::string why;
    } refused[] = {
        {"nothing chosen", "", "No Steam folder was chosen."},
        {"a folder that is not there", dir / "Gone", "There is no folder " + dir / "Gone" + "."},
        {"a file", dir / "a file", "There is no folder " + dir / "a file" + "."},
        {"no client in it", empty,
         empty + " holds no Steam client (" +
             (kThisOs == OsFamily::Windows ? std::string("steam.exe") : std::string("steam.sh or steam.exe")) + ")."},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(storeChosenSteam(store, c.folder), c.why);
        EXPECT_EQ(reg.query(RegRoot::LocalMachine, kSettingsKey, "SteamFolder").kind, RegValueKind::Absent);
    }
    // Accepted without its trailing separator, kept with it; Steam's own key stays untouched.
    EXPECT_EQ(storeChosenSteam(store, dir / "Chosen Steam"), "");
    EXPECT_EQ(reg.query(RegRoot::LocalMachine, kSettingsKey, "SteamFolder").text, steam);
    EXPECT_EQ(reg.query(RegRoot::CurrentUser, kSteamKey, "SteamExe").kind, RegValueKind::Absent);
    EXPECT_EQ(chosenSteamFolder(store), steam);

    // Later start-ups take it as SteamPath, and find the game in its libraries.
    auto f = find();
    EXPECT_EQ(f.steamPath, steam);
    EXPECT_EQ(f.steamFrom, PathSource::UserChoice);
    EXPECT_TRUE(f.hl2Path.empty());
    listIn(steam, libraryList({dir / "Chosen Steam", dir / "Lib"}));
    gameIn(dir / "Lib/");
    f = find();
    EXPECT_EQ(f.steamPath, steam);
    EXPECT_EQ(f.steamFrom, PathSource::UserChoice);
    EXPECT_EQ(f.hl2Path, dir / "Lib/steamapps/common/");
    EXPECT_EQ(f.hl2From, PathSource::LibraryList);

    // Right after SteamExe: a stored Steam folder with the game comes first...
    const std::string stored = dir / "Stored/";
    storeSteamExe(stored);
    gameIn(stored);
    f = find();
    EXPECT_EQ(f.steamPath, stored);
    EXPECT_EQ(f.steamFrom, PathSource::StoredValue);
    // ... one without it gives way to the chosen folder that has it.
    std::filesystem::remove_all(stored);
    std::filesystem::create_directories(stored);
    f = find();
    EXPECT_EQ(f.steamPath, steam);
    EXPECT_EQ(f.steamFrom, PathSource::UserChoice);
    EXPECT_EQ(f.hl2Path, dir / "Lib/steamapps/common/");

    // A chosen folder whose client has gone no longer counts.
    std::filesystem::remove(steam + steamClient());
    EXPECT_EQ(chosenSteamFolder(store), "");
}

TEST_F(Discovery, AChosenFileIsTheGamesProgramOrTheReasonSaysWhyNot) {
    const std::string game = dir / "Games/half-life 2/";
    for (const char* program : gameProgramsFor(kThisOs)) writeFile(game + program, "game");
    writeFile(game + "hl2.dll", "x");
    writeFile(game + "HL2.EXE.bak", "x");
    std::filesystem::create_directories(game + "folder/hl2.exe");
    struct Case {
        std::string file;
        std::string why;
    } cases[] = {
        {game + "hl2.exe", ""},
        {game + nativeGame(), ""},
        {game + "hl2.dll",
         game + "hl2.dll is not the game's program (" +
             (kThisOs == OsFamily::Windows ? std::string("hl2.exe")
                                           : std::string("hl2.exe, hl2.sh, hl2_linux or hl2_linux64")) +
             ")."},
        {game + "HL2.EXE.bak",
         game + "HL2.EXE.bak is not the game's program (" +
             (kThisOs == OsFamily::Windows ? std::string("hl2.exe")
                                           : std::string("hl2.exe, hl2.sh, hl2_linux or hl2_linux64")) +
             ")."},
        {game + "missing/hl2.exe", "There is no file " + game + "missing/hl2.exe."},
        {game + "folder/hl2.exe", game + "folder/hl2.exe is not a file."},
        {"", "No file was chosen."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string why = "left over";
        const std::string file = nativePath(c.file);
        EXPECT_EQ(isGameProgram(file, why), c.why.empty());
        EXPECT_EQ(why, nativePath(c.why));
    }
    // The name as the system compares it: Windows ignores case, POSIX does not.
    writeFile(dir / "Other/HL2/Hl2.Exe", "game");
    std::string why;
    EXPECT_EQ(isGameProgram(dir / "Other/HL2/Hl2.Exe", why), kThisOs == OsFamily::Windows) << why;
}

TEST_F(Discovery, TheGameFolderFoundIsHandedOver) {
    const std::string lib = dir / "Lib/";
    // Found in a library: the spelling that holds the game.
    storeSteamExe(lib);
    gameIn(lib);
    auto f = find();
    EXPECT_EQ(pathKey(f.gameFolder), pathKey(under(lib, "steamapps/common/Half-Life 2/")));
    EXPECT_EQ(cfgPathIn(f.gameFolder), cfgPathOf(f.hl2Path));
    EXPECT_EQ(resultsPathIn(f.gameFolder), resultsPathOf(f.hl2Path));

    // Chosen by the user: the chosen file's folder, where it is a spelling of "half-life 2".
    reg.remove(RegRoot::CurrentUser, kSteamKey, "SteamExe");
    const std::string chosen = dir / "Games/half-life 2/hl2.exe";
    writeFile(chosen, "game");
    reg.put(RegRoot::LocalMachine, kSettingsKey, "HL2Exe", chosen);
    f = find();
    EXPECT_EQ(f.hl2From, PathSource::UserChoice);
    EXPECT_EQ(f.gameFolder, dir / "Games/half-life 2/");
    EXPECT_EQ(gameFolderOfFile(chosen), dir / "Games/half-life 2/");
    // Another folder name: the game's folder of its HL2Path, as for a search match.
    EXPECT_EQ(pathKey(gameFolderOfFile(dir / "Games/hl2mp/hl2.exe")), pathKey(dir / "Games/half-life 2/"));
    EXPECT_EQ(gameFolderOfFile("hl2.exe"), "");
    EXPECT_EQ(cfgPathIn(""), "");
    EXPECT_EQ(gameFolderOf(""), "");
}

}  // namespace
