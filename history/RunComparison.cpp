#include "history/RunComparison.h"

#include <algorithm>
#include <tuple>

namespace vantor {
namespace {

bool smaller(int w1, int h1, int w2, int h2) {
    return std::tuple(static_cast<long long>(w1) * h1, w1) < std::tuple(static_cast<long long>(w2) * h2, w2);
}

}  // namespace

std::string sizeText(int width, int height) { return std::to_string(width) + "\u00d7" + std::to_string(height); }

std::vector<ResolutionScores> scoresByResolution(const std::vector<StoredPass>& passes) {
    std::vector<ResolutionScores> out;
    for (const auto& p : passes) {
        auto it = std::find_if(out.begin(), out.end(),
                               [&](const ResolutionScores& r) { return r.width == p.width && r.height == p.height; });
        if (it == out.end()) it = out.insert(out.end(), {p.width, p.height, 0, {}});
        ++it->passes;
        if (p.score) it->scores.push_back(*p.score);
    }
    std::stable_sort(out.begin(), out.end(), [](const ResolutionScores& a, const ResolutionScores& b) {
        return smaller(a.width, a.height, b.width, b.height);
    });
    return out;
}

std::vector<ResolutionComparison> compareRuns(const std::vector<StoredPass>& first,
                                              const std::vector<StoredPass>& second) {
    std::vector<ResolutionComparison> out;
    auto slot = [&out](int w, int h) -> ResolutionComparison& {
        auto it = std::find_if(out.begin(), out.end(), [&](const auto& c) { return c.width == w && c.height == h; });
        if (it == out.end()) it = out.insert(out.end(), ResolutionComparison{w, h, {}, {}, {}, {}});
        return *it;
    };
    for (const auto& r : scoresByResolution(first))
        if (!r.scores.empty()) slot(r.width, r.height).first = r.stats();
    for (const auto& r : scoresByResolution(second))
        if (!r.scores.empty()) slot(r.width, r.height).second = r.stats();
    for (auto& c : out) {
        if (!c.first || !c.second) continue;
        c.verdict = compareScores(*c.first, *c.second);
        if (c.first->mean != 0) c.differencePercent = (c.second->mean - c.first->mean) / c.first->mean * 100.0;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return smaller(a.width, a.height, b.width, b.height); });
    return out;
}

}  // namespace vantor
