// A finished run as the history stores it: scores as numbers, each pass's wall
// time from the report's pass of the same width, none in debug mode.
#include "app/RunHistory.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

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

TEST(RunHistory, PassesTakeTheirScoresAndTheWallTimeOfTheReportPassOfTheirWidth) {
    // The report knows a pass of a width the summary leaves out (1920): the
    // passes after it keep their own times.
    const std::vector<PassScore> report = {{"640", true, " 120.50", 11.0},
                                           {"1920", true, "60.00", 30.0},
                                           {"800", false, "", 12.0},
                                           {"1024", true, "80.25x", 13.0}};
    const RunSummary summary = summaryOf({{640, 480, "640\u00d7480", "120.50"},
                                          {800, 600, "800\u00d7600", std::nullopt},
                                          {1024, 768, "1024\u00d7768", "80.25x"}});
    const std::vector<NamedValue> hardware = {{"CPU", "Test CPU"}};

    const StoredRun run = storedRunOf(summary, report, false, hardware);
    EXPECT_EQ(run.demo, "Quorvane - Coast");
    EXPECT_EQ(run.version, VANTOR_VERSION);
    EXPECT_EQ(run.started, summary.started);
    EXPECT_EQ(run.report, summary.report);
    EXPECT_EQ(run.hardware, hardware);
    EXPECT_EQ(run.time.size(), std::string("2026-12-11T00:40:12Z").size());
    const std::vector<StoredPass> passes = {{640, 480, 120.5, 11.0},
                                            {800, 600, std::nullopt, 12.0},
                                            // A score that is not a number is no score.
                                            {1024, 768, std::nullopt, 13.0}};
    EXPECT_EQ(run.passes, passes);
    EXPECT_NE(std::find(run.settings.begin(), run.settings.end(), NamedValue{"fastZ", "Enabled"}), run.settings.end());
    EXPECT_NE(std::find(run.settings.begin(), run.settings.end(), NamedValue{"debug", "no"}), run.settings.end());

    // Debug mode slows its passes down: their times say nothing about a run.
    const StoredRun debug = storedRunOf(summary, report, true, {});
    for (const auto& p : debug.passes) EXPECT_FALSE(p.seconds);
    EXPECT_NE(std::find(debug.settings.begin(), debug.settings.end(), NamedValue{"debug", "yes"}),
              debug.settings.end());
}

TEST(RunHistory, StoreRunReportsWhyARunWasNotStored) {
    TempDir dir;
    writeFile(dir / "file", "a file where the folder should be");
    const StoredRun run = storedRunOf(summaryOf({{640, 480, "640\u00d7480", "100.00"}}), {}, false, {});

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
