#pragma once
// Names of PCI vendors and devices from the PCI ID database (the pci.ids file
// of Debian's pci.ids / hwdata packages).

#include <cstdint>
#include <string>

namespace vantor::dxdiag {

struct PciName {
    std::string vendor;  // empty when unknown
    std::string device;  // empty when unknown
};

class PciIds {
public:
    // The database from the text of a pci.ids file.
    explicit PciIds(const std::string& text = {}) : text_(text) {}
    // The installed database below root ("/" on a running system): Debian's
    // usr/share/misc/pci.ids, else usr/share/hwdata/pci.ids; empty when neither
    // can be read.
    static PciIds load(const std::string& root);

    bool empty() const { return text_.empty(); }
    PciName lookup(std::uint16_t vendor, std::uint16_t device) const;

private:
    std::string text_;
};

}  // namespace vantor::dxdiag
