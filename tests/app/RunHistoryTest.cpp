// A finished run as the history stores it: scores as numbers, each pass's wall
// time from the report's pass of the same width, none in debug mode.
#include "app/RunHistory.h"

#include "app/MainController.h"
#include "core/ProgramVersion.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "report/ResultExport.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vantor;
using namespace vantor::test;

namespace {

RunSummary summaryOf(std::vector<PassSummary> passes) {
    RunSummary s;
    s.status = "The benchmarking is successful.";
    s.report = "/r/result_1.htm";
    s.started = "12/11/26 01:40:12";
    s.settings.demo = "Quorvane - Coast";
    s.settings.detail = "Maximum";
    s.settings.fastZ = true;
    s.passes = std::move(passes);
    return s;
}

}  // namespace

TEST(RunHistory, PassesTakeTheirScoresAndTheWallTimeOfTheReportPassOfTheirSize) {
    // The report knows a pass the summary leaves out (no resolution): the
    // passes after it keep their own times.
    const std::vector<PassScore> report = {{"640", true, " 120.50", 0, 11.0},   {"", true, "60.00", 0, 30.0},
                                           {"800", false, "", 0, 12.0},         {"1024", true, "80.25x", 0, 13.0},
                                           {"1920", true, "44.00", 1080, 14.0}, {"1920", true, "45.00", 1080, 15.0}};
    const RunSummary summary = summaryOf({{640, 480, "640\u00d7480", "120.50"},
                                          {800, 600, "800\u00d7600", std::nullopt},
                                          {1024, 768, "1024\u00d7768", "80.25x"},
                                          {1920, 1080, "1920\u00d71080", "44.00"},
                                          {1920, 1080, "1920\u00d71080", "45.00"}});
    const std::vector<NamedValue> hardware = {{"CPU", "Test CPU"}};
    PassPolicy policy;
    policy.passes = 2;
    policy.adaptive = true;

    const StoredRun run = storedRunOf(summary, report, policy, false, hardware);
    EXPECT_EQ(run.demo, "Quorvane - Coast");
    EXPECT_EQ(run.version, programVersion());
    EXPECT_EQ(run.started, summary.started);
    EXPECT_EQ(run.report, summary.report);
    EXPECT_EQ(run.hardware, hardware);
    EXPECT_EQ(run.time.size(), std::string("2026-12-11T00:40:12Z").size());
    const std::vector<StoredPass> passes = {{640, 480, 120.5, 11.0},
                                            {800, 600, std::nullopt, 12.0},
                                            // A score that is not a number is no score.
                                            {1024, 768, std::nullopt, 13.0},
                                            {1920, 1080, 44.0, 14.0},
                                            {1920, 1080, 45.0, 15.0}};
    EXPECT_EQ(run.passes, passes);
    auto has = [](const StoredRun& r, const NamedValue& v) {
        return std::find(r.settings.begin(), r.settings.end(), v) != r.settings.end();
    };
    for (const NamedValue& v : std::vector<NamedValue>{
             {"fastZ", "Enabled"}, {"passes", "2"}, {"adaptive", "yes"}, {"threshold", "3%"}, {"debug", "no"}})
        EXPECT_TRUE(has(run, v)) << v.name;

    // Debug mode slows its passes down: their times say nothing about a run.
    const StoredRun debug = storedRunOf(summary, report, policy, true, {});
    for (const auto& p : debug.passes) EXPECT_FALSE(p.seconds);
    EXPECT_TRUE(has(debug, {"debug", "yes"}));
}

