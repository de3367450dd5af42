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

TEST(UpgradeListPlan, FollowsTheReplacementRules) {
    TempDir dir;
    const std::string f = dir.path();
    writeFile(f + "vantor", "old");
    writeFile(f + "setup.exe.uTMP", "s");
    writeFile(f + "tool.exe.uTMP", "t");
    writeFile(f + "help.htm.uTMP", "h");
    using M = std::map<std::string, std::string>;
    // The program itself was not downloaded: the first "exe" replaces it.
    const auto self = targets(UpgradeList::plan(f, "vantor", false));
    EXPECT_EQ(self.at("help.htm.uTMP"), "help.htm");
    const int exes = (self.at("setup.exe.uTMP") == "vantor") + (self.at("tool.exe.uTMP") == "vantor");
    EXPECT_EQ(exes, 1);
    // External setup: the first "exe" is the setup program.
    const auto external = targets(UpgradeList::plan(f, "vantor", true));
    EXPECT_EQ(
        (external.at("setup.exe.uTMP") == "setup.exe (setup)") + (external.at("tool.exe.uTMP") == "tool.exe (setup)"),
        1);
    // The program was downloaded: every file keeps its name.
    writeFile(f + "vantor.uTMP", "new");
    EXPECT_EQ(targets(UpgradeList::plan(f, "vantor", false)), (M{{"help.htm.uTMP", "help.htm"},
                                                                 {"setup.exe.uTMP", "setup.exe"},
                                                                 {"tool.exe.uTMP", "tool.exe"},
                                                                 {"vantor.uTMP", "vantor"}}));
    // "EXE" does not count: the letters must be lower-case.
    TempDir other;
    writeFile(other / "SETUP.EXE.uTMP", "s");
    EXPECT_EQ(targets(UpgradeList::plan(other.path(), "vantor", false)), (M{{"SETUP.EXE.uTMP", "SETUP.EXE"}}));
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

}  // namespace
