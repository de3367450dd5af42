#include "report/ReportWriter.h"

#include "platform/FileOps.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "platform/TextFile.h"
#include "report/ResultExport.h"
#include "run/GameConfig.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeView.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

namespace vantor {
namespace {

using namespace std::chrono_literals;
using test::exists;
using test::readFile;
using test::writeFile;
using Lines = std::vector<std::string>;

const std::string kHyphens(55, '-');
constexpr const char* kStamp = "03_14_05_21_05_09";

class NoProcesses : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>&) override { return true; }
};

// Sets an environment variable for the scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        test::setEnv(name, value);
    }
    ~ScopedEnv() {
        if (old_)
            test::setEnv(name_, old_->c_str());
        else
            test::unsetEnv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Whether `part` occurs in `lines` as a contiguous run.
bool containsRun(const Lines& lines, const Lines& part) {
    return std::search(lines.begin(), lines.end(), part.begin(), part.end()) != lines.end();
}

Lines tail(const Lines& lines, std::size_t n) {
    return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
}

// ---- free helpers ------------------------------------------------------------

TEST(FileStampTest, ReplacesSeparatorsAndBlanks) {
    const std::pair<const char*, const char*> cases[] = {
        {"3/14/2005 9:05:09 PM", "3_14_2005_9_05_09_PM"},
        {"2005.03.14. 21:05:09", "2005_03_14__21_05_09"},
        {"14-03-2005 21\\05", "14_03_2005_21_05"},
        {"", ""},
    };
    for (const auto& [text, stamp] : cases) EXPECT_EQ(fileStampOf(text), stamp) << text;
}

TEST(HtmlEscapeTest, EscapesMarkupCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"AMD <3 & co", "AMD &lt;3 &amp; co"},
        {"\"quoted\" <b>", "&quot;quoted&quot; &lt;b&gt;"},
        {"&amp;", "&amp;amp;"},  // typed text, not markup: escaped again
        {"plain 640\xC3\x97"
         "480",
         "plain 640\xC3\x97"
         "480"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(htmlEscape(text), escaped) << text;
}

// ---- the report of a run -------------------------------------------------------

class ReportWriterTest : public ::testing::Test {
protected:
    ReportWriterTest() {
        ctx.paths.BenchPath = dir / "bench/";
        ctx.paths.SteamPath = dir / "steam/";
        ctx.paths.HL2Path = dir / "games/";
        ctx.paths.ResultsPath = ctx.paths.HL2Path + "half-life 2/hl2/";
        ctx.paths.CFGPath = ctx.paths.ResultsPath + "cfg/";
        for (const auto& p : {ctx.paths.BenchPath, ctx.paths.SteamPath, ctx.paths.CFGPath, resultsFolder()})
            std::filesystem::create_directories(p);

        ctx.request.resultsFolder = resultsFolder();
        ctx.run.ReportPath = resultsFolder();              // as the run takes it
        setChoiceIndex(ctx.request, Choice::AA, 1);        // 2×
        setChoiceIndex(ctx.request, Choice::AF, 3);        // Anisotropic 4×
        setChoiceIndex(ctx.request, Choice::DirectX, 3);   // DirectX 9
        setChoiceIndex(ctx.request, Choice::Heapsize, 2);  // 256 MB
        setSwitch(ctx.request, Check::FastZ, true);
        ctx.run.StartTime = "03/14/05 21:05:09";
        ctx.run.StartedIso = "2005-03-14T21:05:09-05:00";
        ctx.run.FileStamp = kStamp;
        ctx.run.DemoTitle = "Quorvane Coast";
        ctx.run.DetailName = "Maximum";
        ctx.shellOpen = [this](const std::string& target) { opened.push_back(target); };
    }

    std::string resultsFolder() const { return dir / "Results/"; }
    std::string csv() const { return ctx.paths.ResultsPath + "sourcebench.csv"; }
    std::string logo() const { return ctx.paths.BenchPath + "Others" + kPathSep + "logo1.gif"; }

    void storeHardware(const std::string& os, const std::string& cpu, const std::string& memory, const std::string& vga,
                       const std::string& vgaMemory, const std::string& driver) {
        const std::pair<const char*, std::string> values[] = {
            {sv::OS, os},           {sv::CPU, cpu}, {sv::Memory, memory}, {sv::VGA, vga}, {sv::VGAMemory, vgaMemory},
            {sv::VGADriver, driver}};
        for (const auto& [name, value] : values)
            if (!value.empty()) registry.put(RegRoot::LocalMachine, kSettingsKey, name, value);
    }

    // Starts a run of `passes` resolutions: the head block.
    void beginRun(int passes) {
        ctx.run.ResolutionCount = passes;
        ctx.run.PassCount = 0;
        ctx.run.RunFinished = false;
        view.setEnabled(Control::BenchButton, false);
        view.setEnabled(Control::DebugBtn, false);
        writer.BeginReport();
    }

    // Ends one pass of `width`; the game wrote `score` as the third field of
    // the fourth line, or no results file at all.
    void endPass(const std::string& width, std::optional<std::string> score) {
        ++ctx.run.PassCount;
        ctx.run.CurrentWidth = width;
        if (score) writeFile(csv(), "Source bench\r\nv1\r\nw,h,fps,frames\r\n" + width + ",480," + *score + ",900\r\n");
        writeFile(ctx.paths.SteamPath + "vantor.bat", "steam\r\n");
        bool finished = false;
        writer.FinishPass([&] { finished = true; });
        ASSERT_TRUE(loop.runUntil([&] { return finished; }, 5s)) << "the pass-end step never finished";
    }

    // Ends one pass of r as the sequencer does for several passes per
    // resolution: the result is read, then the resolution's block is written
    // when resolutionDone, the report when runDone.
    void endPassOf(Resolution r, std::optional<std::string> score, bool resolutionDone, bool runDone) {
        ++ctx.run.PassCount;
        ctx.run.CurrentWidth = std::to_string(r.width);
        ctx.run.CurrentHeight = r.height;
        if (score)
            writeFile(csv(), "Source bench\r\nv1\r\nw,h,fps,frames\r\n" + std::to_string(r.width) + "," +
                                 std::to_string(r.height) + "," + *score + ",900\r\n");
        writer.readPass();
        bool finished = false;
        writer.endPass(resolutionDone, runDone, [&] { finished = true; });
        ASSERT_TRUE(loop.runUntil([&] { return finished; }, 5s)) << "the pass-end step never finished";
    }

    Lines headWithoutSystem(const std::string& commentLine = {}) const {
        Lines head = {"<html>",
                      "<head>",
                      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">",
                      "<title>Half-Life 2 Benchmark - www.quorvane.example</title>",
                      "<style type=\"text/css\">",
                      "<!--",
                      ".style4 {",
                      "\tcolor: #0066FF;",
                      "\tfont-weight: bold;",
                      "}",
                      ".style5 {color: #990000}",
                      ".style6 {color: #0066FF}",
                      "-->",
                      "</style>",
                      "</head>",
                      "<body>",
                      "<p align=\"center\"><img src=\"" + logo() + "\" width=\"204\" height=\"204\"></p><br>",
                      "   <FONT size=2>The benchmark started at 03/14/05 21:05:09</FONT><br>"};
        if (!commentLine.empty()) head.push_back(commentLine);
        head.push_back("<hr>");
        return head;
    }

    static Lines block(const std::string& heading, const std::string& aa, const std::string& score) {
        return {heading,
                "Demo: Quorvane Coast<br>",
                "Detail: Maximum quality<br>",
                "Antialising mode: " + aa + "<br>",
                "Filtering mode: Anisotropic 4\xC3\x97<br>",
                "Hardware DirectX level: DirectX 9<br>",
                "Heapsize: 256 MB<br>",
                "Fast Z: Enabled<br>",
                "<span class=\"style5\"><b>Score = " + score + " FPS</b></span><br>",
                "<br><HR>"};
    }

    static Lines footer() {
        return {"<P></P>", "<CENTER>Any bug, etc: <a href=\"mailto:pellmarr@quorvane.example\">Pellmarr</a></CENTER>",
                "<CENTER>The Quorvane Half-Life 2 Benchmarking Tool is FREE!</CENTER><BR>", "</body></html>"};
    }

    static Lines concat(std::initializer_list<Lines> parts) {
        Lines all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    void expectRunClosed() {
        EXPECT_TRUE(ctx.run.RunFinished);
        EXPECT_TRUE(view.isEnabled(Control::BenchButton));
        EXPECT_TRUE(view.isEnabled(Control::DebugBtn));
        EXPECT_EQ(tail(log.lines(), 3), (Lines{"", "DEBUG FINISHED.", kHyphens}));
        EXPECT_FALSE(exists(ctx.paths.SteamPath + "vantor.bat"));
    }

    std::vector<std::string> reportFiles() const {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(resultsFolder()))
            files.push_back(e.path().filename().string());
        return files;
    }

    test::TempDir dir;
    test::FakeView view;
    test::FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    SettingsStore store{registry};
    DebugLog log;
    NoProcesses processes;
    AppContext ctx{view, dialogs, loop, store, log, processes};
    GameConfig config{ctx};
    ResultReader reader{ctx};
    ReportWriter writer{ctx, reader, [this](std::function<void()> done) { config.RestoreGameConfig(std::move(done)); }};
    std::vector<std::string> opened;
};

TEST_F(ReportWriterTest, TwoPassRunSavesTheReportByteForByteAndOpensIt) {
    setSwitch(ctx.request, Check::AddInfo, true);
    storeHardware("Debian GNU/Linux 12", "AMD Ryzen 7 5800X", "32768 MB", "Radeon RX 6800", "16384 MB", "amdgpu 6.1");
    ctx.request.note = "Quiet room";

    beginRun(2);
    endPass("640", "87.53");
    setChoiceIndex(ctx.request, Choice::AA, 2);  // changed while the second pass runs
    setSwitch(ctx.request, Check::FastZ, false);
    endPass("1024", " 61.5");

    const std::string path = resultsFolder() + kPathSep + "result_" + kStamp + ".htm";
    const std::string expected =
        "<html>\r\n"
        "<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\r\n"
        "<title>Half-Life 2 Benchmark - www.quorvane.example</title>\r\n"
        "<style type=\"text/css\">\r\n"
        "<!--\r\n"
        ".style4 {\r\n"
        "\tcolor: #0066FF;\r\n"
        "\tfont-weight: bold;\r\n"
        "}\r\n"
        ".style5 {color: #990000}\r\n"
        ".style6 {color: #0066FF}\r\n"
        "-->\r\n"
        "</style>\r\n"
        "</head>\r\n"
        "<body>\r\n"
        "<p align=\"center\"><img src=\"" +
        logo() +
        "\" width=\"204\" height=\"204\"></p><br>\r\n"
        "<p align=\"left\" class=\"style4\">System</p>\r\n"
        "   <FONT size=2>Debian GNU/Linux 12</FONT><br>\r\n"
        "   <FONT size=2>AMD Ryzen 7 5800X</FONT><br>\r\n"
        "   <FONT size=2>32768 MB</FONT><br>\r\n"
        "   <FONT size=2>Radeon RX 6800</FONT><br>\r\n"
        "   <FONT size=2>16384 MB</FONT><br>\r\n"
        "   <FONT size=2>amdgpu 6.1</FONT><br><br>\r\n"
        "   <FONT size=2>The benchmark started at 03/14/05 21:05:09</FONT><br>\r\n"
        "<FONT size=2><span class=\"style6\">Comment:</span> Quiet room</FONT><br>\r\n"
        "<hr>\r\n"
        "<BR><B><FONT size=5>Resolution: 640\xD7"
        "480</FONT></B><BR>\r\n"
        "Demo: Quorvane Coast<br>\r\n"
        "Detail: Maximum quality<br>\r\n"
        "Antialising mode: 2\xD7<br>\r\n"
        "Filtering mode: Anisotropic 4\xD7<br>\r\n"
        "Hardware DirectX level: DirectX 9<br>\r\n"
        "Heapsize: 256 MB<br>\r\n"
        "Fast Z: Enabled<br>\r\n"
        "<span class=\"style5\"><b>Score = 87.53 FPS</b></span><br>\r\n"
        "<br><HR>\r\n"
        "<BR><B><FONT size=5>Resolution: 1024\xD7"
        "768</FONT></B><BR>\r\n"
        "Demo: Quorvane Coast<br>\r\n"
        "Detail: Maximum quality<br>\r\n"
        "Antialising mode: 4\xD7<br>\r\n"
        "Filtering mode: Anisotropic 4\xD7<br>\r\n"
        "Hardware DirectX level: DirectX 9<br>\r\n"
        "Heapsize: 256 MB<br>\r\n"
        "Fast Z: Disabled<br>\r\n"
        "<span class=\"style5\"><b>Score =  61.5 FPS</b></span><br>\r\n"
        "<br><HR>\r\n"
        "<P></P>\r\n"
        "<CENTER>Any bug, etc: <a href=\"mailto:pellmarr@quorvane.example\">Pellmarr</a></CENTER>\r\n"
        "<CENTER>The Quorvane Half-Life 2 Benchmarking Tool is FREE!</CENTER><BR>\r\n"
        "</body></html>\r\n";

    ASSERT_TRUE(exists(path));
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(reportFiles(), (std::vector<std::string>{std::string("result_") + kStamp + ".htm"}));

    // Saved and logged with the doubled separator, opened with a single one.
    EXPECT_EQ(writer.savedReport(), path);
    EXPECT_EQ(opened, (Lines{resultsFolder() + "result_" + kStamp + ".htm"}));
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
    EXPECT_TRUE(containsRun(log.lines(), {"Result:  61.5 FPS", "Source1 deleted.", "Source2 deleted.", "HL2B deleted.",
                                          "Result saved to " + path, "Settings restoring..."}));
    expectRunClosed();
}

TEST_F(ReportWriterTest, SystemSectionFollowsAddInfoAndTheStoredValues) {
    storeHardware("", "Intel Core i5", "", "", "", "");
    setSwitch(ctx.request, Check::AddInfo, true);
    writer.BeginReport();
    Lines expected = headWithoutSystem();
    // No "System" heading without an OS, but the CPU line.
    expected.insert(expected.begin() + 17, "   <FONT size=2>Intel Core i5</FONT><br>");
    EXPECT_EQ(writer.ReportLines(), expected);

    // Not checked: nothing of what is stored.
    storeHardware("Debian", "Intel Core i5", "8192 MB", "GeForce", "512 MB", "535.1");
    setSwitch(ctx.request, Check::AddInfo, false);
    writer.BeginReport();
    EXPECT_EQ(writer.ReportLines(), headWithoutSystem());

    // The driver alone ends the section with an empty line of its own.
    registry.put(RegRoot::LocalMachine, kSettingsKey, sv::OS, "");
    registry.put(RegRoot::LocalMachine, kSettingsKey, sv::CPU, "");
    registry.put(RegRoot::LocalMachine, kSettingsKey, sv::Memory, "");
    registry.put(RegRoot::LocalMachine, kSettingsKey, sv::VGA, "");
    registry.put(RegRoot::LocalMachine, kSettingsKey, sv::VGAMemory, "");
    setSwitch(ctx.request, Check::AddInfo, true);
    writer.BeginReport();
    expected = headWithoutSystem();
    expected.insert(expected.begin() + 17, "   <FONT size=2>535.1</FONT><br><br>");
    EXPECT_EQ(writer.ReportLines(), expected);
}

TEST_F(ReportWriterTest, StoredValueOfAnotherTypeIsLeftOutWithAnErrorLine) {
    registry.putOther(RegRoot::LocalMachine, kSettingsKey, sv::CPU);
    storeHardware("Debian", "", "8192 MB", "", "", "");
    setSwitch(ctx.request, Check::AddInfo, true);

    writer.BeginReport();

    Lines expected = headWithoutSystem();
    expected.insert(expected.begin() + 17, {"<p align=\"left\" class=\"style4\">System</p>",
                                            "   <FONT size=2>Debian</FONT><br>", "   <FONT size=2>8192 MB</FONT><br>"});
    EXPECT_EQ(writer.ReportLines(), expected);
    EXPECT_EQ(log.lines(), (Lines{">>> ERROR <<< Error handling. Invalid data type for 'CPU'"}));
}

TEST_F(ReportWriterTest, BeginReportStartsANewReportAndTakesTheNoteOfThatMoment) {
    ctx.request.note = "first";
    writer.BeginReport();
    ctx.request.note = "";
    writer.BeginReport();
    // Empty comment: "<hr>" right after the start line; nothing of the first head.
    EXPECT_EQ(writer.ReportLines(), headWithoutSystem());
}

TEST_F(ReportWriterTest, FirstPassWithoutResultGetsNoBlock) {
    beginRun(2);
    endPass("640", std::nullopt);
    endPass("800", "120.1");

    EXPECT_EQ(writer.ReportLines(), concat({headWithoutSystem(),
                                            block("<BR><B><FONT size=5>Resolution: 800\xC3\x97"
                                                  "600</FONT></B><BR>",
                                                  "2\xC3\x97", "120.1"),
                                            footer()}));
    EXPECT_TRUE(containsRun(log.lines(), {">>> ERROR <<< Source1 not exist.", "HL2B deleted."}));
    EXPECT_TRUE(exists(writer.savedReport()));
    EXPECT_EQ(view.status(), "The benchmarking is successful.");
    expectRunClosed();
}

TEST_F(ReportWriterTest, LastPassWithoutResultAbortsWithoutAReport) {
    beginRun(2);
    endPass("1280", "45.0");
    endPass("1600", std::nullopt);

    EXPECT_EQ(writer.ReportLines(), concat({headWithoutSystem(),
                                            block("<BR><B><FONT size=5>Resolution: 1280\xC3\x97"
                                                  "1024</FONT></B><BR>",
                                                  "2\xC3\x97", "45.0"),
                                            footer()}));
    EXPECT_TRUE(reportFiles().empty());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(writer.savedReport(), "");
    EXPECT_EQ(view.status(), "Benchmark aborted.");
    EXPECT_TRUE(containsRun(log.lines(), {"Benchmark aborted.", "Settings restoring..."}));
    for (const auto& line : log.lines()) EXPECT_NE(line.rfind("Result saved to", 0), 0u) << line;
    expectRunClosed();
}

TEST_F(ReportWriterTest, LastPassWithAnEmptyScoreAbortsToo) {
    beginRun(1);
    endPass("2048", "");

    EXPECT_TRUE(containsRun(writer.ReportLines(), {"<BR><B><FONT size=5>Resolution: 2048\xC3\x97"
                                                   "1536</FONT></B><BR>"}));
    EXPECT_TRUE(containsRun(writer.ReportLines(), {"<span class=\"style5\"><b>Score =  FPS</b></span><br>"}));
    EXPECT_TRUE(reportFiles().empty());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(view.status(), "Benchmark aborted.");
    expectRunClosed();
}

TEST_F(ReportWriterTest, UnknownWidthGivesABlockWithoutHeading) {
    beginRun(2);
    endPass("debug", "10");
    const Lines& lines = writer.ReportLines();
    const std::size_t head = headWithoutSystem().size();
    ASSERT_GT(lines.size(), head);
    EXPECT_EQ(lines[head], "Demo: Quorvane Coast<br>");
}

TEST_F(ReportWriterTest, SavePathFollowsTheLengthOfTheResultsFolderText) {
    struct Case {
        std::string folder;
        std::string saved;
    };
    const std::string sep(1, kPathSep);
    const Case cases[] = {
        {"ab" + sep, "ab" + sep + "result_" + kStamp + ".htm"},                              // 3 characters
        {"abc" + sep, "abc" + sep + sep + "result_" + kStamp + ".htm"},                      // 4 characters
        {"\xC3\xA9\xC3\xA9" + sep, "\xC3\xA9\xC3\xA9" + sep + "result_" + kStamp + ".htm"},  // 3 characters, 5 bytes
    };
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        std::filesystem::create_directories(c.folder);
        ctx.run.ReportPath = c.folder;
        opened.clear();
        beginRun(1);
        endPass("640", "50");

        EXPECT_EQ(writer.savedReport(), c.saved);
        EXPECT_TRUE(exists(c.saved));
        EXPECT_TRUE(containsRun(log.lines(), {"Result saved to " + c.saved, "Settings restoring..."}));
        EXPECT_EQ(opened, (Lines{std::string(c.folder) + "result_" + kStamp + ".htm"}));
    }
    std::filesystem::current_path(oldCwd);
}

