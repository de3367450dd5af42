#include "report/ResultReader.h"

#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeView.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vantor {
namespace {

using test::exists;
using test::writeFile;
using Lines = std::vector<std::string>;

class NoProcesses : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>&) override { return true; }
};

// ---- extractScore ------------------------------------------------------------

struct ScoreCase {
    const char* line;
    const char* score;
};

class ExtractScoreTest : public ::testing::TestWithParam<ScoreCase> {};

TEST_P(ExtractScoreTest, TakesTheThirdFieldOrNothing) {
    EXPECT_EQ(extractScore(GetParam().line), GetParam().score) << "line: " << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Lines, ExtractScoreTest,
                         ::testing::Values(ScoreCase{"a,b,c,d", "c"},          // four fields
                                           ScoreCase{"a,b,,d", ""},            // empty third field
                                           ScoreCase{"a,b,c", ""},             // two commas: no third field ends
                                           ScoreCase{"a,b", ""},               // one comma
                                           ScoreCase{"abc", ""},               // no commas
                                           ScoreCase{"", ""},                  // empty line
                                           ScoreCase{"a,b, 87.5,d", " 87.5"},  // the leading blank is kept
                                           ScoreCase{"a,b,abc,d", "abc"},      // no number: taken unchanged
                                           ScoreCase{",,42,", "42"},           // empty first fields
                                           ScoreCase{"1024,768,61.27,9,8,7", "61.27"}, ScoreCase{"a,,,", ""}));

// ---- reading and removing the pass files -----------------------------------------

class ResultReaderTest : public ::testing::Test {
protected:
    ResultReaderTest() {
        ctx.paths.ResultsPath = dir / "hl2/";
        ctx.paths.SteamPath = dir / "steam/";
        std::filesystem::create_directories(ctx.paths.ResultsPath);
        std::filesystem::create_directories(ctx.paths.SteamPath);
    }

    std::string csv() const { return ctx.paths.ResultsPath + "sourcebench.csv"; }
    std::string copy() const { return ctx.paths.ResultsPath + "sourcebench.txt"; }
    std::string launchBatch() const { return ctx.paths.SteamPath + "vantor.bat"; }
    std::string steamBatch() const { return ctx.paths.SteamPath + "steam.bat"; }

    test::TempDir dir;
    test::FakeView view;
    test::FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    SettingsStore store{registry};
    DebugLog log;
    NoProcesses processes;
    AppContext ctx{view, dialogs, loop, store, log, processes};
    ResultReader reader{ctx};
};

TEST_F(ResultReaderTest, ReadsTheScoreFromACopyAndLogsEachStep) {
    const std::string bytes =
        "Source engine benchmark\r\nversion,3\r\nwidth,height,fps,frames\r\n1024,768,87.53,1200\r\n";
    writeFile(csv(), bytes);

    const PassResult r = reader.ReadPassResult();

    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "87.53");
    EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", "Source1 conversion successful.", "Source2 loading, editing.",
                                  "Result: 87.53 FPS"}));
    // The results file is left as it is; the copy holds the same bytes.
    EXPECT_EQ(test::readFile(csv()), bytes);
    EXPECT_EQ(test::readFile(copy()), bytes);
    // The working list keeps the lines after the three header lines.
    EXPECT_EQ(reader.ResultLines(), (Lines{"1024,768,87.53,1200"}));
}

TEST_F(ResultReaderTest, EmptyThirdFieldIsFoundWithAnEmptyScoreAndNoErrorLine) {
    writeFile(csv(), "h1\nh2\nh3\na,b,,d\n");

    const PassResult r = reader.ReadPassResult();

    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "");
    EXPECT_EQ(log.lines().back(), "Result:  FPS");
    for (const auto& line : log.lines()) EXPECT_EQ(line.find(">>> ERROR <<<"), std::string::npos) << line;
}

