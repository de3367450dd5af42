#include "app/ProcessScope.h"

#include "platform/FileOps.h"

#include <cstdlib>

namespace vantor {

ScopedProcessQuery::ScopedProcessQuery()
    : ScopedProcessQuery([] {
          const char* r = std::getenv("VANTOR_PROCESS_ROOT");
          return std::string(r ? r : "");
      }()) {}

ScopedProcessQuery::ScopedProcessQuery(std::string root) : root_(std::move(root)) {
    if (!root_.empty() && root_.back() != kPathSep) root_ += kPathSep;
}

bool ScopedProcessQuery::list(std::vector<ProcessEntry>& out) {
    if (root_.empty()) return ListRunningProcesses(out, false);
    std::vector<ProcessEntry> all;
    if (!ListRunningProcesses(all, true)) return false;
    for (auto& p : all)
        if (p.name.rfind(root_, 0) == 0) out.push_back({p.name.substr(p.name.find_last_of(kPathSep) + 1), p.id});
    return true;
}

}  // namespace vantor
