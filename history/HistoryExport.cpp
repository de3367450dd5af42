#include "history/HistoryExport.h"

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

constexpr std::size_t kBlock = 64 * 1024;  // a writer hands its text on in pieces of about this size

// An element of a JSON array written as nlohmann's dump(2) of the whole array
// would write it: "[\n" before the first, ",\n" between, each line indented by
// two more. (Strings hold no raw line breaks: JSON escapes them.)
void arrayElement(std::string& out, bool any, const Json& element) {
    out += any ? ",\n  " : "[\n  ";
    const std::string text = element.dump(2, ' ', false, Json::error_handler_t::replace);
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1) {
        out.append(text, from, nl + 1 - from);
        out += "  ";
    }
    out.append(text, from, std::string::npos);
}

// csvField, appended.
void appendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

namespace {

// The whole text of a writer at once.
template <class Writer, class Form, class Run>
std::string whole(Form form, const std::vector<Run>& runs) {
    std::string text;
    Writer writer(form, [&text](std::string_view piece) { text += piece; });
    writer.start();
    for (const auto& r : runs) writer.add(r);
    writer.finish();
    return text;
}

}  // namespace

std::string historyText(const std::vector<RunListing>& runs) {
    return whole<HistoryListWriter>(HistoryListWriter::Form::Text, runs);
}

std::string historyJson(const std::vector<RunListing>& runs) {
    return whole<HistoryListWriter>(HistoryListWriter::Form::Json, runs);
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
    return whole<ExportWriter>(ExportWriter::Form::Json, runs);
}

std::string exportCsv(const std::vector<StoredRun>& runs) {
    std::vector<std::string> settingNames, hardwareNames;
    for (const auto& r : runs) valueNames(r, settingNames, hardwareNames);
    std::string text;
    ExportWriter writer(ExportWriter::Form::Csv, [&text](std::string_view piece) { text += piece; });
    writer.setColumns(std::move(settingNames), std::move(hardwareNames));
    writer.start();
    for (const auto& r : runs) writer.add(r);
    writer.finish();
    return text;
}

void valueNames(const StoredRun& run, std::vector<std::string>& settings, std::vector<std::string>& hardware) {
    auto collect = [](std::vector<std::string>& names, const std::vector<NamedValue>& values) {
        for (const auto& v : values)
            if (std::find(names.begin(), names.end(), v.name) == names.end()) names.push_back(v.name);
    };
    collect(settings, run.settings);
    collect(hardware, run.hardware);
}

// ---- the writers ----------------------------------------------------------------

void HistoryListWriter::flush(bool always) {
    if (buffer_.empty() || (!always && buffer_.size() < kBlock)) return;
    out_(buffer_);
    buffer_.clear();
}

void HistoryListWriter::start() {
    buffer_.clear();
    any_ = false;
}

void HistoryListWriter::add(const RunListing& r) {
    const auto resolutions = scoresByResolution(r.passes);
    if (form_ == Form::Text) {
        if (!any_)
            buffer_ += pad("Run", 6) + pad("Time (UTC)", 22) + pad("Version", 9) + pad("Demo", 22) +
                       "Mean FPS per resolution\n";
        std::string scores;
        for (const auto& res : resolutions) {
            if (!scores.empty()) scores += ", ";
            scores += sizeText(res.width, res.height) + " ";
            if (res.scores.empty()) {
                scores += "no result";
                continue;
            }
            const ScoreStats st = res.stats();
            scores += fixed(st.mean, 2);
            if (res.passes > 1)
                scores += " (" + std::to_string(res.passes) + " passes, \u00b1" +
                          percent(st.relativeSpread * 100.0, false) + ")";
        }
        buffer_ +=
            pad(std::to_string(r.id), 6) + pad(r.time, 22) + pad(r.version, 9) + pad(r.shownDemo(), 22) + scores + "\n";
    } else {
        Json list = Json::array();
        for (const auto& res : resolutions) {
            Json o = {{"resolution", sizeText(res.width, res.height)},
                      {"width", res.width},
                      {"height", res.height},
                      {"passes", res.passes},
                      {"results", res.scores.size()}};
            if (res.scores.empty()) {
                o["mean"] = nullptr;
            } else {
                const ScoreStats st = res.stats();
                o["mean"] = st.mean;
                o["min"] = st.min;
                o["max"] = st.max;
                o["stddev"] = st.stddev;
                o["spread"] = st.relativeSpread;
            }
            list.push_back(std::move(o));
        }
        arrayElement(buffer_, any_,
                     {{"id", r.id},
                      {"time", r.time},
                      {"version", r.version},
                      {"demo", r.demo},
                      {"debug", r.debug},
                      {"resolutions", list}});
    }
    any_ = true;
    flush(false);
}