TEST_F(ReportWriterTest, InsertedTextsAreEscaped) {
    ctx.paths.BenchPath = dir / "R&D/";
    ctx.run.DemoTitle = "Tom & Jerry <1>";
    ctx.request.note = "AMD <3 & co";
    setSwitch(ctx.request, Check::AddInfo, true);
    storeHardware("", "\"Fast\" <CPU> & more", "", "", "", "");

    beginRun(1);
    endPass("640", "<b>9</b>");

    const Lines& lines = writer.ReportLines();
    EXPECT_EQ(lines[16], "<p align=\"center\"><img src=\"" + dir / "R&amp;D/Others/logo1.gif" +
                             "\" width=\"204\" height=\"204\"></p><br>");
    EXPECT_EQ(lines[17], "   <FONT size=2>&quot;Fast&quot; &lt;CPU&gt; &amp; more</FONT><br>");
    EXPECT_EQ(lines[19], "<FONT size=2><span class=\"style6\">Comment:</span> AMD &lt;3 &amp; co</FONT><br>");
    EXPECT_TRUE(containsRun(lines, {"Demo: Tom &amp; Jerry &lt;1&gt;<br>"}));
    EXPECT_TRUE(containsRun(lines, {"<span class=\"style5\"><b>Score = &lt;b&gt;9&lt;/b&gt; FPS</b></span><br>"}));
    // The log keeps the score as the game wrote it.
    EXPECT_TRUE(containsRun(log.lines(), {"Result: <b>9</b> FPS"}));
}

