// The upgrade list: the plan by the replacement's rules, one rename per file
// with the permissions kept, a replacement cut short at every step and
// finished by the next start, and downloads without a list removed.

#include "platform/OsFamily.h"
#include "platform/ProgramFile.h"
#include "tests/support/RunTestContext.h"
#include "tests/support/TempDir.h"
#include "update/UpgradeList.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>

using namespace vantor;
using namespace vantor::test;

namespace {

int modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

std::map<std::string, std::string> targets(const UpgradePlan& plan) {
    std::map<std::string, std::string> out;
    for (const auto& s : plan.steps) out[s.source] = s.target + (s.setup ? " (setup)" : "");
    return out;
}

// Every download replaces its own name, and only that: "dxdiag.exe" never
// becomes the program. An external setup's first "exe" is the program to run.
TEST(UpgradeListPlan, EveryFileReplacesOnlyItsOwnName) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "dxdiag.exe", "the real one");
    writeFile(f + "setup.exe.uTMP", "s");
    writeFile(f + "dxdiag.exe.uTMP", "t");
    writeFile(f + "help.htm.uTMP", "h");
    using M = std::map<std::string, std::string>;
    const M ownNames = {
        {"help.htm.uTMP", "help.htm"}, {"setup.exe.uTMP", "setup.exe"}, {"dxdiag.exe.uTMP", "dxdiag.exe"}};
    // The program itself was not downloaded: still no file becomes it.
    EXPECT_EQ(targets(UpgradeList::plan(f, "vantor", false)), ownNames);
    // External setup: the first "exe" is the setup program, under its own name.
    const auto external = targets(UpgradeList::plan(f, "vantor", true));
    EXPECT_EQ(external.at("help.htm.uTMP"), "help.htm");
    EXPECT_EQ((external.at("setup.exe.uTMP") == "setup.exe (setup)") +
                  (external.at("dxdiag.exe.uTMP") == "dxdiag.exe (setup)"),
              1);
    // The program was downloaded: every file keeps its name, no setup runs.
    writeFile(f + "vantor.uTMP", "new");
    M withProgram = ownNames;
    withProgram["vantor.uTMP"] = "vantor";
    EXPECT_EQ(targets(UpgradeList::plan(f, "vantor", false)), withProgram);
    EXPECT_EQ(targets(UpgradeList::plan(f, "vantor", true)), withProgram);
    // "EXE" does not count: the letters must be lower-case.
    TempDir other;
    writeFile(other / "SETUP.EXE.uTMP", "s");
    EXPECT_EQ(targets(UpgradeList::plan(other.path(), "vantor", true)), (M{{"SETUP.EXE.uTMP", "SETUP.EXE"}}));

    // Applied, the program stays and dxdiag.exe is the downloaded one.
    std::filesystem::remove(f + "vantor.uTMP");
    const UpgradePlan plan = UpgradeList::plan(f, "vantor", false);
    ASSERT_TRUE(UpgradeList::write(f, plan));
    ASSERT_TRUE(UpgradeList::apply(f, plan).ok);
    EXPECT_EQ(folderFiles(f), (M{{"vantor", "old"}, {"dxdiag.exe", "t"}, {"setup.exe", "s"}, {"help.htm", "h"}}));
}

// A list that sends a download anywhere but to its own name, or over a file the
// program keeps for itself, is not carried out: the downloads go instead.
TEST(UpgradeListRead, RefusesAStepToAnotherName) {
    struct Case {
        const char* step;
        bool ok;
    } const cases[] = {
        {"3\tvantor.uTMP\tvantor\t0\n", true},
        {"3\tdxdiag.exe.uTMP\tvantor\t0\n", false},
        {"3\tUpgrader3.exe.uTMP\tUpgrader3.exe\t0\n", false},
        {"3\tupgrade.lock.uTMP\tupgrade.lock\t0\n", false},
        {"3\tupgrade.lst.uTMP\tupgrade.lst\t0\n", false},
        {"3\tvantor.uTMP\t../vantor\t0\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        TempDir dir;
        const std::string f = dir.path();
        writeFile(f + kUpgradeListName, std::string("upgrade 1 0\n") + c.step);
        EXPECT_EQ(UpgradeList::read(f).has_value(), c.ok);
    }
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "dxdiag.exe.uTMP", "new");
    writeFile(f + kUpgradeListName, "upgrade 1 0\n3\tdxdiag.exe.uTMP\tvantor\t0\n");
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "old"}}));
}

