#include "platform/PathCase.h"

#include "platform/FileOps.h"
#include "platform/OsFamily.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace vantor;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

void lay(const TempDir& dir) {
    writeFile(dir / "lib/steamapps/common/Half-Life 2/hl2/cfg/config.cfg", "x");
    writeFile(dir / "lib/steamapps/common/Half-Life 2/hl2/SourceBench.csv", "x");
    writeFile(dir / "old/SteamApps/acc/half-life 2/hl2/cfg/valve.rc", "x");
}

// Folders of the layouts Steam used, side by side on a file system that tells
// case apart.
class PathCase : public ::testing::Test {
protected:
    void SetUp() override {
        if (kThisOs == OsFamily::Windows)
            GTEST_SKIP() << "Windows file systems ignore case: names are used as given (PathCaseWin.cpp)";
        lay(dir);
    }
    TempDir dir;
};

// On every system: a name in another case than on disk still reaches the file.
TEST(PathCaseAnySystem, AnySpellingReachesTheFile) {
    TempDir dir;
    lay(dir);
    for (const char* relative :
         {"LIB/STEAMAPPS/COMMON/HALF-LIFE 2/HL2/CFG/CONFIG.CFG", "lib/steamapps/common/half-life 2/hl2/sourcebench.csv",
          "old/steamapps/ACC/Half-Life 2/hl2/cfg/VALVE.RC"}) {
        std::string native = relative;
        for (char& c : native)
            if (c == '/') c = kPathSep;
        const std::string path = pathIgnoringCase(dir.path(), native);
        EXPECT_TRUE(fileExists(path)) << path;
    }
}

TEST_F(PathCase, EachComponentIsSpelledAsOnDisk) {
    const std::string root = dir.path();
    struct Case {
        const char* asked;
        const char* found;
    } cases[] = {
        {"lib/steamapps/common/half-life 2/hl2/cfg/", "lib/steamapps/common/Half-Life 2/hl2/cfg/"},
        {"LIB/SteamApps/Common/HALF-LIFE 2/HL2/", "lib/steamapps/common/Half-Life 2/hl2/"},
        {"lib/steamapps/common/half-life 2/hl2/sourcebench.csv",
         "lib/steamapps/common/Half-Life 2/hl2/SourceBench.csv"},
        {"old/steamapps/acc/Half-Life 2/hl2/cfg/valve.rc", "old/SteamApps/acc/half-life 2/hl2/cfg/valve.rc"},
        // The spelling that exists is kept, whatever else would match.
        {"old/SteamApps/acc/half-life 2/hl2/cfg", "old/SteamApps/acc/half-life 2/hl2/cfg"},
        // From the first name without a match on, the rest stays as asked.
        {"lib/steamapps/common/Portal/hl2/cfg/", "lib/steamapps/common/Portal/hl2/cfg/"},
        {"lib/STEAMAPPS/nothing/Half-Life 2", "lib/steamapps/nothing/Half-Life 2"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        EXPECT_EQ(pathIgnoringCase(root, c.asked), root + c.found);
    }
}

TEST_F(PathCase, TheExactSpellingWinsOverOtherCases) {
    writeFile(dir / "both/hl2/a", "lower");
    writeFile(dir / "both/HL2/a", "upper");
    writeFile(dir / "both/Hl2/a", "mixed");
    EXPECT_EQ(pathIgnoringCase(dir.path(), "both/HL2/a"), dir / "both/HL2/a");
    EXPECT_EQ(pathIgnoringCase(dir.path(), "both/hl2/a"), dir / "both/hl2/a");
    // Without an exact match, the first in byte order: "HL2" < "Hl2" < "hl2".
    EXPECT_EQ(pathIgnoringCase(dir.path(), "both/hL2/a"), dir / "both/HL2/a");
}

TEST_F(PathCase, OnlyAsciiLettersFoldAndAFileEndsTheWalk) {
    writeFile(dir /
                  "x/Stra\xC3\x9F"
                  "e/f",
              "x");
    EXPECT_EQ(pathIgnoringCase(dir.path(),
                               "x/STRA\xC3\x9F"
                               "E/f"),
              dir /
                  "x/Stra\xC3\x9F"
                  "e/f");
    EXPECT_EQ(pathIgnoringCase(dir.path(), "x/STRASSE/f"), dir / "x/STRASSE/f");
    // Below a file there is nothing to match.
    EXPECT_EQ(pathIgnoringCase(dir.path(), "lib/steamapps/common/half-life 2/hl2/cfg/config.cfg/X"),
              dir / "lib/steamapps/common/Half-Life 2/hl2/cfg/config.cfg/X");
}

TEST_F(PathCase, EverySpellingThatExistsIsNamedTheGivenOneFirst) {
    writeFile(dir / "two/SteamApps/common/Half-Life 2/hl2.exe", "x");
    std::filesystem::create_directories(dir / "two/steamapps/common");
    std::filesystem::create_directories(dir / "two/STEAMAPPS");
    const std::string root = dir.path();
    struct Case {
        const char* asked;
        std::vector<std::string> found;
    } cases[] = {
        {"two/steamapps/common/", {"two/steamapps/common/", "two/SteamApps/common/"}},
        {"two/SteamApps/", {"two/SteamApps/", "two/STEAMAPPS/", "two/steamapps/"}},
        {"two/steamapps/COMMON/half-life 2/HL2.EXE", {"two/SteamApps/common/Half-Life 2/hl2.exe"}},
        {"two/steamapps/common/Portal", {}},
        // A file has no entries below it.
        {"two/steamapps/common/half-life 2/hl2.exe/x", {}},
        {"", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        std::vector<std::string> expected;
        for (const auto& f : c.found) expected.push_back(root + f);
        EXPECT_EQ(pathsIgnoringCase(root, c.asked), expected);
    }
}

TEST(ComparablePath, NamesCompareAsTheSystemComparesThem) {
    const bool windows = kThisOs == OsFamily::Windows;
    EXPECT_EQ(comparablePath("/Games/Steam/") == comparablePath("/games/steam/"), windows);
    EXPECT_EQ(comparablePath("C:/Games/Steam") == comparablePath("c:\\games\\STEAM"), windows);
    EXPECT_EQ(comparablePath("/games/steam"), comparablePath("/games/steam"));
    EXPECT_NE(comparablePath("/games/steam"), comparablePath("/games/steam2"));
}

}  // namespace
