// Two hand-made runs compared per resolution: both means, the difference and
// the verdict from the passes' spread; the text vantor-cli prints of it.
#include "history/HistoryExport.h"
#include "history/RunComparison.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vantor;

namespace {

std::vector<StoredPass> passesAt(int w, int h, const std::vector<double>& scores) {
    std::vector<StoredPass> out;
    for (double s : scores) out.push_back({w, h, s, std::nullopt});
    return out;
}

std::string lineOf(const std::string& text, const std::string& start) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

}  // namespace

TEST(RunComparison, VerdictsOfHandMadeRuns) {
    struct Case {
        const char* name;
        std::vector<double> first, second;
        double difference;
        Verdict verdict;
    };
    const Case cases[] = {
        {"steady passes, 10 % more", {100, 101, 99}, {110, 111, 109}, 10.0, Verdict::Faster},
        {"steady passes, 10 % less", {100, 101, 99}, {90, 91, 89}, -10.0, Verdict::Slower},
        // A 5 % gain is less than twice a 10 % spread.
        {"noisy passes", {100, 110, 90}, {105, 115, 95}, 5.0, Verdict::WithinNoise},
        {"noisy second run", {100, 100, 100}, {90, 110, 100}, 0.0, Verdict::WithinNoise},
        {"single passes, a small gap", {100}, {100.5}, 0.5, Verdict::WithinNoise},
        {"single passes, a clear gap", {100}, {102}, 2.0, Verdict::Faster},
        {"one pass against three", {50}, {40, 40.2, 39.8}, -20.0, Verdict::Slower},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = compareRuns(passesAt(1024, 768, c.first), passesAt(1024, 768, c.second));
        ASSERT_EQ(rows.size(), 1u);
        ASSERT_TRUE(rows[0].first && rows[0].second && rows[0].differencePercent && rows[0].verdict);
        EXPECT_NEAR(*rows[0].differencePercent, c.difference, 1e-9);
        EXPECT_EQ(*rows[0].verdict, c.verdict);
        EXPECT_EQ(rows[0].first->count, c.first.size());
        EXPECT_EQ(rows[0].second->count, c.second.size());
    }
}

TEST(RunComparison, ResolutionsOfEitherRunSmallestFirstWithoutAVerdictWhereOneHasNoResult) {
    std::vector<StoredPass> first = passesAt(1280, 1024, {60, 61});
    auto more = passesAt(640, 480, {200});
    first.insert(first.end(), more.begin(), more.end());
    first.push_back({800, 600, std::nullopt, std::nullopt});  // played, no result
    std::vector<StoredPass> second = passesAt(640, 480, {220});
    more = passesAt(800, 600, {150});
    second.insert(second.end(), more.begin(), more.end());
    more = passesAt(2560, 1440, {30});
    second.insert(second.end(), more.begin(), more.end());

    const auto rows = compareRuns(first, second);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(std::vector<int>({rows[0].width, rows[1].width, rows[2].width, rows[3].width}),
              std::vector<int>({640, 800, 1280, 2560}));
    EXPECT_EQ(rows[0].verdict, Verdict::Faster);
    EXPECT_FALSE(rows[1].first);
    EXPECT_EQ(rows[1].second->mean, 150);
    EXPECT_FALSE(rows[1].verdict);
    EXPECT_EQ(rows[2].first->mean, 60.5);
    EXPECT_FALSE(rows[2].second);
    EXPECT_FALSE(rows[3].first);
    EXPECT_FALSE(rows[3].differencePercent);

    StoredRun a, b;
    a.id = 3;
    a.passes = first;
    b.id = 7;
    b.passes = second;
    const std::string text = comparisonText(a, b);
    EXPECT_EQ(lineOf(text, "640\u00d7480"), "640\u00d7480      200.00            220.00            +10.0%      faster")
        << text;
    EXPECT_EQ(lineOf(text, "800\u00d7600"),
              "800\u00d7600      -                 150.00            -           only in run 7")
        << text;
    EXPECT_EQ(lineOf(text, "1280\u00d71024"),
              "1280\u00d71024    60.50 \u00b11.2%       -                 -           only in run 3")
        << text;
}

TEST(RunComparison, ScoresByResolutionCountPassesWithoutAResult) {
    std::vector<StoredPass> passes = passesAt(800, 600, {80, 82});
    passes.push_back({800, 600, std::nullopt, std::nullopt});
    passes.push_back({640, 480, std::nullopt, std::nullopt});
    const auto rows = scoresByResolution(passes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].width, 640);
    EXPECT_EQ(rows[0].passes, 1);
    EXPECT_TRUE(rows[0].scores.empty());
    EXPECT_EQ(rows[1].passes, 3);
    EXPECT_EQ(rows[1].scores, (std::vector<double>{80, 82}));
    EXPECT_EQ(rows[1].stats().mean, 81);
}
