#include "run/DemoInstaller.h"

#include "tests/support/RunTestContext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace vantor;
using namespace vantor::test;

class DemoInstallerTest : public ::testing::Test {
protected:
    RunTestContext t;
    DemoInstaller demos{t.ctx};

    std::string results(const std::string& name) { return t.ctx.paths.ResultsPath + name; }
    std::string shipped(const std::string& name) { return t.ctx.paths.BenchPath + "Demos/" + name; }

    // The demo step; its result once done has run.
    std::optional<bool> install() {
        std::optional<bool> result;
        demos.InstallDemo([&](bool ok) { result = ok; });
        t.runUntil([&] { return result.has_value(); });
        return result;
    }
    void chooseUserDemo(const std::string& path) {
        setChoiceIndex(t.ctx.request, Choice::Demo, 5);
        t.ctx.request.userDemoFile = path;
    }
};

struct BuiltInCase {
    int position;
    std::string title, file, name, presentLine;
};

class BuiltInDemos : public DemoInstallerTest, public ::testing::WithParamInterface<BuiltInCase> {};

TEST_P(BuiltInDemos, PresentDemoIsNotCopiedAgain) {
    const auto& c = GetParam();
    writeFile(results(c.file), "already there");
    writeFile(shipped(c.file), "shipped");
    setChoiceIndex(t.ctx.request, Choice::Demo, c.position);
    EXPECT_EQ(install(), true);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{c.presentLine});
    EXPECT_EQ(readFile(results(c.file)), "already there");
    EXPECT_EQ(t.ctx.run.DemoTitle, c.title);
    EXPECT_EQ(t.ctx.run.DemoFile, c.file);
    EXPECT_EQ(t.ctx.run.DemoName, c.name);
}

TEST_P(BuiltInDemos, MissingDemoIsCopiedFromTheProgramsFolder) {
    const auto& c = GetParam();
    writeFile(shipped(c.file), "demo bytes \x01\x02");
    setChoiceIndex(t.ctx.request, Choice::Demo, c.position);
    EXPECT_EQ(install(), true);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{"Built-in demo (" + c.file + ") not exist. Copy..."});
    EXPECT_EQ(readFile(results(c.file)), "demo bytes \x01\x02");
    EXPECT_EQ(t.ctx.run.DemoName, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BuiltInDemos,
    ::testing::Values(BuiltInCase{0, "Quorvane - Coast", "qvn_coast1.dem", "qvn_coast1",
                                  "Built-in demo (qvn_coast1.dem) exist."},
                      BuiltInCase{1, "Quorvane - d3c171", "d3c171.dem", "d3c171", "Built-in demo (d3c171.dem) exist."},
                      BuiltInCase{2, "Raza3Z - demo4", "Raza3Z_demo4.dem", "Raza3Z_demo4", "Raza3Z_demo4.dem exist."},
                      BuiltInCase{3, "Raza3Z - demo5", "Raza3Z_demo5.dem", "Raza3Z_demo5", "Raza3Z_demo5.dem exist."},
                      BuiltInCase{4, "Raza3Z - demo6", "Raza3Z_demo6.dem", "Raza3Z_demo6", "Raza3Z_demo6.dem exist."}));

TEST_F(DemoInstallerTest, UserDemoIsCopiedUnderItsOwnName) {
    writeFile(t.dir / "elsewhere/My.Run-2.DEM", "user demo");
    chooseUserDemo(t.dir / "elsewhere/My.Run-2.DEM");
    EXPECT_EQ(install(), true);
    EXPECT_EQ(readFile(results("My.Run-2.DEM")), "user demo");
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"Built-in demo (My.Run-2.DEM) not exist. Copy...",
                                                       "Custom demo (My.Run-2.DEM) exist."}));
    EXPECT_EQ(t.ctx.run.UserDemoFile, "My.Run-2.DEM");
    EXPECT_EQ(t.ctx.run.DemoTitle, "Custom demo - My.Run-2.DEM");
    EXPECT_EQ(t.ctx.run.DemoFile, "My.Run-2.DEM");
    EXPECT_EQ(t.ctx.run.DemoName, "My.Run-2");

    // Already in the game's folder: no copy, one line.
    writeFile(t.dir / "elsewhere/My.Run-2.DEM", "changed");
    const auto before = t.log.lines().size();
    EXPECT_EQ(install(), true);
    EXPECT_EQ(t.logFrom(before), (std::vector<std::string>{"Custom demo (My.Run-2.DEM) exist."}));
    EXPECT_EQ(readFile(results("My.Run-2.DEM")), "user demo");
}

