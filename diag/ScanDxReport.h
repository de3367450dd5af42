#pragma once
// Reading a diagnostic report: the labels the hardware description is taken
// from, and the scan that finds them in order.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vantor {

// What the Information window looks for, in report order: the values OS, CPU,
// Memory, VGA, VGA Memory and VGA Driver.
inline const std::vector<std::string> kHardwareLabels = {
    "Operating System:", "Processor:", "Memory:", "Card name:", "Display Memory:", "Driver Version:"};
// What debug mode writes into the log, in report order.
inline const std::vector<std::string> kDebugLabels = {
    "Operating System:", "Language:",       "Processor:",       "Memory:",        "DirectX Version:",
    "Card name:",        "Display Memory:", "Monitor Max Res:", "Driver Version:"};

struct DxScanResult {
    enum class Status { Complete, FileMissing, LabelMissing };
    Status status = Status::Complete;
    std::size_t found = 0;  // labels found before the scan stopped
    bool ok() const { return status == Status::Complete; }
};

// ScanDxReport: loads file into lines (one entry per line) and looks for each
// label in order, handing every found line to onFound at once. A line's value
// is the text after its first "=", else the line without its first character.
// The scan moves forward only: it starts at the first line's value as it is;
// each step drops the first line and takes the next one's value without its
// leading blanks; a label is looked for from the line where the previous one
// was found (that line included, its value again as it is). It stops at a
// missing file or when the lines run out before a label is found; what was
// handed over until then stays handed over.
DxScanResult ScanDxReport(const std::string& file, const std::vector<std::string>& labels,
                          std::vector<std::string>& lines,
                          const std::function<void(std::size_t index, const std::string& line)>& onFound);

}  // namespace vantor
