#include "report/RunResults.h"

#include "core/Controls.h"

#include <charconv>
#include <cmath>

namespace vantor {

std::optional<double> scoreNumber(const std::string& score) {
    const auto first = score.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto last = score.find_last_not_of(" \t");
    const char* begin = score.data() + first;
    const char* end = score.data() + last + 1;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string fixed2(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    return std::string(buf, r.ptr);
}

std::optional<Resolution> resolutionOfPass(const PassScore& pass) {
    int width = 0;
    const char* begin = pass.width.data();
    const char* end = begin + pass.width.size();
    const auto [ptr, ec] = std::from_chars(begin, end, width);
    if (pass.width.empty() || ec != std::errc() || ptr != end || width <= 0) return std::nullopt;
    if (pass.height > 0) return Resolution{width, pass.height};
    for (int i = 0; i < kResolutionCount; ++i)
        if (kWidths[i] == width) return Resolution{width, kHeights[i]};
    return std::nullopt;
}

std::vector<ResolutionResult> groupByResolution(const std::vector<PassScore>& passes, const PassPolicy& policy) {
    std::vector<ResolutionResult> out;
    for (const auto& pass : passes) {
        const auto r = resolutionOfPass(pass);
        if (!r) continue;
        if (out.empty() || out.back().resolution != *r) out.push_back(ResolutionResult{*r, {}, {}, {}, {}, {}, false});
        auto& group = out.back();
        group.passes.push_back(pass);
        if (pass.found) {
            group.found = true;
            if (auto n = scoreNumber(pass.score)) group.scores.push_back(*n);
        }
    }
    for (auto& group : out) {
        group.stats = computeStats(group.scores);
        group.reason = policy.reason(static_cast<int>(group.passes.size()), group.scores);
        if (group.passes.size() == 1) {
            group.scoreText = group.passes.front().found ? group.passes.front().score : std::string();
        } else if (!group.scores.empty()) {
            group.scoreText = fixed2(group.stats.mean);
        } else {
            for (const auto& p : group.passes)
                if (p.found) group.scoreText = p.score;
        }
    }
    return out;
}

}  // namespace vantor
