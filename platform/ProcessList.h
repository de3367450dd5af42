#pragma once
// Running-process query: the names of running programs with their ids, a
// case-insensitive text search by the user's locale.

#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

struct ProcessEntry {
    std::string name;  // file name without folder (or the full path when asked)
    std::uint32_t id = 0;
};

// Appends one entry per running process (the list is not cleared). Returns
// whether the platform's process listing could be opened.
bool ListRunningProcesses(std::vector<ProcessEntry>& list, bool fullPath);

// True when part occurs in text, both upper-cased by the user's locale rules.
// An empty part is never found.
bool ContainsIgnoringCase(const std::string& part, const std::string& text);

// The process query as the run uses it; tests put a fake in its place.
class ProcessQuery {
public:
    virtual ~ProcessQuery() = default;
    virtual bool list(std::vector<ProcessEntry>& out) = 0;  // ListRunningProcesses(out, false)
};

class SystemProcessQuery final : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>& out) override { return ListRunningProcesses(out, false); }
};

}  // namespace vantor
