#include "history/HistoryExport.h"

#include "core/Csv.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vantor {
namespace {

using Json = nlohmann::ordered_json;

std::string number(double v) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string fixed(double v, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

std::string percent(double v, bool sign) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.1f%%" : "%.1f%%", v);
    return text;
}

// Pads to a width in characters (UTF-8 aware).
std::string pad(const std::string& s, std::size_t width) {
    std::size_t chars = 0;
    for (unsigned char c : s)
        if ((c & 0xc0) != 0x80) ++chars;
    return chars >= width ? s + " " : s + std::string(width - chars, ' ');
}

std::string meanText(const ScoreStats& s) {
    std::string t = fixed(s.mean, 2);
    if (s.count > 1) t += " \u00b1" + percent(s.relativeSpread * 100.0, false);
    return t;
}

Json optionalNumber(const std::optional<double>& v) { return v ? Json(*v) : Json(nullptr); }

std::string dump(const Json& j) { return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string historyText(const std::vector<RunListing>& runs) {
    if (runs.empty()) return "No runs stored yet.\n";
    std::string out =
        pad("Run", 6) + pad("Time (UTC)", 22) + pad("Version", 9) + pad("Demo", 22) + "Mean FPS per resolution\n";
    for (const auto& r : runs) {
        std::string scores;
        for (const auto& res : scoresByResolution(r.passes)) {
            if (!scores.empty()) scores += ", ";
            scores += sizeText(res.width, res.height) + " ";
            if (res.scores.empty()) {
                scores += "no result";
                continue;
            }
            const ScoreStats s = res.stats();
            scores += fixed(s.mean, 2);
            if (res.passes > 1)
                scores += " (" + std::to_string(res.passes) + " passes, \u00b1" +
                          percent(s.relativeSpread * 100.0, false) + ")";
        }
        out +=
            pad(std::to_string(r.id), 6) + pad(r.time, 22) + pad(r.version, 9) + pad(r.shownDemo(), 22) + scores + "\n";
    }
    return out;
}

std::string historyJson(const std::vector<RunListing>& runs) {
    Json out = Json::array();
    for (const auto& r : runs) {
        Json resolutions = Json::array();
        for (const auto& res : scoresByResolution(r.passes)) {
            Json o = {{"resolution", sizeText(res.width, res.height)},
                      {"width", res.width},
                      {"height", res.height},
                      {"passes", res.passes},
                      {"results", res.scores.size()}};
            if (res.scores.empty()) {
                o["mean"] = nullptr;
            } else {
                const ScoreStats s = res.stats();
                o["mean"] = s.mean;
                o["min"] = s.min;
                o["max"] = s.max;
                o["stddev"] = s.stddev;
                o["spread"] = s.relativeSpread;
            }
            resolutions.push_back(std::move(o));
        }
        out.push_back({{"id", r.id},
                       {"time", r.time},
                       {"version", r.version},
                       {"demo", r.demo},
                       {"debug", r.debug},
                       {"resolutions", resolutions}});
    }
    return dump(out);
}

std::string comparisonText(const StoredRun& first, const StoredRun& second) {
    const std::string a = "Run " + std::to_string(first.id);
    const std::string b = "Run " + std::to_string(second.id);
    std::string out = b + " (" + second.time + ", " + second.demo + ") against run " + std::to_string(first.id) + " (" +
                      first.time + ", " + first.demo + ")\n";
    out += pad("Resolution", 13) + pad(a, 18) + pad(b, 18) + pad("Difference", 12) + "Verdict\n";
    const auto rows = compareRuns(first.passes, second.passes);
    for (const auto& c : rows) {
        out += pad(sizeText(c.width, c.height), 13);
        out += pad(c.first ? meanText(*c.first) : "-", 18);
        out += pad(c.second ? meanText(*c.second) : "-", 18);
        out += pad(c.differencePercent ? percent(*c.differencePercent, true) : "-", 12);
        if (c.verdict)
            out += verdictText(*c.verdict);
        else
            out += "only in " +
                   std::string(c.first ? "run " + std::to_string(first.id) : "run " + std::to_string(second.id));
        out += "\n";
    }
    if (rows.empty()) out += "Neither run has a score.\n";
    return out;
}

std::string exportJson(const std::vector<StoredRun>& runs) {
    Json out = Json::array();
    for (const auto& r : runs) {
        Json settings = Json::object(), hardware = Json::object(), passes = Json::array();
        for (const auto& v : r.settings) settings[v.name] = v.value;
        for (const auto& v : r.hardware) hardware[v.name] = v.value;
        for (const auto& p : r.passes)
            passes.push_back({{"resolution", sizeText(p.width, p.height)},
                              {"width", p.width},
                              {"height", p.height},
                              {"score", optionalNumber(p.score)},
                              {"seconds", optionalNumber(p.seconds)}});
        out.push_back({{"id", r.id},
                       {"time", r.time},
                       {"started", r.started},
                       {"version", r.version},
                       {"demo", r.demo},
                       {"status", r.status},
                       {"report", r.report},
                       {"settings", settings},
                       {"hardware", hardware},
                       {"passes", passes}});
    }
    return dump(out);
}

std::string exportCsv(const std::vector<StoredRun>& runs) {
    std::vector<std::string> settingNames, hardwareNames;
    auto collect = [](std::vector<std::string>& names, const std::vector<NamedValue>& values) {
        for (const auto& v : values)
            if (std::find(names.begin(), names.end(), v.name) == names.end()) names.push_back(v.name);
    };
    for (const auto& r : runs) {
        collect(settingNames, r.settings);
        collect(hardwareNames, r.hardware);
    }
    std::string out;
    auto row = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + csvField(fields[i]);
        out += "\r\n";
    };
    std::vector<std::string> header(std::begin(kCsvRunColumns), std::end(kCsvRunColumns));
    for (const auto& n : settingNames) header.push_back("setting:" + n);
    for (const auto& n : hardwareNames) header.push_back("hardware:" + n);
    row(header);
    auto valueOf = [](const std::vector<NamedValue>& values, const std::string& name) {
        for (const auto& v : values)
            if (v.name == name) return v.value;
        return std::string();
    };
    for (const auto& r : runs) {
        std::vector<std::string> tail;
        for (const auto& n : settingNames) tail.push_back(valueOf(r.settings, n));
        for (const auto& n : hardwareNames) tail.push_back(valueOf(r.hardware, n));
        auto line = [&](std::vector<std::string> pass) {
            std::vector<std::string> fields = {
                std::to_string(r.id), r.time, r.started, r.version, r.demo, r.status, r.report};
            fields.insert(fields.end(), pass.begin(), pass.end());
            fields.insert(fields.end(), tail.begin(), tail.end());
            row(fields);
        };
        if (r.passes.empty()) line({"", "", "", "", "", ""});
        for (std::size_t i = 0; i < r.passes.size(); ++i) {
            const auto& p = r.passes[i];
            line({std::to_string(i + 1), sizeText(p.width, p.height), std::to_string(p.width), std::to_string(p.height),
                  p.score ? number(*p.score) : "", p.seconds ? number(*p.seconds) : ""});
        }
    }
    return out;
}

}  // namespace vantor