TEST_F(ResultReaderTest, OnlyTheThirdFieldOfTheFourthLineMatters) {
    // Numbers everywhere else (header lines, a fifth line) never reach the score.
    const char* files[] = {
        "1,2,3,4\n5,6,7,8\n9,10,11,12\nx,y,42,z\n", "a,b,99,d\na,b,98,d\na,b,97,d\nx,y,42,z\na,b,96,d\n",
        "\n\n\nx,y,42,z\n13,14,15,16\n17,18,19,20",
        "h1\r\nh2\r\nh3\r\nx,y,42,z",  // no final line break
    };
    for (const char* bytes : files) {
        log.clear();
        writeFile(csv(), bytes);
        const PassResult r = reader.ReadPassResult();
        EXPECT_TRUE(r.found) << bytes;
        EXPECT_EQ(r.score, "42") << bytes;
    }
}

TEST_F(ResultReaderTest, MissingResultsFileGivesExactlyOneErrorLine) {
    const PassResult r = reader.ReadPassResult();

    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.score, "");
    EXPECT_EQ(log.lines(), (Lines{">>> ERROR <<< Source1 not exist."}));
}

TEST_F(ResultReaderTest, LeftoverCopyIsDeletedAfterAPassWithoutResults) {
    writeFile(copy(), "h1\nh2\nh3\na,b,55,d\n");  // from an earlier failed pass

    const PassResult r = reader.ReadPassResult();
    reader.RemovePassFiles();

    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.score, "");
    EXPECT_EQ(log.lines(), (Lines{">>> ERROR <<< Source1 not exist.", "Source2 deleted."}));
    EXPECT_FALSE(exists(copy()));
}

TEST_F(ResultReaderTest, FileWithFewerThanFourLinesIsAPassWithoutResult) {
    for (const char* bytes : {"", "h1\r\n", "h1\r\nh2\r\nh3\r\n", "h1\nh2\na,b,42,d"}) {
        log.clear();
        writeFile(csv(), bytes);

        const PassResult r = reader.ReadPassResult();

        EXPECT_FALSE(r.found) << '"' << bytes << '"';
        EXPECT_EQ(r.score, "");
        EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", "Source1 conversion successful.", "Source2 loading, editing.",
                                      ">>> ERROR <<< Source2 has fewer than four lines."}));
    }
}

// Only four bounded lines are read: a longer line among them is no result of
// the game's; what follows the fourth line is never read.
TEST_F(ResultReaderTest, ALineBeyondTheBoundIsAMalformedResult) {
    const std::string huge(ResultReader::kTimedemoLineBound + 1, '9');
    const std::string justFits(ResultReader::kTimedemoLineBound - 5, '7');  // "a,b," and "," make the bound
    struct Case {
        std::string bytes;
        bool found;
        std::string score;
    };
    const Case cases[] = {
        {"h1\nh2\nh3\na,b," + huge + ",d\n", false, ""},
        {"h1\nh2\nh3\na,b," + huge, false, ""},
        {huge + "\nh2\nh3\na,b,42,d\n", false, ""},
        {"h1\nh2\nh3\na,b,42,d\n" + std::string(3 * 1024 * 1024, 'x'), true, "42"},
        {"h1\nh2\nh3\na,b," + justFits + ",\n", true, justFits},
        {"h1\rh2\rh3\ra,b,abc,d", true, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        log.clear();
        writeFile(csv(), c.bytes);
        const PassResult r = reader.ReadPassResult();
        EXPECT_EQ(r.found, c.found);
        EXPECT_EQ(r.score, c.score);
        if (!c.found) {
            EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", "Source1 conversion successful.",
                                          "Source2 loading, editing.", ">>> ERROR <<< Source2 line is too long."}));
        }
    }
}

TEST_F(ResultReaderTest, CopyThatCannotBeMadeIsAPassWithoutResult) {
    // The working copy's place is taken by a non-empty folder: the copy fails.
    writeFile(copy() + "/keep", "x");
    writeFile(csv(), "h1\nh2\nh3\na,b,42,d\n");

    const PassResult r = reader.ReadPassResult();

    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.score, "");
    EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", ">>> ERROR <<< Error handling. Source2 loading is impossible."}));
    EXPECT_TRUE(reader.ResultLines().empty());
}