TEST_F(DemoInstallerTest, MissingUserDemoKeepsThePreviousDemoName) {
    writeFile(results("qvn_coast1.dem"), "x");
    setChoiceIndex(t.ctx.request, Choice::Demo, 0);
    ASSERT_EQ(install(), true);
    chooseUserDemo(t.dir / "gone.dem");
    EXPECT_EQ(install(), true);
    EXPECT_EQ(t.log.lines().back(), "Custom demo (gone.dem) not exist. Copy...");
    EXPECT_EQ(t.ctx.run.DemoName, "qvn_coast1");
    EXPECT_EQ(t.ctx.run.DemoTitle, "Custom demo - gone.dem");
    EXPECT_FALSE(exists(results("gone.dem")));
}

TEST_F(DemoInstallerTest, EmptyFieldOrNoChoiceKeepsEverything) {
    t.ctx.run.DemoTitle = "Quorvane - Coast";
    t.ctx.run.DemoFile = "qvn_coast1.dem";
    t.ctx.run.DemoName = "qvn_coast1";
    chooseUserDemo("");
    EXPECT_EQ(install(), true);
    setChoiceIndex(t.ctx.request, Choice::Demo, -1);
    EXPECT_EQ(install(), true);
    EXPECT_TRUE(t.log.lines().empty());
    EXPECT_EQ(t.ctx.run.DemoTitle, "Quorvane - Coast");
    EXPECT_EQ(t.ctx.run.DemoFile, "qvn_coast1.dem");
    EXPECT_EQ(t.ctx.run.DemoName, "qvn_coast1");
}

TEST_F(DemoInstallerTest, CopyThatNeverAppearsEndsAtTheBound) {
    t.ctx.run.DemoName = "previous";
    setChoiceIndex(t.ctx.request, Choice::Demo, 4);  // not shipped in this installation
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(install(), false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, t.ctx.timing.demoCopyBound);
    ASSERT_EQ(t.log.lines().size(), 2u);
    EXPECT_EQ(t.log.lines()[0].rfind(">>> ERROR <<< Error handling. Demo copy is impossible", 0), 0u);
    EXPECT_EQ(t.log.lines()[1], ">>> ERROR <<< Demo copy failed: Raza3Z_demo6.dem did not appear.");
    EXPECT_EQ(t.ctx.run.DemoName, "previous");
}

TEST_F(DemoInstallerTest, TheWaitEndsWhenTheDemoAppears) {
    t.ctx.timing.demoCopyBound = std::chrono::milliseconds(2000);
    setChoiceIndex(t.ctx.request, Choice::Demo, 3);
    std::optional<bool> result;
    demos.InstallDemo([&](bool ok) { result = ok; });
    EXPECT_FALSE(result.has_value());  // polling
    t.loop.startTimer(std::chrono::milliseconds(15), [&] { writeFile(results("Raza3Z_demo5.dem"), "late"); });
    ASSERT_TRUE(t.runUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, true);
    EXPECT_EQ(t.log.lines().back(), "Built-in demo (Raza3Z_demo5.dem) not exist. Copy...");
    EXPECT_EQ(t.ctx.run.DemoName, "Raza3Z_demo5");
}

