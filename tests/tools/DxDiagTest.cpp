// The hardware-report tool: what it reads from a machine laid out in a folder,
// the report's layout, and the program itself on this machine.
#include "diag/ScanDxReport.h"
#include "tests/support/TempDir.h"
#include "tools/dxdiag/HardwareFacts.h"
#include "tools/dxdiag/PciIds.h"
#include "tools/dxdiag/ReportText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace vantor;
using namespace vantor::dxdiag;
using namespace vantor::test;

extern char** environ;

namespace {

const char* const kPciIds =
    "# comment\n"
    "1002  Advanced Micro Devices, Inc. [AMD/ATI]\n"
    "\t73bf  Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]\n"
    "\t\t1002 0e3a  Radeon RX 6900 XT\n"
    "10de  NVIDIA Corporation\n"
    "\t2484  GA104 [GeForce RTX 3070]\n"
    "\t2486  GA104 [GeForce RTX 3060 Ti]\n"
    "8086  Intel Corporation\n"
    "C 03  Display controller\n"
    "\t00  VGA compatible controller\n";

std::function<const char*(const char*)> envOf(std::map<std::string, std::string> values) {
    auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(values));
    return [shared](const char* name) -> const char* {
        auto it = shared->find(name);
        return it == shared->end() ? nullptr : it->second.c_str();
    };
}

}  // namespace

TEST(HardwareFactsPieces, PciNames) {
    const PciIds ids(kPciIds);
    struct Case {
        std::uint16_t vendor, device;
        const char* vendorName;
        const char* deviceName;
    };
    const Case cases[] = {
        {0x10de, 0x2484, "NVIDIA Corporation", "GA104 [GeForce RTX 3070]"},
        {0x1002, 0x73bf, "Advanced Micro Devices, Inc. [AMD/ATI]", "Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]"},
        {0x10de, 0x9999, "NVIDIA Corporation", ""},  // a device the database does not know
        {0x8086, 0x2484, "Intel Corporation", ""},   // another vendor's device id
        {0x1234, 0x1111, "", ""},
        {0x0003, 0x0000, "", ""},  // the class list at the end is not read as vendors
    };
    for (const Case& c : cases) {
        const PciName n = ids.lookup(c.vendor, c.device);
        EXPECT_EQ(n.vendor, c.vendorName) << c.vendor << ":" << c.device;
        EXPECT_EQ(n.device, c.deviceName) << c.vendor << ":" << c.device;
    }
    EXPECT_TRUE(PciIds().lookup(0x10de, 0x2484).vendor.empty());
}