TEST_F(ReportWriterTest, ReportThatCannotBeSavedIsShownAndTheRunStillEnds) {
    beginRun(1);
    std::filesystem::remove_all(resultsFolder());
    endPass("640", "75.2");

    const std::string path = resultsFolder() + kPathSep + "result_" + kStamp + ".htm";
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(writer.savedReport(), "");
    EXPECT_TRUE(opened.empty());
    EXPECT_NE(view.status().find(path), std::string::npos) << view.status();
    EXPECT_NE(view.status().find(test::missingFolderText()), std::string::npos) << view.status();
    EXPECT_TRUE(std::any_of(log.lines().begin(), log.lines().end(), [&](const std::string& l) {
        return l.rfind(">>> ERROR <<< Error handling. Report save is impossible: " + path, 0) == 0;
    }));
    for (const auto& line : log.lines()) EXPECT_NE(line.rfind("Result saved to", 0), 0u) << line;
    EXPECT_TRUE(containsRun(log.lines(), {"Settings restoring..."}));
    expectRunClosed();
}

TEST_F(ReportWriterTest, DebugModeReportsDebuggingAndWritesTheLogAtTheEnd) {
    ctx.run.DebugMode = true;
    beginRun(1);
    endPass("800", "99");

    EXPECT_EQ(view.status(), "The debugging is successful.");
    const std::string debugLog = readFile(ctx.paths.BenchPath + "debuginfo.txt");
    const std::string closing = "\r\nDEBUG FINISHED.\r\n" + kHyphens + "\r\n";
    ASSERT_GE(debugLog.size(), closing.size());
    EXPECT_EQ(debugLog.substr(debugLog.size() - closing.size()), closing);
    expectRunClosed();
}

