#pragma once
// What the hardware report says about this machine, read from the files Linux
// offers (/etc/os-release, /proc/cpuinfo, /proc/meminfo, /sys/class/drm,
// /sys/module, /sys/class/dmi) below a root folder, so that tests can lay out a
// machine of their own. A value that cannot be found is kUnknown.

#include "tools/dxdiag/PciIds.h"

#include <functional>
#include <string>
#include <vector>

namespace vantor::dxdiag {

inline constexpr const char* kUnknown = "Unknown";
inline constexpr const char* kNotAvailable = "Not available";
inline constexpr const char* kNoDisplayAdapter = "No display adapter found";

struct DisplayDevice {
    std::string cardName = kUnknown;
    std::string manufacturer = kUnknown;
    std::string chipType = kUnknown;
    std::string deviceKey = kUnknown;
    std::string displayMemory = kUnknown;
    std::string monitor = kUnknown;
    std::string monitorMaxRes = kUnknown;
    std::string driverName = kUnknown;
    std::string driverVersion = kUnknown;
};

struct HardwareFacts {
    std::string timeOfReport = kUnknown;
    std::string machineName = kUnknown;
    std::string operatingSystem = kUnknown;
    std::string language = kUnknown;
    std::string systemManufacturer = kUnknown;
    std::string systemModel = kUnknown;
    std::string processor = kUnknown;
    std::string memory = kUnknown;
    std::string pageFile = kUnknown;
    std::string directXVersion = kNotAvailable;
    // At least one entry: a machine without a display adapter has one that says so.
    std::vector<DisplayDevice> displays;
};

// What comes from outside the file tree.
struct MachineInput {
    std::string root = "/";  // ends with '/'
    std::string kernelName, kernelRelease, architecture, nodeName;
    std::string localTime;
    // Environment lookup (LC_ALL, LC_MESSAGES, LC_TIME, LANG); null: none set.
    std::function<const char*(const char*)> env;
    // Output of "glxinfo -B" and "vulkaninfo --summary", empty when not run.
    std::string glxinfo, vulkaninfo;
};

HardwareFacts collectFacts(const MachineInput& in);

// The pieces, from the text of one file or command each.
std::string osText(const std::string& osRelease, const std::string& kernelName, const std::string& kernelRelease,
                   const std::string& architecture);
std::string languageText(const std::function<const char*(const char*)>& env);
std::string processorText(const std::string& cpuinfo);
std::string memoryText(const std::string& meminfo);
std::string pageFileText(const std::string& meminfo);
std::string graphicsApiText(const std::string& glxinfo, const std::string& vulkaninfo);
// "Mesa 23.2.1" from glxinfo's version strings; empty when not there.
std::string mesaVersion(const std::string& glxinfo);
// "1920,1080": the largest of the modes (lines "WxH", as DRM lists them).
std::string maxResolution(const std::vector<std::string>& modes);

std::vector<DisplayDevice> displayDevices(const std::string& root, const PciIds& ids, const std::string& kernelRelease,
                                          const std::string& mesa);

}  // namespace vantor::dxdiag
