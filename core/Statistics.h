#pragma once
// Summary figures of a resolution's pass scores.

#include <cstddef>
#include <vector>

namespace vantor {

struct ScoreStats {
    std::size_t count = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
    double stddev = 0;          // sample standard deviation (n - 1); 0 below two scores
    double relativeSpread = 0;  // stddev / mean; 0 when the mean is 0
};

ScoreStats computeStats(const std::vector<double>& scores);

// Welch's t statistic would need more passes than anyone runs; two scores differ
// beyond noise when their gap is larger than twice the larger spread (in %), or
// larger than minPercent when neither side has a spread (single passes).
enum class Verdict { Faster, Slower, WithinNoise };
Verdict compareScores(const ScoreStats& base, const ScoreStats& other, double minPercent = 1.0);
const char* verdictText(Verdict v);  // "faster", "slower", "within noise"

}  // namespace vantor