TEST_F(ReportWriterTest, NoDebugLogFileOutsideDebugMode) {
    beginRun(1);
    endPass("800", "99");
    EXPECT_FALSE(exists(ctx.paths.BenchPath + "debuginfo.txt"));
}

TEST_F(ReportWriterTest, FinishReportClosesTheRun) {
    beginRun(1);
    writeFile(ctx.paths.SteamPath + "vantor.bat", "steam\r\n");
    bool finished = false;
    writer.FinishReport("12", [&] { finished = true; });
    ASSERT_TRUE(loop.runUntil([&] { return finished; }, 5s));

    EXPECT_EQ(tail(writer.ReportLines(), 4), footer());
    EXPECT_TRUE(exists(writer.savedReport()));
    expectRunClosed();
}

TEST_F(ReportWriterTest, RunEndsOnlyAfterTheUsersFilesAreBack) {
    ctx.timing = Timing::scaled(50);
    writeFile(ctx.paths.CFGPath + "valve.rc", "user rc\r\n");
    ASSERT_TRUE(config.BackupGameConfig());
    ASSERT_NE(readFile(ctx.paths.CFGPath + "valve.rc"), "user rc\r\n");

    beginRun(1);
    ++ctx.run.PassCount;
    ctx.run.CurrentWidth = "640";
    writeFile(csv(), "h1\r\nh2\r\nh3\r\na,b,33,d\r\n");
    bool finished = false;
    writer.FinishPass([&] { finished = true; });
    // The restore pauses on the event loop before moving a file back: the run
    // is not finished yet.
    EXPECT_FALSE(finished);
    EXPECT_FALSE(ctx.run.RunFinished);
    EXPECT_FALSE(view.isEnabled(Control::BenchButton));
    EXPECT_FALSE(view.isEnabled(Control::DebugBtn));
    ASSERT_TRUE(loop.runUntil([&] { return finished; }, 5s));

    EXPECT_EQ(readFile(ctx.paths.CFGPath + "valve.rc"), "user rc\r\n");
    EXPECT_TRUE(exists(writer.savedReport()));
    expectRunClosed();
}