TEST(UpgradeListApply, ReplacesKeepingPermissionsAndSurvivesACutAtEveryStep) {
    const std::map<std::string, std::string> oldFiles = {
        {"vantor", "old program"}, {"version.txt", "1.3"}, {"help.htm", "old help"}};
    const std::map<std::string, std::string> newFiles = {
        {"vantor", "new program"}, {"version.txt", "1.4"}, {"help.htm", "new help"}, {"added.dat", "added"}};
    for (std::size_t cut = 0; cut <= newFiles.size(); ++cut) {
        SCOPED_TRACE("cut after " + std::to_string(cut) + " steps");
        TempDir dir;
        const std::string f = dir.path();
        for (const auto& [name, bytes] : oldFiles) writeFile(f + name, bytes);
        ::chmod((f + "vantor").c_str(), 0755);
        for (const auto& [name, bytes] : newFiles) writeFile(f + name + kDownloadSuffix, bytes);
        const UpgradePlan plan = UpgradeList::plan(f, "vantor", false);
        ASSERT_TRUE(UpgradeList::write(f, plan));

        UpgradeList::apply(f, plan, cut);
        // At every cut each file is old or new, never missing.
        for (const auto& [name, bytes] : oldFiles) {
            const std::string now = readFile(f + name);
            EXPECT_TRUE(now == bytes || now == newFiles.at(name)) << name;
        }
        if (kThisOs == OsFamily::Posix) {  // Windows has no such bits
            EXPECT_EQ(modeOf(f + "vantor"), 0755);
        }
        // The next start finishes it.
        UpgradeList::recover(f);
        EXPECT_EQ(folderFiles(f), newFiles);
        if (kThisOs == OsFamily::Posix) {
            EXPECT_EQ(modeOf(f + "vantor"), 0755);
        }
    }
}

TEST(UpgradeListApply, AFileOfAnotherSizeIsNotUsed) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "vantor.uTMP", "new");
    const UpgradePlan plan = UpgradeList::plan(f, "vantor", false);
    writeFile(f + "vantor.uTMP", "new and longer");
    const auto applied = UpgradeList::apply(f, plan);
    EXPECT_FALSE(applied.ok);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "old"}}));
}

TEST(UpgradeListRecover, RemovesDownloadsWithoutAListAndLeavesALockedOneAlone) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "vantor.uTMP", "partial");
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "old"}}));

    writeFile(f + "vantor.uTMP", "new");
    ASSERT_TRUE(UpgradeList::write(f, UpgradeList::plan(f, "vantor", false)));
    {
        FileLock busy(f + kUpgradeListName);  // a replacement program at work
        ASSERT_TRUE(busy.locked());
        UpgradeList::recover(f);
        EXPECT_EQ(readFile(f + "vantor"), "old");
        EXPECT_TRUE(exists(f + "vantor.uTMP"));
    }
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "new"}}));

    writeFile(f + "vantor.uTMP", "x");
    writeFile(f + kUpgradeListName, "garbage\n");  // a list that cannot be read
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "new"}}));
}

// A second start while another instance downloads an update leaves its files
// alone; once that instance has let go, the next start cleans up, the lock
// file included.
TEST(UpgradeListRecover, LeavesTheFolderAloneWhileAnotherInstanceDownloads) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "vantor.uTMP", "half of it");
    {
        FileLock downloading(f + kUpdateLockName);
        ASSERT_TRUE(downloading.locked());
        UpgradeList::recover(f);
        EXPECT_EQ(readFile(f + "vantor.uTMP"), "half of it");
    }
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "old"}}));

    // A folder without anything to recover gets no lock file.
    UpgradeList::recover(f);
    EXPECT_EQ(folderFiles(f), (std::map<std::string, std::string>{{"vantor", "old"}}));
}

#ifdef _WIN32
// Windows: a download put in place is no longer hidden or temporary.
TEST(UpgradeListApply, ClearsTheMarksOfADownload) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "vantor.uTMP", "new");
    ASSERT_TRUE(SetFileAttributesA((f + "vantor.uTMP").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY));
    const UpgradePlan plan = UpgradeList::plan(f, "vantor", false);
    ASSERT_TRUE(UpgradeList::apply(f, plan).ok);
    const DWORD a = GetFileAttributesA((f + "vantor").c_str());
    ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(a & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(a & FILE_ATTRIBUTE_TEMPORARY);
    EXPECT_EQ(readFile(f + "vantor"), "new");
}
#endif

TEST(FileLockTest, IsExclusiveAndItsFileCanBeRemovedWhileHeld) {
    TempDir dir;
    const std::string path = dir / "x.lock";
    FileLock first(path);
    ASSERT_TRUE(first.locked());
    EXPECT_FALSE(FileLock(path).locked());
    first.removeFile();
    EXPECT_FALSE(first.locked());
    EXPECT_FALSE(exists(path));
    FileLock next(path);
    EXPECT_TRUE(next.locked());
    EXPECT_TRUE(exists(path));
}

}  // namespace