TEST(RunHistory, TheStoredSettingsAreTheResultFilesSettingsByNameAndText) {
    // `vantor-cli export` prints the stored settings as "setting:NAME"; the
    // result CSV beside the report has the same columns with the same texts.
    RunSummary summary = summaryOf({{640, 480, "640\u00d7480", "100.00"}});
    summary.settings.refresh = "75 Hz";
    PassPolicy policy;
    policy.passes = 3;
    policy.thresholdPercent = 4;
    const StoredRun run = storedRunOf(summary, {}, policy, false, {});

    RunRecord record;
    record.started = "2026-12-11T01:40:12+01:00";
    record.settings = summary.settings;
    record.passes = policy;
    record.resolutions = {ResolutionResult{}};
    record.resolutions[0].resolution = {640, 480};
    record.resolutions[0].passes = {PassScore{"640", true, "100.00", 480, 1.0}};
    const std::string csv = resultCsv(record);
    auto fields = [](const std::string& line) {
        std::vector<std::string> out;
        std::size_t at = 0;
        for (std::size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1)
            out.push_back(line.substr(at, comma - at));
        out.push_back(line.substr(at));
        return out;
    };
    const auto header = fields(csv.substr(0, csv.find("\r\n")));
    const auto row = fields(csv.substr(csv.find("\r\n") + 2, csv.rfind("\r\n") - csv.find("\r\n") - 2));
    ASSERT_EQ(header.size(), row.size()) << csv;
    std::vector<NamedValue> inCsv;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (header[i].rfind("setting:", 0) == 0) inCsv.push_back({header[i].substr(8), row[i]});
    std::vector<NamedValue> stored = run.settings;
    stored.erase(std::remove_if(stored.begin(), stored.end(), [](const NamedValue& v) { return v.name == "debug"; }),
                 stored.end());
    EXPECT_EQ(inCsv, stored) << csv;
    EXPECT_NE(std::find(inCsv.begin(), inCsv.end(), NamedValue{"fastZ", "Enabled"}), inCsv.end()) << csv;
}

TEST(RunHistory, StoreRunReportsWhyARunWasNotStored) {
    TempDir dir;
    writeFile(dir / "file", "a file where the folder should be");
    const StoredRun run = storedRunOf(summaryOf({{640, 480, "640\u00d7480", "100.00"}}), {}, PassPolicy{}, false, {});

    const HistoryOutcome blocked = storeRun(dir / "file/history.db", run);
    EXPECT_EQ(blocked.id, 0);
    EXPECT_NE(blocked.error, "");

    const HistoryOutcome none = storeRun("", run);
    EXPECT_EQ(none.error, "no folder for the user's data is known");

    const HistoryOutcome stored = storeRun(dir / "data/history.db", run);
    EXPECT_EQ(stored.id, 1);
    EXPECT_EQ(stored.error, "");
    EXPECT_EQ(HistoryStore(dir / "data/history.db").run(1)->passes, run.passes);
}

// The time estimate's source for a resolution's first pass: the stored passes
// of the same demo and size in the user's history.
TEST(RunHistory, TheRunEstimateTakesAFirstPassFromTheHistory) {
    TempDir dir;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string restore = previous ? previous : "";
    vantor::test::setEnv("XDG_DATA_HOME", (dir / "data").c_str());
    {
        StoredRun r = storedRunOf(summaryOf({}), {}, PassPolicy{}, false, {});
        r.passes = {{640, 480, 100.0, 20.0}, {640, 480, 101.0, 22.0}, {800, 600, 90.0, 31.5}};
        HistoryStore(historyFilePath()).add(r);
    }
    FakeView view;
    FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry reg;
    FakeProcesses processes;
    MainController controller(view, dialogs, loop, reg, processes);
    const auto& source = controller.sequencer().estimate().history;
    ASSERT_TRUE(source);
    EXPECT_EQ(source("Quorvane - Coast", 640, 480), std::chrono::milliseconds(21000));
    EXPECT_EQ(source("Quorvane - Coast", 800, 600), std::chrono::milliseconds(31500));
    EXPECT_EQ(source("Quorvane - Coast", 1024, 768), std::nullopt);
    EXPECT_EQ(source("Quorvane - Canals", 640, 480), std::nullopt);
    vantor::test::setEnv("XDG_DATA_HOME", restore.c_str());
}
