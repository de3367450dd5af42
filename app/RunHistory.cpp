#include "app/RunHistory.h"

#include "core/ProgramVersion.h"
#include "platform/UserDataFolder.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <optional>
#include <type_traits>

namespace vantor {
namespace {

std::optional<double> scoreOf(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    double value = 0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::string historyFilePath() {
    const std::string folder = programDataFolder();
    return folder.empty() ? std::string() : folder + kHistoryFileName;
}

StoredRun storedRunOf(const RunSummary& summary, const std::vector<PassScore>& passes, const PassPolicy& policy,
                      bool debugMode, const std::vector<NamedValue>& hardware) {
    StoredRun run;
    run.time = utcTimeText();
    run.started = summary.started;
    run.version = std::string(programVersion());
    run.demo = summary.settings.demo;
    run.status = summary.status;
    run.report = summary.report;
    for (auto& [name, value] : settingTexts(summary.settings, policy)) run.settings.push_back({name, value});
    run.settings.push_back({"debug", debugMode ? "yes" : "no"});
    run.hardware = hardware;
    // The summary's passes are the report's, in the same order, less those
    // without a resolution: each takes the wall time of the next report pass of
    // its resolution.
    std::size_t next = 0;
    for (const auto& p : summary.passes) {
        StoredPass stored{p.width, p.height, scoreOf(p.score), std::nullopt};
        auto sameSize = [&p](const PassScore& pass) {
            const auto r = resolutionOfPass(pass);
            return r && r->width == p.width && r->height == p.height;
        };
        while (next < passes.size() && !sameSize(passes[next])) ++next;
        if (next < passes.size()) {
            if (!debugMode && passes[next].seconds > 0) stored.seconds = passes[next].seconds;
            ++next;
        }
        run.passes.push_back(stored);
    }
    return run;
}

std::optional<double> typicalPassSeconds(const std::string& path, const std::string& demo, int width, int height) {
    if (path.empty()) return std::nullopt;
    try {
        // Nothing is moved here: a file the history cannot use is kept aside,
        // with a message, when the finished run is stored.
        HistoryStore store(path, false, HistoryStore::IfUnusable::Report);
        return store.typicalPassSeconds(demo, width, height);
    } catch (const std::exception&) {
        return std::nullopt;  // an estimate without the history
    }
}

HistoryOutcome storeRun(const std::string& path, const StoredRun& run) {
    HistoryOutcome out;
    if (path.empty()) {
        out.error = "no folder for the user's data is known";
        return out;
    }
    // A file kept aside is told also when the run then cannot be stored (the
    // constructor's error tells it when there is no store to ask).
    std::optional<HistoryStore> store;
    try {
        store.emplace(path);
        out.id = store->add(run);
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    if (store) out.notice = store->notice();
    return out;
}

}  // namespace vantor