TEST(DemoNames, FinalDemExtensionIsRemoved) {
    const std::pair<std::string, std::string> cases[] = {
        {"a.dem", "a"}, {"A.DEM", "A"},     {"my.demo.dem", "my.demo"}, {"x", "x"}, {"x.dm", "x.dm"}, {".dem", ""},
        {"dem", "dem"}, {"run.Dem", "run"}, {"a.dem.bak", "a.dem.bak"}};
    for (const auto& [file, name] : cases) EXPECT_EQ(demoNameOfFile(file), name) << file;
}

TEST(DemoNames, OnlyLettersDigitsUnderscoreDashAndDotAreSafe) {
    for (const char* ok : {"qvn_coast1", "My-Demo.v2", "A", "0", "a.b.c"}) EXPECT_TRUE(isSafeDemoName(ok)) << ok;
    for (const char* bad : {"", "my demo", "a\"b", "a&b", "a|b", "a<b", "a>b", "a^b", "a%b", "d\xC3\xA9mo", "a;b",
                            "a/b", "a\\b", "a\tb", "a\r\nb", "a+b", "a'b", "-dev", "-game.x"})
        EXPECT_FALSE(isSafeDemoName(bad)) << bad;
}

TEST_F(DemoInstallerTest, UnsafeUserDemoNameIsRefusedBeforeAnythingIsWritten) {
    for (const char* file : {"my demo.dem", "a\"b.dem", "a&b.dem", "a|b.dem", "a<b.dem", "a>b.dem", "a^b.dem",
                             "100%.dem", "d\xC3\xA9mo.dem", ".dem"}) {
        t.dialogs.messages.clear();
        chooseUserDemo(t.dir / "demos/" + file);
        EXPECT_FALSE(demos.checkUserDemo()) << file;
        EXPECT_EQ(t.dialogs.messages, std::vector<std::string>{kUnsafeDemoNameMessage}) << file;
        EXPECT_EQ(t.view.status(), kUnsafeDemoNameMessage);
    }
    EXPECT_TRUE(folderFiles(t.ctx.paths.ResultsPath).empty());
    EXPECT_TRUE(folderFiles(t.cfg()).empty());
    EXPECT_TRUE(t.log.lines().empty());
}

TEST_F(DemoInstallerTest, UserDemoWithoutAFileThereIsRefusedBeforeAnythingIsWritten) {
    const std::string missing = t.dir / "demos/gone.dem";
    const struct {
        std::string field;
        std::string message;
    } cases[] = {{"", kNoUserDemoMessage}, {missing, missingUserDemoMessage(missing)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        t.dialogs.messages.clear();
        chooseUserDemo(c.field);
        EXPECT_FALSE(demos.checkUserDemo());
        EXPECT_EQ(t.dialogs.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(t.view.status(), c.message);
    }
    EXPECT_TRUE(folderFiles(t.ctx.paths.ResultsPath).empty());
    EXPECT_TRUE(t.log.lines().empty());
}

TEST_F(DemoInstallerTest, CheckAppliesOnlyToTheUserDemo) {
    writeFile(t.dir / "demos/good_one.dem", "demo");
    chooseUserDemo(t.dir / "demos/good_one.dem");
    EXPECT_TRUE(demos.checkUserDemo());
    setChoiceIndex(t.ctx.request, Choice::Demo, 0);
    for (const char* field : {"", "bad name.dem", "missing.dem"}) {
        t.ctx.request.userDemoFile = field[0] ? t.dir / "demos/" + field : std::string();
        EXPECT_TRUE(demos.checkUserDemo()) << field;
    }
    EXPECT_TRUE(t.dialogs.messages.empty());
}

TEST_F(DemoInstallerTest, UnknownGameFolderCopiesNothing) {
    writeFile(shipped("qvn_coast1.dem"), "shipped");
    t.ctx.paths.ResultsPath.clear();
    setChoiceIndex(t.ctx.request, Choice::Demo, 0);
    EXPECT_EQ(install(), false);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{">>> ERROR <<< Demo folder unknown."});
    EXPECT_FALSE(exists("qvn_coast1.dem"));
}
