#include "report/TimedemoTable.h"
#include "platform/AsciiCase.h"

namespace vantor {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> splitTimedemoFields(std::string_view line) {
    std::vector<std::string> fields;
    for (;;) {
        const auto comma = line.find(',');
        fields.emplace_back(trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) return fields;
        line.remove_prefix(comma + 1);
    }
}

std::optional<TimedemoHeader> parseTimedemoHeader(std::string_view line) {
    const auto names = splitTimedemoFields(line);
    TimedemoHeader header;
    for (std::size_t c = 0; c < kTimedemoColumns.size(); ++c) {
        header.index[c] = -1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (equalsIgnoringAsciiCase(names[i], kTimedemoColumns[c].name)) {
                header.index[c] = static_cast<int>(i);
                break;
            }
        }
        if (header.index[c] < 0 && kTimedemoColumns[c].required) return std::nullopt;
    }
    return header;
}

}  // namespace vantor