TEST(HardwareFactsPieces, TextsFromTheSystemFiles) {
    EXPECT_EQ(osText("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Linux",
                     "6.1.0-18-amd64", "x86_64"),
              "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64, x86_64)");
    EXPECT_EQ(osText("NAME='Alpine Linux'\nVERSION=3.19\n", "Linux", "6.6", ""), "Alpine Linux 3.19 (Linux 6.6)");
    EXPECT_EQ(osText("", "Linux", "6.6", "aarch64"), "Linux 6.6, aarch64");
    EXPECT_EQ(osText("", "", "", ""), "Unknown");

    EXPECT_EQ(languageText(envOf({{"LANG", "de_DE.UTF-8"}, {"LC_TIME", "en_GB.UTF-8"}})),
              "de_DE.UTF-8 (Regional Setting: en_GB.UTF-8)");
    EXPECT_EQ(languageText(envOf({{"LANG", "de_DE.UTF-8"}, {"LC_ALL", "fr_FR.UTF-8"}, {"LC_MESSAGES", "C"}})),
              "fr_FR.UTF-8 (Regional Setting: fr_FR.UTF-8)");
    EXPECT_EQ(languageText(envOf({{"LANG", ""}})), "C (Regional Setting: C)");

    const std::string twoSockets =
        "processor\t: 0\nmodel name\t: AMD EPYC 7302 16-Core Processor\nphysical id\t: 0\ncpu cores\t: 16\n"
        "cpu MHz\t\t: 2994.372\n\nprocessor\t: 1\nmodel name\t: AMD EPYC 7302 16-Core Processor\n"
        "physical id\t: 1\ncpu cores\t: 16\ncpu MHz\t\t: 1500.000\n";
    EXPECT_EQ(processorText(twoSockets), "AMD EPYC 7302 16-Core Processor (2 CPUs, 32 cores), ~3.0GHz");
    const std::string arm =
        "processor\t: 0\nBogoMIPS\t: 108.00\nCPU implementer\t: 0x41\n\n"
        "Hardware\t: BCM2835\nModel\t\t: Raspberry Pi 4 Model B Rev 1.4\n";
    EXPECT_EQ(processorText(arm), "Raspberry Pi 4 Model B Rev 1.4 (1 CPU)");
    EXPECT_EQ(processorText("processor : 0\nprocessor : 1\n"), "Unknown (2 CPUs)");
    EXPECT_EQ(processorText(""), "Unknown");

    const std::string meminfo =
        "MemTotal:       24683728 kB\nMemFree:  1 kB\nSwapTotal: 2097148 kB\nSwapFree: 1048576 kB\n";
    EXPECT_EQ(memoryText(meminfo), "24105MB RAM");
    EXPECT_EQ(pageFileText(meminfo), "1023MB used, 1024MB available");
    EXPECT_EQ(memoryText("MemFree: 1 kB\n"), "Unknown");
    EXPECT_EQ(pageFileText("MemTotal: 1 kB\n"), "Unknown");
}

TEST(HardwareFactsPieces, GraphicsInterfacesAndModes) {
    const std::string glx =
        "name of display: :0\nOpenGL vendor string: AMD\n"
        "OpenGL core profile version string: 4.6 (Core Profile) Mesa 23.2.1-1~bpo12+rc2\n"
        "OpenGL version string: 4.6 (Compatibility Profile) Mesa 23.2.1-1~bpo12+rc2\n";
    EXPECT_EQ(mesaVersion(glx), "Mesa 23.2.1-1~bpo12+rc2");
    EXPECT_EQ(graphicsApiText(glx, ""), "OpenGL 4.6 (Core Profile) Mesa 23.2.1-1~bpo12+rc2");
    EXPECT_EQ(graphicsApiText("", "GPU0:\n\tapiVersion         = 1.3.255\n"), "Vulkan 1.3.255");
    EXPECT_EQ(
        graphicsApiText("OpenGL version string: 2.1 NVIDIA 535.154.05\n", "\tapiVersion     = 4206847 (1.3.255)\n"),
        "OpenGL 2.1 NVIDIA 535.154.05 / Vulkan 1.3.255");
    EXPECT_EQ(mesaVersion("OpenGL version string: 2.1 NVIDIA 535.154.05\n"), "");
    EXPECT_EQ(graphicsApiText("", ""), "Not available");

    EXPECT_EQ(maxResolution({"1920x1080", "2560x1440", "1280x1024", "720x576i"}), "2560,1440");
    EXPECT_EQ(maxResolution({"1920x1080i", "1024x768"}), "1920,1080");
    EXPECT_EQ(maxResolution({"garbage", ""}), "Unknown");
    EXPECT_EQ(maxResolution({}), "Unknown");
}