// ---- StampRun -------------------------------------------------------------------

class StampRunTest : public ReportWriterTest {
protected:
    StampRunTest() {
        writer.localTime = [] {
            std::tm t{};
            t.tm_year = 2005 - 1900;
            t.tm_mon = 2;
            t.tm_mday = 14;
            t.tm_hour = 21;
            t.tm_min = 5;
            t.tm_sec = 9;
            t.tm_wday = 1;
            t.tm_yday = 72;
            return t;
        };
        writer.utcOffset = [] { return 3600L; };
    }
};

TEST_F(StampRunTest, FormatsTheInjectedTimeByTheUserLocale) {
    ScopedEnv env("LC_ALL", "C");
    writer.StampRun();
    EXPECT_EQ(ctx.run.StartTime, "03/14/05 21:05:09");
    EXPECT_EQ(ctx.run.FileStamp, "03_14_05_21_05_09");
    // The result files' time of the same reading: the date first, with the zone.
    EXPECT_EQ(ctx.run.StartedIso, "2005-03-14T21:05:09+01:00");
}

TEST(IsoTimeText, WritesTheDateFirstAndTheOffset) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 11;
    t.tm_hour = 6;
    t.tm_min = 52;
    t.tm_sec = 52;
    const std::pair<long, const char*> cases[] = {
        {3600, "2026-12-11T06:52:52+01:00"},      {0, "2026-12-11T06:52:52+00:00"},
        {-5 * 3600, "2026-12-11T06:52:52-05:00"}, {19'800, "2026-12-11T06:52:52+05:30"},
        {-12'600, "2026-12-11T06:52:52-03:30"},   {45'900, "2026-12-11T06:52:52+12:45"},
    };
    for (const auto& [offset, text] : cases) EXPECT_EQ(isoTimeText(t, offset), text) << offset;
}

