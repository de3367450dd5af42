#include "update/UpgradeList.h"
#include "platform/AsciiCase.h"

#include "platform/FileOps.h"
#include "platform/OsFamily.h"
#include "platform/ProgramFile.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace vantor {
namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> downloadsIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (endsWith(name, kDownloadSuffix) && name.size() > 5 && it->is_regular_file(ec)) names.push_back(name);
    }
    return names;
}

bool plainName(const std::string& s) {
    if (s.empty() || s == "." || s == "..") return false;
    for (unsigned char c : s)
        if (c < 32 || c == '/' || c == '\\' || c == '\t') return false;
    return true;
}

}  // namespace

UpgradePlan UpgradeList::plan(const std::string& folder, const std::string& programName, bool externalSetup) {
    std::vector<std::string> names;
    for (const auto& source : downloadsIn(folder)) names.push_back(source.substr(0, source.size() - 5));
    return plan(folder, names, programName, externalSetup);
}

UpgradePlan UpgradeList::plan(const std::string& folder, const std::vector<std::string>& names,
                              const std::string& programName, bool externalSetup) {
    UpgradePlan plan;
    plan.externalSetup = externalSetup;
    bool ownDownloaded = false;
    for (const auto& name : names) ownDownloaded = ownDownloaded || sameName(name, programName);
    bool setupTaken = false;
    for (const auto& name : names) {
        UpgradeStep step;
        step.source = name + kDownloadSuffix;
        step.target = name;
        std::error_code ec;
        step.size = fs::file_size(folder + step.source, ec);
        if (externalSetup && !ownDownloaded && !setupTaken && endsWith(step.target, "exe")) {
            setupTaken = true;
            step.setup = true;
        }
        plan.steps.push_back(std::move(step));
    }
    return plan;
}

bool UpgradeList::write(const std::string& folder, const UpgradePlan& plan) {
    std::string text = std::string("upgrade 1 ") + (plan.externalSetup ? "1" : "0") + "\n";
    for (const auto& s : plan.steps)
        text += std::to_string(s.size) + "\t" + s.source + "\t" + s.target + "\t" + (s.setup ? "1" : "0") + "\n";
    return writeFileAtomic(folder + kUpgradeListName, text).ok;
}

std::optional<UpgradePlan> UpgradeList::read(const std::string& folder) {
    std::string text;
    if (!readFileBytes(folder + kUpgradeListName, text)) return std::nullopt;
    std::istringstream in(text);
    std::string line;
    UpgradePlan plan;
    if (!std::getline(in, line) || (line != "upgrade 1 0" && line != "upgrade 1 1")) return std::nullopt;
    plan.externalSetup = line.back() == '1';
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            f.push_back(line.substr(from, tab - from));
        f.push_back(line.substr(from));
        if (f.size() != 4) return std::nullopt;
        UpgradeStep s;
        const auto r = std::from_chars(f[0].data(), f[0].data() + f[0].size(), s.size);
        if (r.ec != std::errc() || r.ptr != f[0].data() + f[0].size()) return std::nullopt;
        s.source = f[1];
        s.target = f[2];
        s.setup = f[3] == "1";
        // Each download goes to its own name, nowhere else.
        if (!endsWith(s.source, kDownloadSuffix) || !plainName(s.source) || !plainName(s.target) ||
            s.target != s.source.substr(0, s.source.size() - 5) || isReservedName(s.target))
            return std::nullopt;
        plan.steps.push_back(std::move(s));
    }
    return plan;
}

UpgradeApplied UpgradeList::apply(const std::string& folder, const UpgradePlan& plan, std::size_t maxSteps) {
    UpgradeApplied result;
    std::size_t done = 0;
    for (const auto& s : plan.steps) {
        const std::string source = folder + s.source, target = folder + s.target;
        if (s.setup) result.setupProgram = target;
        if (!fileExists(source)) continue;  // in place already
        if (done++ == maxSteps) return result;
        std::error_code ec;
        if (fs::file_size(source, ec) != s.size || ec) {
            deleteFile(source);
            result.ok = false;
            result.error = "The file " + s.source + " is not the one that was checked.";
            continue;
        }
        // The new file keeps the old one's permissions (a program stays executable).
        if (fileExists(target))
            copyFileMode(target, source);
        else if (s.setup)
            makeExecutable(source);
        clearDownloadMarks(source);
        fs::rename(source, target, ec);
        if (ec) {
            result.ok = false;
            result.error = "The file " + s.target + " cannot be replaced: " + ec.message();
        }
    }
    syncFolder(folder);  // the renames reach the disk before the list goes
    deleteFile(folder + kUpgradeListName);
    return result;
}

void UpgradeList::recover(const std::string& folder) {
    const std::string list = folder + kUpgradeListName, lockFile = folder + kUpdateLockName;
    if (!fileExists(list) && !fileExists(lockFile) && downloadsIn(folder).empty()) return;
    FileLock updating(lockFile);
    if (!updating.locked()) return;  // another instance is downloading an update
    if (fileExists(list)) {
        FileLock lock(list);
        if (!lock.locked()) return;  // a replacement program is at work
        if (auto plan = read(folder)) {
            apply(folder, *plan);
        } else {
            removeDownloads(folder);
            updating.removeFile();
            return;
        }
    }
    for (const auto& name : downloadsIn(folder)) deleteFile(folder + name);
    updating.removeFile();
}

void UpgradeList::removeDownloads(const std::string& folder) {
    for (const auto& name : downloadsIn(folder)) deleteFile(folder + name);
    deleteFile(folder + kUpgradeListName);
}

bool UpgradeList::sameName(const std::string& a, const std::string& b) {
    if (kThisOs != OsFamily::Windows) return a == b;
    return equalsIgnoringAsciiCase(a, b);
}

bool UpgradeList::isReservedName(const std::string& name) {
    for (const char* reserved : {kUpgradeListName, kUpdateLockName, kUpgraderFileName})
        if (sameName(name, reserved)) return true;
    return false;
}

}  // namespace vantor
