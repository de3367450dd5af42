#include "tools/dxdiag/PciIds.h"

#include "platform/TextFile.h"

#include <cstdio>
#include <string_view>

namespace vantor::dxdiag {
namespace {

// The four lower-case hex digits of an id, as pci.ids writes them.
std::string hex4(std::uint16_t id) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(id));
    return buf;
}

// A line "<indent><id>  <name>": the name when the id matches.
bool entryName(std::string_view line, std::size_t indent, const std::string& id, std::string& name) {
    if (line.size() < indent + 6) return false;
    for (std::size_t i = 0; i < indent; ++i)
        if (line[i] != '\t') return false;
    if (line[indent] == '\t' || line.substr(indent, 4) != id) return false;
    std::size_t at = indent + 4;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    name = std::string(line.substr(at));
    while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) name.pop_back();
    return true;
}

}  // namespace

PciIds PciIds::load(const std::string& root) {
    for (const char* path : {"usr/share/misc/pci.ids", "usr/share/hwdata/pci.ids"}) {
        std::string bytes;
        if (readFileBytes(root + path, bytes) && !bytes.empty()) return PciIds(bytes);  // UTF-8
    }
    return PciIds();
}

PciName PciIds::lookup(std::uint16_t vendor, std::uint16_t device) const {
    PciName out;
    const std::string v = hex4(vendor), d = hex4(device);
    bool inVendor = false;
    std::string_view text = text_;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] != '\t') {
            if (inVendor) break;  // the vendor's devices are over
            // The device classes at the end of the file are not vendors.
            if (line.rfind("C ", 0) == 0) break;
            inVendor = entryName(line, 0, v, out.vendor);
            continue;
        }
        if (inVendor && entryName(line, 1, d, out.device)) break;
    }
    return out;
}

}  // namespace vantor::dxdiag
