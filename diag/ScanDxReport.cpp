#include "diag/ScanDxReport.h"

#include "platform/ProcessList.h"
#include "platform/TextFile.h"

#include <algorithm>

namespace vantor {
namespace {

std::string valueOf(const std::string& line) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) return line.substr(eq + 1);
    return line.empty() ? std::string() : line.substr(1);
}

std::string withoutLeadingBlanks(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b);
}

}  // namespace

DxScanResult ScanDxReport(const std::string& file, const std::vector<std::string>& labels,
                          std::vector<std::string>& lines,
                          const std::function<void(std::size_t index, const std::string& line)>& onFound) {
    DxScanResult result;
    lines.clear();
    if (!readTextLines(file, lines)) {
        result.status = DxScanResult::Status::FileMissing;
        return result;
    }
    // The first entry is the cursor; dropping it moves the cursor on.
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (cursor >= lines.size()) {
            result.status = DxScanResult::Status::LabelMissing;
            break;
        }
        std::string current = valueOf(lines[cursor]);
        while (!ContainsIgnoringCase(labels[i], current)) {
            if (++cursor >= lines.size()) break;
            current = withoutLeadingBlanks(valueOf(lines[cursor]));
        }
        if (cursor >= lines.size()) {
            result.status = DxScanResult::Status::LabelMissing;
            break;
        }
        ++result.found;
        if (onFound) onFound(i, current);
    }
    // The scan consumes the list up to its cursor.
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(cursor, lines.size())));
    return result;
}

}  // namespace vantor
