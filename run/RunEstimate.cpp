#include "run/RunEstimate.h"

#include <algorithm>

namespace vantor {

void RunEstimate::begin(const std::string& demo, const std::vector<std::pair<Resolution, int>>& planned) {
    demo_ = demo;
    order_.clear();
    entries_.clear();
    current_.reset();
    for (const auto& [r, n] : planned) {
        if (!entries_.count(r)) order_.push_back(r);
        entries_[r].planned += n;
    }
}

void RunEstimate::addPass(Resolution r) {
    if (!entries_.count(r)) order_.push_back(r);
    ++entries_[r].planned;
}

void RunEstimate::passStarted(Resolution r, Clock::time_point at) { current_ = {r, at}; }

void RunEstimate::passEnded(Resolution r, Clock::time_point at) {
    auto& e = entries_[r];
    if (current_ && current_->first == r) e.total += std::chrono::duration_cast<Duration>(at - current_->second);
    ++e.done;
    current_.reset();
}

std::optional<RunEstimate::Duration> RunEstimate::perPass(Resolution r, const Entry& e) const {
    if (e.done > 0) return e.total / e.done;
    if (history) {
        if (auto d = history(demo_, r.width, r.height)) return *d;
    }
    Duration total{0};
    int done = 0;
    for (const auto& [_, other] : entries_) {
        total += other.total;
        done += other.done;
    }
    if (done > 0) return total / done;
    return std::nullopt;
}

std::optional<RunEstimate::Duration> RunEstimate::timeLeft(Clock::time_point now) const {
    Duration left{0};
    for (const Resolution& r : order_) {
        const Entry& e = entries_.at(r);
        const int remaining = e.planned - e.done;
        if (remaining <= 0) continue;
        const auto each = perPass(r, e);
        if (!each) return std::nullopt;
        left += *each * remaining;
        // The pass under way has used part of its time already.
        if (current_ && current_->first == r) {
            const auto used = std::chrono::duration_cast<Duration>(now - current_->second);
            left -= std::min(used, *each);
        }
    }
    return left;
}

std::string timeLeftText(std::chrono::milliseconds left) {
    const auto s = (left.count() + 999) / 1000;  // whole seconds, rounded up
    if (s <= 0) return "less than a second";
    if (s < 60) return "about " + std::to_string(s) + " s";
    const auto m = s / 60;
    if (m < 60) return "about " + std::to_string(m) + " min " + std::to_string(s % 60) + " s";
    return "about " + std::to_string(m / 60) + " h " + std::to_string(m % 60) + " min";
}

}  // namespace vantor
