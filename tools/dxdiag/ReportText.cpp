#include "tools/dxdiag/ReportText.h"

namespace vantor::dxdiag {
namespace {

constexpr std::size_t kLabelWidth = 19;  // "Time of this report"

void title(std::vector<std::string>& out, const std::string& text) {
    out.push_back(std::string(text.size(), '-'));
    out.push_back(text);
    out.push_back(std::string(text.size(), '-'));
}

void fact(std::vector<std::string>& out, const std::string& label, const std::string& value) {
    const std::string pad = label.size() < kLabelWidth ? std::string(kLabelWidth - label.size(), ' ') : std::string();
    out.push_back(pad + label + ": " + reportValue(value));
}

}  // namespace

std::string reportValue(const std::string& value) {
    std::string v;
    v.reserve(value.size());
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        v += u < 0x20 || u == 0x7F ? ' ' : c == '=' ? '-' : c;
    }
    const auto b = v.find_first_not_of(' ');
    if (b == std::string::npos) return kUnknown;
    return v.substr(b, v.find_last_not_of(' ') - b + 1);
}

std::vector<std::string> reportLines(const HardwareFacts& f, const std::string& toolVersion) {
    std::vector<std::string> out;
    title(out, "System Information");
    fact(out, "Time of this report", f.timeOfReport);
    fact(out, "Machine name", f.machineName);
    fact(out, "Operating System", f.operatingSystem);
    fact(out, "Language", f.language);
    fact(out, "System Manufacturer", f.systemManufacturer);
    fact(out, "System Model", f.systemModel);
    fact(out, "Processor", f.processor);
    fact(out, "Memory", f.memory);
    fact(out, "Page File", f.pageFile);
    fact(out, "DirectX Version", f.directXVersion);
    fact(out, "DxDiag Version", toolVersion);
    out.push_back("");
    title(out, "Display Devices");
    std::vector<DisplayDevice> displays = f.displays;
    if (displays.empty()) {
        displays.emplace_back();
        displays.back().cardName = kNoDisplayAdapter;
    }
    for (std::size_t i = 0; i < displays.size(); ++i) {
        const DisplayDevice& d = displays[i];
        if (i > 0) out.push_back("");
        fact(out, "Card name", d.cardName);
        fact(out, "Manufacturer", d.manufacturer);
        fact(out, "Chip type", d.chipType);
        fact(out, "Device Key", d.deviceKey);
        fact(out, "Display Memory", d.displayMemory);
        fact(out, "Monitor", d.monitor);
        fact(out, "Monitor Max Res", d.monitorMaxRes);
        fact(out, "Driver Name", d.driverName);
        fact(out, "Driver Version", d.driverVersion);
    }
    return out;
}

}  // namespace vantor::dxdiag
