#include "core/Statistics.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

struct StatsCase {
    std::vector<double> scores;
    double mean, min, max, stddev, spread;
};

TEST(Statistics, KnownValues) {
    const StatsCase cases[] = {
        {{}, 0, 0, 0, 0, 0},
        {{100.0}, 100, 100, 100, 0, 0},
        {{2, 4, 4, 4, 5, 5, 7, 9}, 5, 2, 9, 2.138089935, 0.427617987},
        {{133.77, 133.77, 133.77}, 133.77, 133.77, 133.77, 0, 0},
        {{90, 110}, 100, 90, 110, 14.142135624, 0.141421356},
        // Large offsets: the naive sum-of-squares formula loses every digit here.
        {{1e9 + 4, 1e9 + 7, 1e9 + 13, 1e9 + 16}, 1e9 + 10, 1e9 + 4, 1e9 + 16, 5.477225575, 5.477e-9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.scores));
        ScoreStats s = computeStats(c.scores);
        EXPECT_EQ(s.count, c.scores.size());
        EXPECT_NEAR(s.mean, c.mean, 1e-6);
        EXPECT_DOUBLE_EQ(s.min, c.min);
        EXPECT_DOUBLE_EQ(s.max, c.max);
        EXPECT_NEAR(s.stddev, c.stddev, 1e-6);
        EXPECT_NEAR(s.relativeSpread, c.spread, 1e-9);
    }
}

TEST(Statistics, VerdictsUseTheSpread) {
    ScoreStats steady = computeStats({100, 100.5, 99.5});  // ~0.5 % spread
    ScoreStats noisy = computeStats({90, 110, 100});       // 10 % spread
    EXPECT_EQ(compareScores(steady, computeStats({110, 110.5, 109.5})), Verdict::Faster);
    EXPECT_EQ(compareScores(steady, computeStats({90, 90.5, 89.5})), Verdict::Slower);
    EXPECT_EQ(compareScores(steady, computeStats({100.4})), Verdict::WithinNoise);
    // A 10 % gain is inside twice a 10 % spread.
    EXPECT_EQ(compareScores(noisy, computeStats({110, 110, 110})), Verdict::WithinNoise);
    // Single passes: only the minimum gap decides.
    EXPECT_EQ(compareScores(computeStats({100}), computeStats({101.5})), Verdict::Faster);
    EXPECT_EQ(compareScores(computeStats({100}), computeStats({100.5})), Verdict::WithinNoise);
    EXPECT_STREQ(verdictText(Verdict::Slower), "slower");
}

}  // namespace
}  // namespace vantor
