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

}  // namespace
