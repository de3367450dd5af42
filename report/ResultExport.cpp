#include "report/ResultExport.h"

#include "core/Csv.h"

#include <nlohmann/json.hpp>

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
    Json out = {{"started", run.started},
                {"report", run.report},
                {"settings",
                 {{"demo", s.demo},
                  {"detail", s.detail},
                  {"antialiasing", s.antialiasing},
                  {"filtering", s.filtering},
                  {"directx", s.directx},
                  {"heapsize", s.heapsize},
                  {"refresh", s.refresh},
                  {"fastZ", s.fastZ},
                  {"note", s.note},
                  {"passesPerResolution", run.passes.passes},
                  {"adaptive", run.passes.adaptive},
                  {"thresholdPercent", run.passes.thresholdPercent},
                  {"adaptiveCap", run.passes.cap}}},
                {"resolutions", resolutions}};
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string resultCsv(const RunRecord& run) {
    const auto& s = run.settings;
    const std::string settings = csvField(run.started) + "," + csvField(s.demo) + "," + csvField(s.detail) + "," +
                                 csvField(s.antialiasing) + "," + csvField(s.filtering) + "," + csvField(s.directx) +
                                 "," + csvField(s.heapsize) + "," + csvField(s.refresh) + "," + (s.fastZ ? "1" : "0") +
                                 "," + csvField(s.note) + "," + std::to_string(run.passes.passes) + "," +
                                 (run.passes.adaptive ? "1" : "0") + "," + std::to_string(run.passes.thresholdPercent) +
                                 "," + std::to_string(run.passes.cap);
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
