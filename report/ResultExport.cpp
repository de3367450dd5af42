#include "report/ResultExport.h"

#include "core/Csv.h"
#include "platform/Clock.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
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

// Seconds since 1970-01-01 of a calendar time read as UTC (days from the civil
// date, proleptic Gregorian), whatever zone it was made in.
long long civilSeconds(const std::tm& t) {
    long long y = t.tm_year + 1900LL;
    const int m = t.tm_mon + 1;
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m > 2 ? m - 3 : m + 9) + 2) / 5 + t.tm_mday - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return days * 86400 + t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
}

}  // namespace

std::string isoTimeText(const std::tm& local, long utcOffsetSeconds) {
    const long minutes = std::labs(utcOffsetSeconds) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  utcOffsetSeconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

long utcOffsetAt(std::time_t t) {
    const long long diff = civilSeconds(localCalendarTime(t)) - civilSeconds(utcCalendarTime(t));
    return static_cast<long>(diff / 60 * 60);
}

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
    // The names settingTexts gives the pass policy, with typed values.
    settings["passes"] = run.passes.passes;
    settings["adaptive"] = run.passes.adaptive;
    settings["threshold"] = run.passes.thresholdPercent;
    settings["cap"] = run.passes.cap;
    Json out = {{"started", run.started}, {"report", run.report}, {"settings", settings}, {"resolutions", resolutions}};
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string resultCsv(const RunRecord& run) {
    std::string header = "started", settings = csvField(run.started);
    for (const auto& [name, value] : settingTexts(run.settings, run.passes)) {
        header += ",setting:" + name;
        settings += "," + csvField(value);
    }
    header += ",resolution,width,height,pass,score";
    std::string out = header + "\r\n";
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