// A machine with a discrete card (two monitors on it, one connector empty), a
// board's built-in display device without PCI ids, and the PCI database.
TEST(HardwareFacts, MachineLaidOutInAFolder) {
    TempDir dir;
    const std::string root = dir.path();
    writeFile(root + "etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    writeFile(root + "proc/cpuinfo", "processor : 0\nmodel name : Test CPU\ncpu cores : 1\ncpu MHz : 3400\n");
    writeFile(root + "proc/meminfo", "MemTotal: 16777216 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n");
    writeFile(root + "sys/class/dmi/id/sys_vendor", "Aldermere\n");
    writeFile(root + "sys/class/dmi/id/product_name", "Bench Box\n");
    writeFile(root + "usr/share/hwdata/pci.ids", kPciIds);
    const std::string drm = root + "sys/class/drm/";
    writeFile(drm + "card0/device/vendor", "0x1002\n");
    writeFile(drm + "card0/device/device", "0x73bf\n");
    writeFile(drm + "card0/device/subsystem_vendor", "0x1002\n");
    writeFile(drm + "card0/device/subsystem_device", "0x0e3a\n");
    writeFile(drm + "card0/device/uevent", "DRIVER=amdgpu\nPCI_SLOT_NAME=0000:03:00.0\n");
    writeFile(drm + "card0/device/mem_info_vram_total", "17163091968\n");
    writeFile(drm + "card0-DP-1/status", "connected\n");
    writeFile(drm + "card0-DP-1/modes", "2560x1440\n1920x1080\n");
    writeFile(drm + "card0-HDMI-A-1/status", "connected\n");
    writeFile(drm + "card0-HDMI-A-1/modes", "3840x2160\n");
    writeFile(drm + "card0-DP-2/status", "disconnected\n");
    writeFile(drm + "card0-DP-2/modes", "7680x4320\n");
    writeFile(drm + "card1/device/uevent", "DRIVER=vc4-drm\nOF_COMPATIBLE_0=brcm,bcm2711-vc5\n");
    writeFile(drm + "renderD128/dev", "226:128\n");
    writeFile(drm + "version", "drm 1.1.0 20060810\n");
    writeFile(root + "sys/module/vc4/version", "not this driver's\n");

    MachineInput in;
    in.root = root;
    in.kernelName = "Linux";
    in.kernelRelease = "6.1.0-18-amd64";
    in.architecture = "x86_64";
    in.nodeName = "bench";
    in.localTime = "2005-07-20 14:03:05";
    in.env = envOf({{"LANG", "en_US.UTF-8"}});
    in.glxinfo = "OpenGL version string: 4.6 (Compatibility Profile) Mesa 22.3.6\n";

    const std::vector<std::string> expected = {
        "------------------",
        "System Information",
        "------------------",
        "Time of this report: 2005-07-20 14:03:05",
        "       Machine name: bench",
        "   Operating System: Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64, x86_64)",
        "           Language: en_US.UTF-8 (Regional Setting: en_US.UTF-8)",
        "System Manufacturer: Aldermere",
        "       System Model: Bench Box",
        "          Processor: Test CPU (1 CPU, 1 core), ~3.4GHz",
        "             Memory: 16384MB RAM",
        "          Page File: 0MB used, 0MB available",
        "    DirectX Version: OpenGL 4.6 (Compatibility Profile) Mesa 22.3.6",
        "     DxDiag Version: test 1",
        "",
        "---------------",
        "Display Devices",
        "---------------",
        "          Card name: Advanced Micro Devices, Inc. [AMD/ATI] Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]",
        "       Manufacturer: Advanced Micro Devices, Inc. [AMD/ATI]",
        "          Chip type: Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]",
        "         Device Key: PCI\\VEN_1002&DEV_73BF&SUBSYS_0E3A1002 (0000:03:00.0)",
        "     Display Memory: 16368.0 MB",
        "            Monitor: DP-1, HDMI-A-1",
        "    Monitor Max Res: 3840,2160",
        "        Driver Name: amdgpu",
        "     Driver Version: amdgpu (kernel 6.1.0-18-amd64), Mesa 22.3.6",
        "",
        "          Card name: brcm,bcm2711-vc5",
        "       Manufacturer: Unknown",
        "          Chip type: Unknown",
        "         Device Key: Unknown",
        "     Display Memory: Unknown",
        "            Monitor: Unknown",
        "    Monitor Max Res: Unknown",
        "        Driver Name: vc4-drm",
        "     Driver Version: vc4-drm (kernel 6.1.0-18-amd64), Mesa 22.3.6",
    };
    EXPECT_EQ(reportLines(collectFacts(in), "test 1"), expected);
}

TEST(HardwareFacts, EmptyMachineStillHasEveryLabel) {
    TempDir dir;
    MachineInput in;
    in.root = dir.path();
    const std::vector<std::string> lines = reportLines(collectFacts(in), "test 1");
    for (const char* line : {"          Processor: Unknown", "             Memory: Unknown",
                             "          Card name: No display adapter found", "     Display Memory: Unknown",
                             "    Monitor Max Res: Unknown", "     Driver Version: Unknown",
                             "    DirectX Version: Not available", "   Operating System: Unknown"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;

    // A known NVIDIA id without the database: the ids stand in for the name.
    writeFile(in.root + "sys/class/drm/card0/device/uevent", "DRIVER=nouveau\nPCI_ID=10DE:2484\n");
    const auto displays = displayDevices(in.root, PciIds(), "6.1", "");
    ASSERT_EQ(displays.size(), 1u);
    EXPECT_EQ(displays[0].cardName, "Unknown (PCI 10de:2484)");
    EXPECT_EQ(displays[0].deviceKey, "PCI\\VEN_10DE&DEV_2484");
    EXPECT_EQ(displays[0].driverVersion, "nouveau (kernel 6.1)");
}

TEST(HardwareFacts, ValuesAreSingleLinesWithoutEqualsSigns) {
    EXPECT_EQ(reportValue("  Vendor=X\tModel\r\n"), "Vendor-X Model");
    EXPECT_EQ(reportValue(" \t "), "Unknown");
    HardwareFacts f;
    f.processor = "CPU=fast\nMemory: 1";
    const auto lines = reportLines(f, "v");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "          Processor: CPU-fast Memory: 1"), lines.end());
}

// ---- the program -----------------------------------------------------------------------------

namespace {

// Runs dxdiag.exe with the arguments; the exit code, or -1.
int runTool(std::vector<std::string> args, std::chrono::milliseconds* took = nullptr) {
    const std::string exe = std::string(VANTOR_BIN_DIR) + "/dxdiag.exe";
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (took) *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(DxDiagTool, WritesAReportOfThisMachineWithEveryLabelInOrder) {
    TempDir dir;
    const std::string file = dir / "my bench/dxinfo.txt";
    std::filesystem::create_directories(dir / "my bench");
    std::chrono::milliseconds took{};
    ASSERT_EQ(runTool({"/whql:on", "/t", file}, &took), 0);
    EXPECT_LT(took, std::chrono::seconds(10));

    const std::string bytes = readFile(file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find("\n\n"), std::string::npos);  // CR LF throughout
    // Nothing but the report is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "my bench"), {}), 1);

    // Both readers find every label they look for.
    for (const auto* labels : {&kHardwareLabels, &kDebugLabels}) {
        std::vector<std::string> lines, found;
        const DxScanResult r = ScanDxReport(file, *labels, lines, [&](std::size_t i, const std::string& line) {
            EXPECT_EQ(line.rfind((*labels)[i], 0), 0u) << line;
            found.push_back(line);
        });
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(found.size(), labels->size());
    }
}

TEST(DxDiagTool, WrongArgumentsAndUnwritableFiles) {
    TempDir dir;
    const std::string file = dir / "dxinfo.txt";
    const std::vector<std::vector<std::string>> usage = {{},           {"/whql:on"},          {"/whql:on", "/t"},
                                                         {"/x", file}, {"/t", file, "extra"}, {"/t", file, "/t", file}};
    for (const auto& args : usage) EXPECT_EQ(runTool(args), 2);
    EXPECT_FALSE(exists(file));

    EXPECT_EQ(runTool({"/WHQL:OFF", "/T", file}), 0);  // switches in any case
    EXPECT_TRUE(exists(file));
    EXPECT_EQ(runTool({"/whql:on", "/t", dir / "missing folder/dxinfo.txt"}), 1);
}