TEST_F(ResultReaderTest, RemovePassFilesDeletesAllFourFilesAndLogsEach) {
    for (const auto& f : {csv(), copy(), launchBatch(), steamBatch()}) writeFile(f, "x\r\n");

    reader.RemovePassFiles();

    EXPECT_EQ(log.lines(), (Lines{"Source1 deleted.", "Source2 deleted.", "HL2B deleted.", "SteamB deleted."}));
    for (const auto& f : {csv(), copy(), launchBatch(), steamBatch()}) EXPECT_FALSE(exists(f)) << f;
}

TEST_F(ResultReaderTest, RemovePassFilesLogsOnlyTheFilesThatWereThere) {
    writeFile(launchBatch(), "x\r\n");

    reader.RemovePassFiles();
    EXPECT_EQ(log.lines(), (Lines{"HL2B deleted."}));
    EXPECT_FALSE(exists(launchBatch()));

    log.clear();
    reader.RemovePassFiles();
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ResultReaderTest, EachPassReadsItsOwnFile) {
    writeFile(csv(), "h1\nh2\nh3\na,b,10,d\n");
    EXPECT_EQ(reader.ReadPassResult().score, "10");
    reader.RemovePassFiles();

    writeFile(csv(), "h1\nh2\nh3\na,b,20,d\n");
    EXPECT_EQ(reader.ReadPassResult().score, "20");
    EXPECT_EQ(reader.ResultLines(), (Lines{"a,b,20,d"}));
}

// ---- today's shape: named columns, one row appended per timed demo ----------------

// The header today's engine writes when it creates the file.
constexpr const char* kTodayHeader =
    "demofile,fps,framerate variability,totaltime,numframes,width,height,windowed,vsync,MSAA,Aniso,dxlevel,cmdline,"
    "driver name,vendor id,device id,Reduce fillrate,reflect entities,motion blur,flashlight shadows,"
    "mat_reduceparticles,r_dopixelvisibility,nulldevice,timedemo_comment,";

// A row as the engine prints it: the numbers padded ("%5.1f"), every field
// followed by a comma.
std::string todayRow(const std::string& demo, const std::string& fps, int width, int height) {
    return demo + "," + fps + ",  3.2, 21.4,1873," + std::to_string(width) + "," + std::to_string(height) +
           ",fullscreen,off,4,8,95,/games/hl2_linux -game hl2 -width " + std::to_string(width) +
           ",Mesa,0x1002,0x73bf,off,on,off,on,off,on,no,,";
}

class TodayShape : public ResultReaderTest {
protected:
    TodayShape() { ctx.run.CurrentWidth = "1024"; }
    std::string todayCsv() const { return ctx.paths.ResultsPath + "SourceBench.csv"; }
};

TEST_F(TodayShape, TheFpsColumnOfTheRowIsTheScoreWithoutItsPadding) {
    const std::string row = todayRow("qvn_coast1.dem", " 87.5", 1024, 768);
    // A bare CR ends a line too, as it does in the first shape.
    for (const char* lineEnd : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(std::string(lineEnd) == "\r\n" ? "CR LF" : lineEnd[0] == '\r' ? "CR" : "LF");
        log.clear();
        writeFile(todayCsv(), std::string(kTodayHeader) + lineEnd + row + lineEnd);

        const PassResult r = reader.ReadPassResult();

        EXPECT_TRUE(r.found);
        EXPECT_EQ(r.score, "87.5");
        EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", "Source1 conversion successful.", "Source2 loading, editing.",
                                      "Result: 87.5 FPS"}));
        EXPECT_EQ(reader.ResultLines(), (Lines{kTodayHeader, row}));
        // The file is found and removed under the name the engine gave it.
        reader.RemovePassFiles();
        EXPECT_EQ(log.lines().at(4), "Source1 deleted.");
        EXPECT_FALSE(exists(todayCsv()));
    }
}

