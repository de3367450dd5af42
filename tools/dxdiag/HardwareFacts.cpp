#include "tools/dxdiag/HardwareFacts.h"

#include "platform/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>

namespace vantor::dxdiag {
namespace {

namespace fs = std::filesystem;

std::string trim(std::string s) {
    const char* blanks = " \t\r\n";
    s.erase(0, s.find_first_not_of(blanks) == std::string::npos ? s.size() : s.find_first_not_of(blanks));
    s.erase(s.find_last_not_of(blanks) + 1);
    return s;
}

// A small file's text (sysfs and procfs files), trimmed; empty when unreadable.
std::string readSmall(const std::string& path) {
    std::string bytes;
    return readFileBytes(path, bytes) ? trim(bytes) : std::string();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// "key : value" lines (cpuinfo) or "key=value" lines (uevent, os-release).
std::string valueAfter(const std::string& line, char separator, std::string& key) {
    const auto at = line.find(separator);
    if (at == std::string::npos) return {};
    key = trim(line.substr(0, at));
    return trim(line.substr(at + 1));
}

std::string unquote(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

bool parseHex16(std::string text, std::uint16_t& out) {
    text = trim(text);
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
    if (text.empty() || text.size() > 4) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

std::string hexUpper(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(v));
    return buf;
}

std::string hexLower(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(v));
    return buf;
}

// The number of a "cardN" entry, -1 for every other name (connectors, render nodes).
int cardNumber(const std::string& name) {
    if (name.size() < 5 || name.rfind("card", 0) != 0) return -1;
    for (std::size_t i = 4; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return -1;
    return std::atoi(name.c_str() + 4);
}

std::string megabytes(unsigned long long bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
    return buf;
}

DisplayDevice describeCard(const std::string& root, const std::string& card, const PciIds& ids,
                           const std::string& kernelRelease, const std::string& mesa) {
    DisplayDevice d;
    const std::string drm = root + "sys/class/drm/";
    const std::string dev = drm + card + "/device/";

    std::map<std::string, std::string> uevent;
    for (const auto& line : lines(readSmall(dev + "uevent"))) {
        std::string key;
        std::string value = valueAfter(line, '=', key);
        if (!key.empty()) uevent[key] = value;
    }

    std::string driver = uevent["DRIVER"];
    if (driver.empty()) {
        std::error_code ec;
        const fs::path link = fs::read_symlink(dev + "driver", ec);
        if (!ec) driver = link.filename().string();
    }

    std::uint16_t vendor = 0, device = 0;
    bool pci = parseHex16(readSmall(dev + "vendor"), vendor) && parseHex16(readSmall(dev + "device"), device);
    if (!pci) {
        const std::string id = uevent["PCI_ID"];  // "10DE:2484"
        const auto colon = id.find(':');
        pci = colon != std::string::npos && parseHex16(id.substr(0, colon), vendor) &&
              parseHex16(id.substr(colon + 1), device);
    }

    if (pci) {
        const PciName name = ids.lookup(vendor, device);
        if (!name.vendor.empty()) d.manufacturer = name.vendor;
        if (!name.device.empty()) d.chipType = name.device;
        if (!name.vendor.empty() && !name.device.empty())
            d.cardName = name.vendor + " " + name.device;
        else
            d.cardName = std::string(kUnknown) + " (PCI " + hexLower(vendor) + ":" + hexLower(device) + ")";
        std::string key = "PCI\\VEN_" + hexUpper(vendor) + "&DEV_" + hexUpper(device);
        std::uint16_t subVendor = 0, subDevice = 0;
        if (parseHex16(readSmall(dev + "subsystem_vendor"), subVendor) &&
            parseHex16(readSmall(dev + "subsystem_device"), subDevice))
            key += "&SUBSYS_" + hexUpper(subDevice) + hexUpper(subVendor);
        const std::string slot = uevent["PCI_SLOT_NAME"];
        if (!slot.empty()) key += " (" + slot + ")";
        d.deviceKey = key;
    } else {
        // A device of the system bus (ARM boards and the like).
        const std::string compatible = uevent["OF_COMPATIBLE_0"];
        if (!compatible.empty())
            d.cardName = compatible;
        else if (!driver.empty())
            d.cardName = std::string(kUnknown) + " (" + driver + ")";
    }

    for (const std::string& file :
         {dev + "mem_info_vram_total", drm + card + "/lmem_total_bytes", dev + "lmem_total_bytes"}) {
        const std::string text = readSmall(file);
        char* end = nullptr;
        const unsigned long long bytes = text.empty() ? 0 : std::strtoull(text.c_str(), &end, 10);
        if (bytes > 0 && end && *end == '\0') {
            d.displayMemory = megabytes(bytes);
            break;
        }
    }

    // Connectors of this card: "cardN-HDMI-A-1" and so on.
    std::vector<std::string> connected, modes;
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(drm, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (name.rfind(card + "-", 0) != 0) continue;
        if (readSmall(drm + name + "/status") != "connected") continue;
        connected.push_back(name.substr(card.size() + 1));
        for (const auto& mode : lines(readSmall(drm + name + "/modes"))) modes.push_back(mode);
    }
    if (!connected.empty()) {
        std::string list;
        for (const auto& c : connected) list += (list.empty() ? "" : ", ") + c;
        d.monitor = list;
    }
    d.monitorMaxRes = maxResolution(modes);

    if (!driver.empty()) {
        d.driverName = driver;
        const std::string version = readSmall(root + "sys/module/" + driver + "/version");
        std::string text = driver + (version.empty() ? "" : " " + version);
        if (!kernelRelease.empty()) text += " (kernel " + kernelRelease + ")";
        if (!mesa.empty()) text += ", " + mesa;
        d.driverVersion = text;
    }
    return d;
}

}  // namespace

std::string osText(const std::string& osRelease, const std::string& kernelName, const std::string& kernelRelease,
                   const std::string& architecture) {
    std::map<std::string, std::string> values;
    for (const auto& line : lines(osRelease)) {
        if (line.empty() || line[0] == '#') continue;
        std::string key;
        std::string value = unquote(valueAfter(line, '=', key));
        if (!key.empty()) values[key] = value;
    }
    std::string name = values["PRETTY_NAME"];
    if (name.empty()) name = trim(values["NAME"] + " " + values["VERSION"]);
    std::string kernel = trim(kernelName + " " + kernelRelease);
    if (!architecture.empty()) kernel += kernel.empty() ? architecture : ", " + architecture;
    if (name.empty()) return kernel.empty() ? kUnknown : kernel;
    return kernel.empty() ? name : name + " (" + kernel + ")";
}

std::string languageText(const std::function<const char*(const char*)>& env) {
    auto first = [&](std::initializer_list<const char*> names) -> std::string {
        for (const char* n : names) {
            const char* v = env ? env(n) : nullptr;
            if (v && *v) return v;
        }
        return "C";
    };
    return first({"LC_ALL", "LC_MESSAGES", "LANG"}) + " (Regional Setting: " + first({"LC_ALL", "LC_TIME", "LANG"}) +
           ")";
}

std::string processorText(const std::string& cpuinfo) {
    std::map<std::string, std::string> first;
    std::map<std::string, int> coresOfPackage;
    std::string package;
    int count = 0;
    for (const auto& line : lines(cpuinfo)) {
        std::string key;
        const std::string value = valueAfter(line, ':', key);
        if (key.empty()) continue;
        if (key == "processor") ++count;
        if (key == "physical id") package = value;
        if (key == "cpu cores") coresOfPackage[package] = std::atoi(value.c_str());
        first.emplace(key, value);
    }
    std::string model;
    for (const char* key : {"model name", "Model", "cpu model", "Hardware", "uarch", "cpu"}) {
        auto it = first.find(key);
        if (it != first.end() && !it->second.empty()) {
            model = it->second;
            break;
        }
    }
    int cores = 0;
    for (const auto& [_, n] : coresOfPackage) cores += n;
    if (model.empty() && count == 0) return kUnknown;
    std::string text = model.empty() ? kUnknown : model;
    if (count > 0) {
        text += " (" + std::to_string(count) + (count == 1 ? " CPU" : " CPUs");
        if (cores > 0) text += ", " + std::to_string(cores) + (cores == 1 ? " core" : " cores");
        text += ")";
    }
    auto mhz = first.find("cpu MHz");
    if (mhz != first.end()) {
        const double value = std::atof(mhz->second.c_str());
        if (value > 0) {
            char buf[32];
            std::snprintf(buf, sizeof buf, ", ~%.1fGHz", value / 1000.0);
            text += buf;
        }
    }
    return text;
}

namespace {

// A meminfo value in kB; -1 when missing.
long long meminfoKb(const std::string& meminfo, const std::string& name) {
    for (const auto& line : lines(meminfo)) {
        std::string key;
        const std::string value = valueAfter(line, ':', key);
        if (key == name) return std::atoll(value.c_str());
    }
    return -1;
}

}  // namespace

std::string memoryText(const std::string& meminfo) {
    const long long kb = meminfoKb(meminfo, "MemTotal");
    if (kb <= 0) return kUnknown;
    return std::to_string(kb / 1024) + "MB RAM";
}

std::string pageFileText(const std::string& meminfo) {
    const long long total = meminfoKb(meminfo, "SwapTotal"), free = meminfoKb(meminfo, "SwapFree");
    if (total < 0 || free < 0 || free > total) return kUnknown;
    return std::to_string((total - free) / 1024) + "MB used, " + std::to_string(free / 1024) + "MB available";
}

std::string mesaVersion(const std::string& glxinfo) {
    for (const auto& line : lines(glxinfo)) {
        if (line.find("version string") == std::string::npos) continue;
        const auto at = line.find("Mesa ");
        if (at == std::string::npos) continue;
        std::string rest = line.substr(at + 5);
        return "Mesa " + rest.substr(0, rest.find_first_of(" \t("));
    }
    return {};
}

std::string graphicsApiText(const std::string& glxinfo, const std::string& vulkaninfo) {
    std::string gl, glCore;
    for (const auto& line : lines(glxinfo)) {
        std::string key;
        const std::string value = valueAfter(line, ':', key);
        if (key == "OpenGL version string" && gl.empty()) gl = value;
        if (key == "OpenGL core profile version string" && glCore.empty()) glCore = value;
    }
    std::string vulkan;
    for (const auto& line : lines(vulkaninfo)) {
        if (line.find("apiVersion") == std::string::npos) continue;
        std::string key;
        std::string value = valueAfter(line, line.find('=') != std::string::npos ? '=' : ':', key);
        // Older releases: "4206847 (1.3.255)".
        const auto open = value.find('('), close = value.find(')');
        if (open != std::string::npos && close > open) value = value.substr(open + 1, close - open - 1);
        if (!value.empty()) {
            vulkan = value;
            break;
        }
    }
    std::string text;
    if (!glCore.empty() || !gl.empty()) text = "OpenGL " + (glCore.empty() ? gl : glCore);
    if (!vulkan.empty()) text += (text.empty() ? "" : " / ") + std::string("Vulkan ") + vulkan;
    return text.empty() ? kNotAvailable : text;
}

std::string maxResolution(const std::vector<std::string>& modes) {
    long best = 0, bestW = 0, bestH = 0;
    for (const auto& mode : modes) {
        char* end = nullptr;
        const long w = std::strtol(mode.c_str(), &end, 10);
        if (!end || *end != 'x') continue;
        const long h = std::strtol(end + 1, nullptr, 10);
        if (w <= 0 || h <= 0) continue;
        if (w * h > best || (w * h == best && w > bestW)) {
            best = w * h;
            bestW = w;
            bestH = h;
        }
    }
    if (best == 0) return kUnknown;
    return std::to_string(bestW) + "," + std::to_string(bestH);
}

std::vector<DisplayDevice> displayDevices(const std::string& root, const PciIds& ids, const std::string& kernelRelease,
                                          const std::string& mesa) {
    std::vector<std::pair<int, std::string>> cards;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(root + "sys/class/drm", ec)) {
        const std::string name = e.path().filename().string();
        const int n = cardNumber(name);
        if (n >= 0) cards.emplace_back(n, name);
    }
    std::sort(cards.begin(), cards.end());
    std::vector<DisplayDevice> out;
    for (const auto& [_, card] : cards) out.push_back(describeCard(root, card, ids, kernelRelease, mesa));
    if (out.empty()) {
        DisplayDevice none;
        none.cardName = kNoDisplayAdapter;
        out.push_back(none);
    }
    return out;
}

HardwareFacts collectFacts(const MachineInput& in) {
    HardwareFacts f;
    const std::string& root = in.root;
    if (!in.localTime.empty()) f.timeOfReport = in.localTime;
    if (!in.nodeName.empty()) f.machineName = in.nodeName;

    std::string osRelease;
    if (!readFileBytes(root + "etc/os-release", osRelease)) readFileBytes(root + "usr/lib/os-release", osRelease);
    f.operatingSystem = osText(osRelease, in.kernelName, in.kernelRelease, in.architecture);
    f.language = languageText(in.env);

    const std::string vendor = readSmall(root + "sys/class/dmi/id/sys_vendor");
    const std::string product = readSmall(root + "sys/class/dmi/id/product_name");
    if (!vendor.empty()) f.systemManufacturer = vendor;
    if (!product.empty()) f.systemModel = product;

    std::string cpuinfo, meminfo;
    readFileBytes(root + "proc/cpuinfo", cpuinfo);
    readFileBytes(root + "proc/meminfo", meminfo);
    f.processor = processorText(cpuinfo);
    f.memory = memoryText(meminfo);
    f.pageFile = pageFileText(meminfo);
    f.directXVersion = graphicsApiText(in.glxinfo, in.vulkaninfo);

    f.displays = displayDevices(root, PciIds::load(root), in.kernelRelease, mesaVersion(in.glxinfo));
    return f;
}

}  // namespace vantor::dxdiag
