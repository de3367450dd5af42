#pragma once
// A process query whose answers the test sets.

#include "platform/ProcessList.h"

#include <functional>
#include <string>
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
    std::vector<std::string> names;
    bool fail = false;
    int calls = 0;
    std::function<void(int call)> onList;  // runs before each answer
};

using FakeProcessQuery = FakeProcesses;

}  // namespace vantor::test