#ifndef _WIN32
TEST(UtcOffsetAt, FollowsTheUsersZone) {
    // 2026-12-11 06:52:52 UTC; the zones in POSIX form (west of UTC is positive there).
    const std::time_t t = 1'796'971'972;
    const std::pair<const char*, long> cases[] = {
        {"UTC0", 0}, {"CET-1", 3600}, {"EST5", -5 * 3600}, {"IST-5:30", 19'800}, {"NST3:30", -12'600}};
    for (const auto& [zone, offset] : cases) {
        ScopedEnv env("TZ", zone);
        ::tzset();
        EXPECT_EQ(utcOffsetAt(t), offset) << zone;
    }
    ::tzset();
}
#endif

TEST_F(StampRunTest, UnavailableLocaleFallsBackToTheClassicFormats) {
    ScopedEnv env("LC_ALL", "xx_NOWHERE.NOCHARSET");
    writer.StampRun();
    EXPECT_EQ(ctx.run.StartTime, "03/14/05 21:05:09");
    EXPECT_EQ(ctx.run.FileStamp, "03_14_05_21_05_09");
}

TEST_F(ReportWriterTest, StampRunWithoutAnInjectedTimeUsesTheClock) {
    ScopedEnv env("LC_ALL", "C");
    // The C locale's date is mm/dd/yy; read before and after in case the day turns.
    auto today = [] {
        const std::time_t now = std::time(nullptr);
        char date[16];
        std::strftime(date, sizeof date, "%m/%d/%y", std::localtime(&now));
        return std::string(date);
    };
    const std::string before = today();
    writer.StampRun();
    const std::string after = today();
    const std::string date = ctx.run.StartTime.substr(0, 8);
    EXPECT_TRUE(date == before || date == after) << ctx.run.StartTime;
    EXPECT_EQ(ctx.run.StartTime.size(), 17u) << ctx.run.StartTime;
    // The stamp is made of the same reading.
    EXPECT_EQ(ctx.run.FileStamp, fileStampOf(ctx.run.StartTime));
}

}  // namespace
}  // namespace vantor

// ---- several passes, summary, result files -----------------------------------------

