#include "run/RunEstimate.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

using namespace std::chrono_literals;
using Clock = RunEstimate::Clock;
using std::chrono::milliseconds;

constexpr Resolution kA{800, 600};
constexpr Resolution kB{1920, 1080};

class RunEstimateTest : public ::testing::Test {
protected:
    // A pass of r from t0 + start to t0 + end (seconds).
    void pass(Resolution r, int start, int end) {
        estimate.passStarted(r, t0 + std::chrono::seconds(start));
        estimate.passEnded(r, t0 + std::chrono::seconds(end));
    }
    std::optional<milliseconds> leftAt(int second) const {
        return estimate.timeLeft(t0 + std::chrono::seconds(second));
    }

    RunEstimate estimate;
    Clock::time_point t0 = Clock::now();
};

TEST_F(RunEstimateTest, UnknownUntilAPassHasEnded) {
    estimate.begin("Coast", {{kA, 2}, {kB, 2}});
    EXPECT_EQ(leftAt(0), std::nullopt);
    estimate.passStarted(kA, t0);
    EXPECT_EQ(leftAt(5), std::nullopt);
}

TEST_F(RunEstimateTest, PassesStillToComeTakeAsLongAsTheirResolutionsPassesDid) {
    estimate.begin("Coast", {{kA, 2}, {kB, 2}});
    pass(kA, 0, 10);
    // One more of A (10 s) and two of B, which has none yet: the run's mean, 10 s.
    EXPECT_EQ(leftAt(10), milliseconds(30s));
    pass(kA, 10, 14);  // A: 7 s on average
    pass(kB, 14, 34);  // B: 20 s
    EXPECT_EQ(leftAt(34), milliseconds(20s));
    // The pass under way has used part of its time already.
    estimate.passStarted(kB, t0 + 34s);
    EXPECT_EQ(leftAt(40), milliseconds(14s));
    // A pass that overruns its estimate leaves nothing of it, never less.
    EXPECT_EQ(leftAt(90), milliseconds(0s));
    estimate.passEnded(kB, t0 + 90s);
    EXPECT_EQ(leftAt(90), milliseconds(0s));
}

TEST_F(RunEstimateTest, AddedPassesCount) {
    estimate.begin("Coast", {{kA, 2}});
    pass(kA, 0, 10);
    pass(kA, 10, 20);
    EXPECT_EQ(leftAt(20), milliseconds(0s));
    estimate.addPass(kA);
    EXPECT_EQ(leftAt(20), milliseconds(10s));
}

TEST_F(RunEstimateTest, HistoryEstimatesAResolutionBeforeItsFirstPass) {
    std::vector<std::tuple<std::string, int, int>> asked;
    estimate.history = [&](const std::string& demo, int w, int h) -> std::optional<RunEstimate::Duration> {
        asked.emplace_back(demo, w, h);
        if (w == kB.width && h == kB.height) return milliseconds(25s);
        return std::nullopt;
    };
    estimate.begin("Coast", {{kA, 1}, {kB, 1}});
    // A has no history and nothing is measured yet: unknown.
    EXPECT_EQ(leftAt(0), std::nullopt);
    EXPECT_EQ(asked.front(), std::make_tuple(std::string("Coast"), 800, 600));
    pass(kA, 0, 10);
    // B from its history, not from A's 10 s.
    EXPECT_EQ(leftAt(10), milliseconds(25s));
    EXPECT_EQ(asked.back(), std::make_tuple(std::string("Coast"), 1920, 1080));
    // Its own pass wins over the history.
    estimate.addPass(kB);
    pass(kB, 10, 50);
    EXPECT_EQ(leftAt(50), milliseconds(40s));
}

TEST(TimeLeftTextTest, RoundsUpToWholeSeconds) {
    const std::pair<milliseconds, const char*> cases[] = {
        {0ms, "less than a second"},     {1ms, "about 1 s"},
        {45000ms, "about 45 s"},         {59001ms, "about 1 min 0 s"},
        {130000ms, "about 2 min 10 s"},  {3600000ms, "about 1 h 0 min"},
        {5430000ms, "about 1 h 30 min"},
    };
    for (const auto& [left, text] : cases) EXPECT_EQ(timeLeftText(left), text) << left.count();
}

}  // namespace
}  // namespace vantor
