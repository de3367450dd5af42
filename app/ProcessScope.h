#pragma once
// The process checks of the program, limited by the environment variable
// VANTOR_PROCESS_ROOT (a folder) to programs whose executable lies under that
// folder, so that runs against separate simulated installations on one
// machine do not see each other's Steam and game. Without it, every process.

#include "platform/ProcessList.h"

#include <string>
#include <vector>

namespace vantor {

class ScopedProcessQuery final : public ProcessQuery {
public:
    // The root from VANTOR_PROCESS_ROOT; empty for none.
    ScopedProcessQuery();
    explicit ScopedProcessQuery(std::string root);

    bool list(std::vector<ProcessEntry>& out) override;

private:
    std::string root_;
};

}  // namespace vantor
