#include "core/PassPolicy.h"

#include <algorithm>
#include <charconv>

namespace vantor {

int PassPolicy::plannedPasses() const {
    const int set = std::clamp(passes, 1, kMaxPassesPerResolution);
    return adaptive ? std::max(set, 2) : set;
}

int PassPolicy::maxPasses() const {
    return adaptive ? std::max(plannedPasses(), std::min(cap, kMaxAdaptiveCap)) : plannedPasses();
}

bool PassPolicy::needsAnotherPass(int done, const std::vector<double>& scores) const {
    if (done < plannedPasses()) return true;
    if (!adaptive || done >= maxPasses() || scores.size() < 2) return false;
    return computeStats(scores).relativeSpread * 100.0 > thresholdPercent;
}

std::string percentText(double fraction) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, fraction * 100.0, std::chars_format::fixed, 1);
    return std::string(buf, r.ptr) + "%";
}

std::string PassPolicy::reason(int done, const std::vector<double>& scores) const {
    const std::string n = std::to_string(done) + (done == 1 ? " pass" : " passes");
    if (!adaptive) return n + " as set";
    const std::string threshold = std::to_string(thresholdPercent) + "%";
    if (scores.size() < 2) return n + "; fewer than two scores, so no spread to judge";
    const std::string spread = percentText(computeStats(scores).relativeSpread);
    const bool above = computeStats(scores).relativeSpread * 100.0 > thresholdPercent;
    const int extra = done - plannedPasses();
    if (above) return n + "; cap reached with a spread of " + spread + " (above " + threshold + ")";
    if (extra <= 0) return n + "; spread " + spread + " within " + threshold;
    return n + "; " + std::to_string(extra) + (extra == 1 ? " extra pass" : " extra passes") +
           " until the spread was " + spread + " (within " + threshold + ")";
}

}  // namespace vantor
