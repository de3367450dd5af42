#include "report/ResultExport.h"

#include "core/Csv.h"

#include <nlohmann/json.hpp>

#include <type_traits>

namespace vantor {
namespace {

using Json = nlohmann::ordered_json;

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

Json scoreJson(const PassScore& pass) {
    if (!pass.found || trimmed(pass.score).empty()) return nullptr;
    if (auto n = scoreNumber(pass.score)) return *n;
    return trimmed(pass.score);
}

}  // namespace

std::string resultJson(const RunRecord& run) {
    const auto& s = run.settings;
    Json resolutions = Json::array();
    for (const auto& r : run.resolutions) {
        Json passes = Json::array();
        int n = 0;
        for (const auto& p : r.passes) passes.push_back({{"pass", ++n}, {"score", scoreJson(p)}});
        Json stats = nullptr;
        if (!r.scores.empty())
            stats = {{"count", r.stats.count}, {"mean", r.stats.mean},     {"min", r.stats.min},
                     {"max", r.stats.max},     {"stddev", r.stats.stddev}, {"relativeSpread", r.stats.relativeSpread}};
        resolutions.push_back({{"resolution", resolutionText(r.resolution)},
                               {"width", r.resolution.width},
                               {"height", r.resolution.height},
                               {"passes", passes},
                               {"stats", stats},
                               {"reason", r.reason}});
    }
    Json settings = Json::object();
    forEachSetting(s, [&](const char* name, const auto& value) { settings[name] = value; });
    settings["passesPerResolution"] = run.passes.passes;
    settings["adaptive"] = run.passes.adaptive;
    settings["thresholdPercent"] = run.passes.thresholdPercent;
    settings["adaptiveCap"] = run.passes.cap;
    Json out = {{"started", run.started}, {"report", run.report}, {"settings", settings}, {"resolutions", resolutions}};
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string resultCsv(const RunRecord& run) {
    const auto& s = run.settings;
    std::string settings = csvField(run.started);
    forEachSetting(s, [&](const char*, const auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, bool>)
            settings += value ? ",1" : ",0";
        else
            settings += "," + csvField(value);
    });
    settings += "," + std::to_string(run.passes.passes) + "," + (run.passes.adaptive ? "1" : "0") + "," +
                std::to_string(run.passes.thresholdPercent) + "," + std::to_string(run.passes.cap);
    std::string out = std::string(kResultCsvHeader) + "\r\n";
    for (const auto& r : run.resolutions) {
        int n = 0;
        for (const auto& p : r.passes) {
            out += settings + "," + csvField(resolutionText(r.resolution)) + "," + std::to_string(r.resolution.width) +
                   "," + std::to_string(r.resolution.height) + "," + std::to_string(++n) + "," +
                   csvField(p.found ? trimmed(p.score) : std::string()) + "\r\n";
        }
    }
    return out;
}

}  // namespace vantor