void HistoryListWriter::finish() {
    if (form_ == Form::Text) {
        if (!any_) buffer_ += "No runs stored yet.\n";
    } else {
        buffer_ += any_ ? "\n]\n" : "[]\n";
    }
    flush(true);
}

void ExportWriter::setColumns(std::vector<std::string> settingNames, std::vector<std::string> hardwareNames) {
    settingNames_ = std::move(settingNames);
    hardwareNames_ = std::move(hardwareNames);
}

void ExportWriter::flush(bool always) {
    if (buffer_.empty() || (!always && buffer_.size() < kBlock)) return;
    out_(buffer_);
    buffer_.clear();
}

void ExportWriter::start() {
    buffer_.clear();
    any_ = false;
    if (form_ != Form::Csv) return;
    bool first = true;
    for (const char* column : kCsvRunColumns) {
        if (!first) buffer_ += ',';
        first = false;
        appendCsvField(buffer_, column);
    }
    for (const auto& n : settingNames_) appendCsvField(buffer_ += ',', "setting:" + n);
    for (const auto& n : hardwareNames_) appendCsvField(buffer_ += ',', "hardware:" + n);
    buffer_ += "\r\n";
}

void ExportWriter::add(const StoredRun& r) {
    if (form_ == Form::Json) {
        Json settings = Json::object(), hardware = Json::object(), passes = Json::array();
        for (const auto& v : r.settings) settings[v.name] = v.value;
        for (const auto& v : r.hardware) hardware[v.name] = v.value;
        for (const auto& p : r.passes)
            passes.push_back({{"resolution", sizeText(p.width, p.height)},
                              {"width", p.width},
                              {"height", p.height},
                              {"score", optionalNumber(p.score)},
                              {"seconds", optionalNumber(p.seconds)}});
        arrayElement(buffer_, any_,
                     {{"id", r.id},
                      {"time", r.time},
                      {"started", r.started},
                      {"version", r.version},
                      {"demo", r.demo},
                      {"status", r.status},
                      {"report", r.report},
                      {"settings", settings},
                      {"hardware", hardware},
                      {"passes", passes}});
    } else {
        // The run's own fields and its values, each made once for all its rows.
        std::string head = std::to_string(r.id);
        for (const std::string* f : {&r.time, &r.started, &r.version, &r.demo, &r.status, &r.report})
            appendCsvField(head += ',', *f);
        std::string tail;
        auto values = [&tail](const std::vector<std::string>& names, const std::vector<NamedValue>& of) {
            for (const auto& n : names) {
                tail += ',';
                for (const auto& v : of)
                    if (v.name == n) {
                        appendCsvField(tail, v.value);
                        break;
                    }
            }
        };
        values(settingNames_, r.settings);
        values(hardwareNames_, r.hardware);
        if (r.passes.empty()) buffer_ += head + ",,,,,," + tail + "\r\n";
        for (std::size_t i = 0; i < r.passes.size(); ++i) {
            const auto& p = r.passes[i];
            buffer_ += head;
            buffer_ += ',';
            buffer_ += std::to_string(i + 1);
            appendCsvField(buffer_ += ',', sizeText(p.width, p.height));
            buffer_ += ',' + std::to_string(p.width) + ',' + std::to_string(p.height) + ',';
            if (p.score) buffer_ += number(*p.score);
            buffer_ += ',';
            if (p.seconds) buffer_ += number(*p.seconds);
            buffer_ += tail;
            buffer_ += "\r\n";
        }
    }
    any_ = true;
    flush(false);
}

void ExportWriter::finish() {
    if (form_ == Form::Json) buffer_ += any_ ? "\n]\n" : "[]\n";
    flush(true);
}

}  // namespace vantor
