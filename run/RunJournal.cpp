#include "run/RunJournal.h"

#include "platform/FileOps.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace vantor {
namespace {

constexpr const char* kHeader = "Vantor run journal 1";

std::string flagLine(const char* name, bool on) { return std::string(name) + "=" + (on ? "1" : "0"); }

}  // namespace

bool RunJournal::save(const std::string& cfgPath, std::string* error) const {
    std::vector<std::string> lines = {kHeader, flagLine(kValveRc, valveRc), flagLine(kAutoexec, autoexec)};
    if (configTouched) lines.push_back(flagLine(kConfigCfg, config));
    auto result = writeTextFile(cfgPath + kRunJournalName, lines);
    if (!result && error) *error = result.error;
    return result.ok;
}

std::optional<RunJournal> RunJournal::load(const std::string& cfgPath) {
    std::vector<std::string> lines;
    if (cfgPath.empty() || !readTextLines(cfgPath + kRunJournalName, lines)) return std::nullopt;
    if (lines.empty() || lines[0] != kHeader) return std::nullopt;
    RunJournal j;
    bool sawValve = false, sawAutoexec = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        auto eq = line.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const std::string name = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (value != "0" && value != "1") return std::nullopt;
        const bool on = value == "1";
        if (name == kValveRc) {
            j.valveRc = on;
            sawValve = true;
        } else if (name == kAutoexec) {
            j.autoexec = on;
            sawAutoexec = true;
        } else if (name == kConfigCfg) {
            j.configTouched = true;
            j.config = on;
        } else {
            return std::nullopt;
        }
    }
    if (!sawValve || !sawAutoexec) return std::nullopt;
    return j;
}

bool RunJournal::present(const std::string& cfgPath) {
    return !cfgPath.empty() && fileExists(cfgPath + kRunJournalName);
}

bool RunJournal::remove(const std::string& cfgPath) { return deleteFile(cfgPath + kRunJournalName); }

std::vector<RestoreStep> restorePlan(const RunJournal& journal, const std::string& cfgPath) {
    std::vector<RestoreStep> steps;
    auto has = [&](const char* name) { return fileExists(cfgPath + name); };
    // A file the user had comes back from its backup; when there is no backup,
    // its move never happened and the file in place is still the user's.
    auto userFile = [&](const char* file, const char* backup) {
        if (has(backup)) steps.push_back({RestoreStep::Kind::MoveBack, file, backup});
    };
    auto programFile = [&](const char* file) {
        if (has(file)) steps.push_back({RestoreStep::Kind::Remove, file, {}});
    };

    if (journal.autoexec)
        userFile(kAutoexec, kAutoexecBackup);
    else
        programFile(kAutoexec);

    // Without a "valve.rc" of the user's the run writes none, so nothing is removed.
    if (journal.valveRc) userFile(kValveRc, kValveRcBackup);

    if (journal.configTouched) {
        if (journal.config)
            userFile(kConfigCfg, kConfigBackup);
        else
            programFile(kConfigCfg);
    }
    return steps;
}

void removeWriteLeftovers(const std::string& cfgPath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (cfgPath.empty()) return;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(cfgPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const char* target : {kValveRc, kAutoexec, kConfigCfg, kRunJournalName}) {
            const std::string prefix = std::string(target) + ".tmp";
            if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
                std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                            [](unsigned char c) { return std::isdigit(c) != 0; })) {
                leftovers.push_back(it->path());
            }
        }
    }
    for (const auto& p : leftovers) fs::remove(p, ec);
}

}  // namespace vantor