TEST_F(TodayShape, ColumnsAreFoundByNameAndTheLastRowIsTheNewest) {
    // Another column order, names in another case, rows of earlier runs above.
    writeFile(csv(), "Width , HEIGHT,fps,demofile\n640,480,150.2,a.dem\n1024,768,99.9,a.dem\n1024,768, 61.3,b.dem\n\n");
    const PassResult r = reader.ReadPassResult();
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "61.3");
}

TEST_F(TodayShape, OnlyTheHeaderAndTheLastRowAreReadFromALongFile) {
    std::string bytes = std::string(kTodayHeader) + "\n";
    while (bytes.size() < 4 * ResultReader::kTimedemoLineBound) bytes += todayRow("old.dem", " 10.0", 800, 600) + "\n";
    bytes += todayRow("new.dem", "123.4", 1024, 768) + "\n";
    writeFile(csv(), bytes);
    const PassResult r = reader.ReadPassResult();
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "123.4");
    EXPECT_EQ(reader.ResultLines().size(), 2u);
}

TEST_F(TodayShape, ARowForAnotherResolutionIsNotThisPasssResult) {
    writeFile(csv(), std::string(kTodayHeader) + "\n" + todayRow("qvn_coast1.dem", " 95.1", 800, 600) + "\n");

    const PassResult r = reader.ReadPassResult();

    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.score, "");
    EXPECT_EQ(log.lines(), (Lines{"Source1 exist.", "Source1 conversion successful.", "Source2 loading, editing.",
                                  ">>> ERROR <<< Source2 holds the result of 800×600, not of 1024×768."}));
}

TEST_F(TodayShape, AFileWithoutAUsableRowIsAPassWithoutResult) {
    const std::string header = std::string(kTodayHeader) + "\n";
    struct Case {
        const char* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {"header only", header, "Source2 holds no result row."},
        {"header without a line break", kTodayHeader, "Source2 holds no result row."},
        {"blank lines after the header", header + "\n\r\n \n", "Source2 holds no result row."},
        {"row cut short", header + "qvn_coast1.dem, 87.5,  3.2, 21.4,1873,1024",
         "Source2 result row has too few fields."},
        {"row without commas", header + "qvn_coast1.dem 87.5 fps\n", "Source2 result row has too few fields."},
        {"row longer than the bound", header + std::string(ResultReader::kTimedemoLineBound + 10, 'x') + "\n",
         "Source2 result row is too long."},
        {"width and height that are no numbers", header + "d.dem, 87.5,  1.0, 21.4,1873,w,h,fullscreen,\n",
         "Source2 holds the result of w×h, not of 1024×768."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        writeFile(csv(), c.bytes);
        const PassResult r = reader.ReadPassResult();
        EXPECT_FALSE(r.found);
        EXPECT_EQ(r.score, "");
        ASSERT_FALSE(log.lines().empty());
        EXPECT_EQ(log.lines().back(), std::string(">>> ERROR <<< ") + c.error);
    }
}

TEST_F(TodayShape, AHeaderWithoutTheNeededColumnsIsReadTheFirstWay) {
    // Without fps, width and height by name, the third field of the fourth line counts.
    writeFile(csv(), "demofile,fps,frames\nh2\nh3\na,b,42,d\n");
    const PassResult r = reader.ReadPassResult();
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "42");
}

TEST_F(TodayShape, OutsideAPassTheResolutionIsNotChecked) {
    ctx.run.CurrentWidth = "debug";
    writeFile(csv(), std::string(kTodayHeader) + "\n" + todayRow("d.dem", " 50.0", 800, 600) + "\n");
    const PassResult r = reader.ReadPassResult();
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.score, "50.0");
}

}  // namespace
}  // namespace vantor
