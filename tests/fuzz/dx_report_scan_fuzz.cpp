// The diagnostic-report scan over any file: labels are handed over in order,
// each with a line of the file, and never more than were asked for.

#include "diag/ScanDxReport.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = fuzz::scratch() + "dx/report.txt";
    fuzz::writeBytes(file, data, size);
    const std::vector<std::string> labels = {
        "Processor:", "Memory:", "Operating System:", "Card name:", "Driver Version:", "Display Memory:"};
    std::vector<std::string> lines;
    std::size_t next = 0;
    const DxScanResult r = ScanDxReport(file, labels, lines, [&](std::size_t index, const std::string& line) {
        FUZZ_CHECK(index == next, line);
        ++next;
    });
    FUZZ_CHECK(r.found == next && r.found <= labels.size());
    FUZZ_CHECK(r.ok() == (r.found == labels.size()));
    return 0;
}
