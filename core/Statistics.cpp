#include "core/Statistics.h"

#include <algorithm>
#include <cmath>

namespace vantor {

ScoreStats computeStats(const std::vector<double>& scores) {
    ScoreStats s;
    s.count = scores.size();
    if (scores.empty()) return s;
    auto [lo, hi] = std::minmax_element(scores.begin(), scores.end());
    s.min = *lo;
    s.max = *hi;
    // Welford's update: stable for long runs of near-equal values.
    double mean = 0, m2 = 0;
    std::size_t n = 0;
    for (double x : scores) {
        ++n;
        double d = x - mean;
        mean += d / static_cast<double>(n);
        m2 += d * (x - mean);
    }
    s.mean = mean;
    s.stddev = n > 1 ? std::sqrt(m2 / static_cast<double>(n - 1)) : 0.0;
    s.relativeSpread = mean != 0 ? s.stddev / std::fabs(mean) : 0.0;
    return s;
}

Verdict compareScores(const ScoreStats& base, const ScoreStats& other, double minPercent) {
    if (base.mean == 0) return other.mean > 0 ? Verdict::Faster : Verdict::WithinNoise;
    double diffPercent = (other.mean - base.mean) / base.mean * 100.0;
    double noisePercent = 2.0 * std::max(base.relativeSpread, other.relativeSpread) * 100.0;
    double bound = std::max(noisePercent, minPercent);
    if (diffPercent > bound) return Verdict::Faster;
    if (diffPercent < -bound) return Verdict::Slower;
    return Verdict::WithinNoise;
}

const char* verdictText(Verdict v) {
    switch (v) {
        case Verdict::Faster: return "faster";
        case Verdict::Slower: return "slower";
        case Verdict::WithinNoise: return "within noise";
    }
    return "within noise";
}

}  // namespace vantor
