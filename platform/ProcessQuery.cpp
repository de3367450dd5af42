#include "platform/AsciiCase.h"
#include "platform/FileOps.h"
#include "platform/ProcessList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace vantor {
namespace {

// The folder as the process list shows paths: links resolved, one trailing separator.
std::string resolvedFolder(const std::string& folder) {
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(folder, ec);
    return withTrailingSep(ec ? folder : resolved.string());
}

}  // namespace

bool ProcessQuery::startedUnder(const std::string& folder, std::uint64_t sinceMs, std::vector<std::uint32_t>& ids) {
    if (folder.empty()) return true;
    std::vector<ProcessStart> all;
    if (!ListProcessStarts(all)) return false;
    const std::string given = withTrailingSep(folder);
    const std::string resolved = resolvedFolder(folder);
    for (const auto& p : all) {
        if (p.startedMs < sinceMs) continue;
        if (startsWithIgnoringAsciiCase(p.path, resolved) || startsWithIgnoringAsciiCase(p.path, given))
            ids.push_back(p.id);
    }
    return true;
}

std::unique_ptr<ProcessExitWatch> ProcessQuery::watchExit(std::span<const char* const> names, EventLoop& loop,
                                                          std::function<void()> ended) {
    std::vector<ProcessEntry> running;
    if (!list(running)) return nullptr;
    std::vector<std::uint32_t> ids;
    for (const auto& p : running)
        for (const char* name : names)
            if (ContainsIgnoringCase(name, p.name)) {
                ids.push_back(p.id);
                break;
            }
    return WatchProcessExits(ids, loop, std::move(ended));
}

}  // namespace vantor