namespace vantor {
namespace {

const std::string kTimes = "\xC3\x97";

std::string heading(Resolution r) { return "<BR><B><FONT size=5>Resolution: " + resolutionText(r) + "</FONT></B><BR>"; }

TEST_F(ReportWriterTest, SeveralPassesShowTheirMeanOnTheScoreLine) {
    ctx.run.Passes.passes = 3;
    beginRun(2);
    endPassOf({1024, 768}, "80", false, false);
    endPassOf({1024, 768}, "90.5", false, false);
    endPassOf({1024, 768}, "100", true, false);
    endPassOf({1920, 1080}, std::nullopt, false, false);  // a pass without a result counts for nothing
    endPassOf({1920, 1080}, "60", false, false);
    endPassOf({1920, 1080}, " 70 ", true, true);

    const Lines expected = concat({headWithoutSystem(), block(heading({1024, 768}), "2" + kTimes, "90.17"),
                                   block(heading({1920, 1080}), "2" + kTimes, "65.00"), footer()});
    EXPECT_EQ(writer.ReportLines(), expected);
    EXPECT_EQ(readFile(resultsFolder() + "/result_" + kStamp + ".htm"), encodeTextLines(expected));
    EXPECT_EQ(reportFiles(), (std::vector<std::string>{std::string("result_") + kStamp + ".htm"}));
}

TEST_F(ReportWriterTest, TodaysSizesGetAHeadingWithTheirHeight) {
    beginRun(3);
    endPass("1280", "90");  // the classic 1280×1024
    endPassOf({1280, 720}, "120", true, false);
    endPassOf({3840, 2160}, "30", true, true);
    Lines headings;
    for (const auto& l : writer.ReportLines())
        if (l.rfind("<BR><B>", 0) == 0) headings.push_back(l);
    EXPECT_EQ(headings, (Lines{heading({1280, 1024}), heading({1280, 720}), heading({3840, 2160})}));
}

TEST_F(ReportWriterTest, SummaryAndChartComeBeforeTheFooterInWindows1252) {
    ctx.run.Passes.passes = 2;
    ctx.run.ReportSummary = true;
    beginRun(2);
    endPassOf({800, 600}, std::nullopt, false, false);
    endPassOf({800, 600}, std::nullopt, true, false);
    endPassOf({1024, 768}, "80", false, false);
    endPassOf({1024, 768}, "100", true, true);

    const Lines& lines = writer.ReportLines();
    const Lines summary = {
        "<BR><B><FONT size=5>Summary</FONT></B><BR>",
        "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">",
        "<tr><th>Resolution</th><th>Passes</th><th>Mean</th><th>Min</th><th>Max</th><th>Spread</th></tr>",
        "<tr><td nowrap>800" + kTimes +
            "600</td><td>2 passes as set</td><td nowrap>no result</td><td nowrap>-</td><td nowrap>-</td>"
            "<td nowrap>-</td></tr>",
        "<tr><td nowrap>1024" + kTimes +
            "768</td><td>2 passes as set</td><td nowrap>90.00 FPS</td><td nowrap>80.00</td><td nowrap>100.00</td>"
            "<td nowrap>&plusmn;14.14 (15.7%)</td></tr>",
        "</table><br>"};
    EXPECT_TRUE(containsRun(lines, concat({block(heading({1024, 768}), "2" + kTimes, "90.00"), summary})));
    // The chart: one row per resolution, the largest mean the full bar.
    EXPECT_TRUE(containsRun(lines, {"<text x=\"102\" y=\"38\" text-anchor=\"end\">800" + kTimes + "600</text>",
                                    "<text x=\"110\" y=\"38\" fill=\"#990000\">no result</text>",
                                    "<text x=\"102\" y=\"64\" text-anchor=\"end\">1024" + kTimes + "768</text>",
                                    "<rect x=\"110\" y=\"50\" width=\"420\" height=\"18\" fill=\"#0066FF\"/>",
                                    "<text x=\"536\" y=\"64\">90.00</text>", "</svg>", "<br><HR>"}));
    EXPECT_EQ(tail(lines, 5), concat({{"<br><HR>"}, footer()}));
    // Every character has its Windows-1252 byte: the file reads back as written.
    const std::string bytes = readFile(resultsFolder() + "/result_" + kStamp + ".htm");
    EXPECT_EQ(bytes, encodeTextLines(lines));
    EXPECT_EQ(fromWindows1252(bytes), [&] {
        std::string utf8;
        for (const auto& l : lines) utf8 += l + "\r\n";
        return utf8;
    }());
    EXPECT_EQ(bytes.find("<script"), std::string::npos);
}

// RFC 4180 fields: quotes, doubled quotes, CR LF line ends.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::exchange(field, {}));
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && row.empty()) << "the last line has no CR LF";
    return rows;
}

