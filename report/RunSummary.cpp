#include "report/RunSummary.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <type_traits>

namespace vantor {
namespace {

using Json = nlohmann::ordered_json;

Json scoreValue(const std::optional<std::string>& score) {
    if (!score || score->empty()) return nullptr;
    double value = 0;
    const char* begin = score->data();
    const char* end = begin + score->size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (ec == std::errc() && ptr == end && std::isfinite(value)) return value;
    return *score;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> settingTexts(const RunSummary::Settings& s, const PassPolicy& policy) {
    std::vector<std::pair<std::string, std::string>> out;
    forEachSetting(s, [&](const char* name, const auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, bool>)
            out.emplace_back(name, value ? "Enabled" : "Disabled");
        else
            out.emplace_back(name, value);
    });
    out.insert(out.end(), {{"passes", std::to_string(policy.passes)},
                           {"adaptive", policy.adaptive ? "yes" : "no"},
                           {"threshold", std::to_string(policy.thresholdPercent) + "%"},
                           {"cap", std::to_string(policy.cap)}});
    return out;
}

std::string runSummaryJson(const RunSummary& run) {
    Json passes = Json::array();
    for (const auto& p : run.passes)
        passes.push_back(
            {{"resolution", p.resolution}, {"width", p.width}, {"height", p.height}, {"score", scoreValue(p.score)}});
    Json settings = Json::object();
    forEachSetting(run.settings, [&](const char* name, const auto& value) { settings[name] = value; });
    Json out = {{"status", run.status},
                {"succeeded", run.succeeded},
                {"report", run.report.empty() ? Json(nullptr) : Json(run.report)},
                {"started", run.started},
                {"resolutions", run.resolutions},
                {"passes", passes},
                {"settings", settings}};
    // A text that is not valid UTF-8 gets replacement characters, never an exception.
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace vantor
