#pragma once
// Running-process query: the names of running programs with their ids, a
// case-insensitive text search by the user's locale.

#include "platform/EventLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vantor {

struct ProcessEntry {
    std::string name;  // file name without folder (or the full path when asked)
    std::uint32_t id = 0;
};

// Appends one entry per running process (the list is not cleared). Returns
// whether the platform's process listing could be opened. On Linux a Windows
// program run by Wine's loader or Proton's reaper is listed as the program its
// command line names ("hl2.exe", or its path as written when fullPath), as
// Windows lists it.
bool ListRunningProcesses(std::vector<ProcessEntry>& list, bool fullPath);

// A running program with the full path of its executable and the moment it
// started, on the clock of processClockNow().
struct ProcessStart {
    std::uint32_t id = 0;
    std::string path;
    std::uint64_t startedMs = 0;
};

// Now, on the clock that process start times are measured on (milliseconds,
// at that clock's resolution): a program started after this call has a start
// time at or after the value returned.
std::uint64_t processClockNow();

// Appends every running program whose executable and start time can be read.
// Returns whether the platform's process listing could be opened.
bool ListProcessStarts(std::vector<ProcessStart>& list);

// Ends a program at once, as the system's terminate call does. True when the
// request was delivered.
bool TerminateProcessById(std::uint32_t id);

// True when part occurs in text, both upper-cased by the user's locale rules.
// An empty part is never found.
bool ContainsIgnoringCase(const std::string& part, const std::string& text);

// A watch on running programs that tells when one of them has ended, as the
// system reports it (Linux: a pidfd per program, Windows: their process
// handles), on the event loop's thread. Destroying it ends the watch; nothing
// is told afterwards.
class ProcessExitWatch {
public:
    virtual ~ProcessExitWatch() = default;
};

// Runs ended once, on loop's thread, as soon as one of the programs ids has
// ended (at once when one has gone already). nullptr when the system cannot
// tell: no id given, no program of them that can be watched, no pidfds
// (Linux before 5.3), no thread to spare. The caller keeps polling as its
// fallback; on Windows at most 63 programs are watched.
std::unique_ptr<ProcessExitWatch> WatchProcessExits(const std::vector<std::uint32_t>& ids, EventLoop& loop,
                                                    std::function<void()> ended);

// The process query as the run uses it; tests put a fake in its place.
class ProcessQuery {
public:
    virtual ~ProcessQuery() = default;
    virtual bool list(std::vector<ProcessEntry>& out) = 0;  // ListRunningProcesses(out, false)

    // The ids of the programs that started at or after sinceMs (on the clock of
    // now()) from an executable under folder (compared without regard to ASCII
    // case). False when the process listing cannot be read.
    virtual bool startedUnder(const std::string& folder, std::uint64_t sinceMs, std::vector<std::uint32_t>& ids);
    virtual bool terminate(std::uint32_t id) { return TerminateProcessById(id); }
    virtual std::uint64_t now() { return processClockNow(); }

    // Runs ended (on loop's thread) as soon as one of the listed programs whose
    // name holds one of names, compared as ContainsIgnoringCase does, has
    // ended. nullptr when none runs or the system cannot tell (WatchProcessExits).
    virtual std::unique_ptr<ProcessExitWatch> watchExit(std::span<const char* const> names, EventLoop& loop,
                                                        std::function<void()> ended);
};

class SystemProcessQuery final : public ProcessQuery {
public:
    bool list(std::vector<ProcessEntry>& out) override { return ListRunningProcesses(out, false); }
};

}  // namespace vantor
