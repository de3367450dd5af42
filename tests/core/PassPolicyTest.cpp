#include "core/PassPolicy.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

// Plays passes while the policy asks for one; the n-th score from scoreOf(n).
template <typename F>
int passesPlayed(const PassPolicy& policy, F scoreOf, std::vector<double>* scoresOut = nullptr) {
    std::vector<double> scores;
    int done = 0;
    while (policy.needsAnotherPass(done, scores)) {
        scores.push_back(scoreOf(done));
        ++done;
        if (done > 100) break;  // a policy that never stops fails below
    }
    if (scoresOut) *scoresOut = scores;
    return done;
}

double alternating(int n) { return n % 2 ? 80.0 : 100.0; }  // a spread of about 11%
double steady(int) { return 90.0; }

TEST(PassPolicyTest, AdaptivePassesStopAtTheCap) {
    struct Case {
        int passes, cap, expected;
    };
    const Case cases[] = {
        {3, 5, 5},    {1, 2, 2},   {2, 10, 10}, {6, 4, 6},  // a cap below the set passes: the set passes
        {10, 20, 20}, {3, 50, 20},                          // the cap itself is bounded
    };
    for (const auto& c : cases) {
        PassPolicy p;
        p.passes = c.passes;
        p.adaptive = true;
        p.cap = c.cap;
        EXPECT_EQ(passesPlayed(p, alternating), c.expected) << c.passes << " passes, cap " << c.cap;
        EXPECT_EQ(p.maxPasses(), c.expected);
    }
}

TEST(PassPolicyTest, SteadyScoresTakeTheSetPassesOnly) {
    struct Case {
        int passes;
        bool adaptive;
        int expected;
    };
    // Adaptive passes need two scores to judge a spread.
    const Case cases[] = {{1, false, 1}, {3, false, 3}, {10, false, 10}, {1, true, 2}, {4, true, 4}};
    for (const auto& c : cases) {
        PassPolicy p;
        p.passes = c.passes;
        p.adaptive = c.adaptive;
        EXPECT_EQ(passesPlayed(p, steady), c.expected) << c.passes << (c.adaptive ? " adaptive" : "");
        // Without adaptive passes noisy scores change nothing.
        if (!c.adaptive) {
            EXPECT_EQ(passesPlayed(p, alternating), c.expected);
        }
    }
}

TEST(PassPolicyTest, ExtraPassesEndOnceTheSpreadIsWithinTheThreshold) {
    PassPolicy p;
    p.passes = 2;
    p.adaptive = true;
    p.thresholdPercent = 5;
    p.cap = 20;
    // 100 and 80 spread 14%; then steady 90s pull the spread under 5%.
    std::vector<double> scores;
    const int n = passesPlayed(
        p, [](int i) { return i == 0   ? 100.0
                              : i == 1 ? 80.0
                                       : 90.0; }, &scores);
    EXPECT_LT(n, 20);
    EXPECT_LE(computeStats(scores).relativeSpread * 100, 5.0);
    scores.pop_back();
    EXPECT_GT(computeStats(scores).relativeSpread * 100, 5.0) << "one pass too many";
}

TEST(PassPolicyTest, NoExtraPassesWithoutTwoScores) {
    PassPolicy p;
    p.passes = 3;
    p.adaptive = true;
    EXPECT_FALSE(p.needsAnotherPass(3, {}));      // every pass failed
    EXPECT_FALSE(p.needsAnotherPass(3, {90.0}));  // one score has no spread
    EXPECT_TRUE(p.needsAnotherPass(3, {100.0, 80.0}));
}

TEST(PassPolicyTest, ReasonSaysHowManyPassesAndWhy) {
    PassPolicy fixed;
    fixed.passes = 3;
    PassPolicy adaptive;
    adaptive.passes = 3;
    adaptive.adaptive = true;
    adaptive.cap = 5;
    PassPolicy loose = adaptive;
    loose.thresholdPercent = 10;
    const struct {
        PassPolicy policy;
        int done;
        std::vector<double> scores;
        std::string reason;
    } cases[] = {
        {PassPolicy{}, 1, {90}, "1 pass as set"},
        {fixed, 3, {100, 80, 90}, "3 passes as set"},
        {adaptive, 3, {90, 90, 91}, "3 passes; spread 0.6% within 3%"},
        {loose, 4, {100, 80, 90, 90}, "4 passes; 1 extra pass until the spread was 9.1% (within 10%)"},
        {adaptive, 5, {100, 80, 100, 80, 100}, "5 passes; cap reached with a spread of 11.9% (above 3%)"},
        {adaptive, 3, {90}, "3 passes; fewer than two scores, so no spread to judge"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.policy.reason(c.done, c.scores), c.reason);
}

TEST(PercentTextTest, OneDecimal) {
    EXPECT_EQ(percentText(0.0), "0.0%");
    EXPECT_EQ(percentText(0.03), "3.0%");
    EXPECT_EQ(percentText(0.1149), "11.5%");
}

}  // namespace
}  // namespace vantor
