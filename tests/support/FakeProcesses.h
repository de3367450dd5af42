#pragma once
// A process query whose answers the test sets.

#include "platform/ProcessList.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vantor::test {

class FakeProcesses : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>& out) override {
        ++calls;
        if (onList) onList(calls);
        if (fail) return false;
        for (const auto& n : names) out.push_back({n, 1});
        return true;
    }
    // The run's games: ids that startedUnder names (every query gets them);
    // terminate ends one unless endOnTerminate is off.
    bool startedUnder(const std::string& folder, std::uint64_t sinceMs, std::vector<std::uint32_t>& ids) override {
        startQueries.push_back({folder, sinceMs});
        if (fail) return false;
        ids.insert(ids.end(), games.begin(), games.end());
        return true;
    }
    bool terminate(std::uint32_t id) override {
        terminated.push_back(id);
        if (endOnTerminate) std::erase(games, id);
        return true;
    }
    std::uint64_t now() override { return clock; }
    // The programs listed here are no processes of the system: their ends are
    // never told, only polled for.
    std::unique_ptr<ProcessExitWatch> watchExit(std::span<const char* const>, EventLoop&,
                                                std::function<void()>) override {
        return nullptr;
    }

    std::vector<std::string> names;
    bool fail = false;
    int calls = 0;
    std::function<void(int call)> onList;  // runs before each answer
    std::vector<std::uint32_t> games;
    bool endOnTerminate = true;
    std::uint64_t clock = 1000;
    std::vector<std::uint32_t> terminated;
    std::vector<std::pair<std::string, std::uint64_t>> startQueries;
};

using FakeProcessQuery = FakeProcesses;

}  // namespace vantor::test