TEST_F(ReportWriterTest, ResultFilesHoldTheSettingsAndEveryPassAndReadBackEqual) {
    ctx.run.Passes.passes = 2;
    ctx.run.Passes.adaptive = true;
    ctx.run.Passes.thresholdPercent = 4;
    ctx.run.Passes.cap = 6;
    ctx.run.ResultFiles = true;
    ctx.request.note = "Quiet, \"cool\" room \xC3\xA9";
    setChoiceIndex(ctx.request, Choice::Refresh, 2);
    beginRun(2);
    endPassOf({800, 600}, "87.5", false, false);
    endPassOf({800, 600}, std::nullopt, true, false);
    endPassOf({1920, 1080}, " 61.5", false, false);
    endPassOf({1920, 1080}, "n/a", true, true);

    const std::string base = resultsFolder() + "result_" + kStamp;
    EXPECT_EQ(writer.resultFiles(), (std::vector<std::string>{base + ".json", base + ".csv"}));
    const auto& passes = writer.passScores();
    ASSERT_EQ(passes.size(), 4u);

    // JSON: what was written parses back to the run's values.
    const auto json = nlohmann::json::parse(readFile(base + ".json"));
    EXPECT_EQ(json["started"], "2005-03-14T21:05:09-05:00");
    EXPECT_EQ(json["report"], base + ".htm");
    const auto& s = json["settings"];
    EXPECT_EQ(s["demo"], "Quorvane Coast");
    EXPECT_EQ(s["antialiasing"], "2" + kTimes);
    EXPECT_EQ(s["refresh"], "75 Hz");
    EXPECT_EQ(s["fastZ"], true);
    EXPECT_EQ(s["note"], ctx.request.note);
    // The names `vantor-cli export` gives them, in its order.
    std::vector<std::string> names;
    const auto ordered = nlohmann::ordered_json::parse(readFile(base + ".json"));
    for (const auto& item : ordered["settings"].items()) names.push_back(item.key());
    EXPECT_EQ(names, (std::vector<std::string>{"demo", "detail", "antialiasing", "filtering", "directx", "heapsize",
                                               "refresh", "fastZ", "note", "passes", "adaptive", "threshold", "cap"}));
    EXPECT_EQ(s["passes"], 2);
    EXPECT_EQ(s["adaptive"], true);
    EXPECT_EQ(s["threshold"], 4);
    EXPECT_EQ(s["cap"], 6);
    const auto& res = json["resolutions"];
    ASSERT_EQ(res.size(), 2u);
    EXPECT_EQ(res[0]["resolution"], "800" + kTimes + "600");
    EXPECT_EQ(res[1]["width"], 1920);
    EXPECT_EQ(res[1]["height"], 1080);
    const std::vector<nlohmann::json> scores = {res[0]["passes"][0]["score"], res[0]["passes"][1]["score"],
                                                res[1]["passes"][0]["score"], res[1]["passes"][1]["score"]};
    EXPECT_EQ(scores, (std::vector<nlohmann::json>{87.5, nullptr, 61.5, "n/a"}));
    EXPECT_EQ(res[0]["stats"]["mean"], 87.5);
    EXPECT_EQ(res[0]["reason"], "2 passes; fewer than two scores, so no spread to judge");

    // CSV: a header, then one line per pass with the settings in each.
    const auto rows = readCsv(readFile(base + ".csv"));
    ASSERT_EQ(rows.size(), 5u);
    std::vector<std::string> header;
    {
        std::string h = kResultCsvHeader;
        std::size_t at = 0;
        for (std::size_t comma; (comma = h.find(',', at)) != std::string::npos; at = comma + 1)
            header.push_back(h.substr(at, comma - at));
        header.push_back(h.substr(at));
    }
    EXPECT_EQ(rows[0], header);
    auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const auto& row = rows[i + 1];
        ASSERT_EQ(row.size(), header.size()) << i;
        const auto r = resolutionOfPass(passes[i]);
        ASSERT_TRUE(r);
        EXPECT_EQ(row[column("width")], std::to_string(r->width));
        EXPECT_EQ(row[column("height")], std::to_string(r->height));
        EXPECT_EQ(row[column("resolution")], resolutionText(*r));
        EXPECT_EQ(row[column("pass")], std::to_string(i % 2 + 1));
        // The game's text without the blanks around it; empty without a result.
        const std::string expectedScores[] = {"87.5", "", "61.5", "n/a"};
        EXPECT_EQ(row[column("score")], expectedScores[i]) << i;
        EXPECT_EQ(row[column("setting:note")], ctx.request.note);
        EXPECT_EQ(row[column("started")], "2005-03-14T21:05:09-05:00");
        // The export's columns and texts.
        EXPECT_EQ(row[column("setting:fastZ")], "Enabled");
        EXPECT_EQ(row[column("setting:refresh")], "75 Hz");
        EXPECT_EQ(row[column("setting:passes")], "2");
        EXPECT_EQ(row[column("setting:adaptive")], "yes");
        EXPECT_EQ(row[column("setting:threshold")], "4%");
        EXPECT_EQ(row[column("setting:cap")], "6");
    }
}

TEST_F(ReportWriterTest, NoResultFilesWhenTurnedOffOrWithoutAReport) {
    beginRun(1);
    endPass("800", "90");  // ResultFiles off
    EXPECT_EQ(reportFiles(), (std::vector<std::string>{std::string("result_") + kStamp + ".htm"}));
    EXPECT_TRUE(writer.resultFiles().empty());

    std::filesystem::remove_all(resultsFolder());
    std::filesystem::create_directories(resultsFolder());
    ctx.run.ResultFiles = true;
    beginRun(1);
    endPass("800", std::nullopt);  // aborted: no report, no result files
    EXPECT_TRUE(reportFiles().empty());
    EXPECT_TRUE(writer.resultFiles().empty());
}

}  // namespace
}  // namespace vantor
