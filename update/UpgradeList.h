#pragma once
// The hand-over between the program and the replacement program: after every
// download has been checked, the program writes the plan of the replacement
// ("upgrade.lst": each ".uTMP" file, its size and its target) beside the files;
// the replacement program carries it out, one rename per file, and removes the
// list last. A killed replacement leaves every file old or new; the next start
// of the program finishes what the list still names. ".uTMP" files without a
// list were never checked and are removed.
//
// Targets follow the rules of the replacement: a file's target is its name
// without ".uTMP"; when the program's own file was not downloaded, the first
// target ending in "exe" becomes the program's own file (self-upgrade) or the
// setup program to run (external setup).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kUpgradeListName = "upgrade.lst";
inline constexpr const char* kDownloadSuffix = ".uTMP";

struct UpgradeStep {
    std::string source;  // "NAME.uTMP"
    std::string target;  // a file name in the same folder
    std::uint64_t size = 0;
    bool setup = false;  // the setup program of an external-setup update
};

struct UpgradePlan {
    bool externalSetup = false;
    std::vector<UpgradeStep> steps;
};

struct UpgradeApplied {
    bool ok = true;
    std::string setupProgram;  // full path, external setup only
    std::string error;
};

class UpgradeList {
public:
    // The plan for the ".uTMP" files of folder (ends with a separator), in
    // the order the folder lists them; sizes as they are now.
    static UpgradePlan plan(const std::string& folder, const std::string& programName, bool externalSetup);
    static bool write(const std::string& folder, const UpgradePlan& plan);
    static std::optional<UpgradePlan> read(const std::string& folder);

    // Puts the planned files in place and removes the list. A file already in
    // place (its ".uTMP" gone) is passed over; one whose size differs is
    // removed, not used. maxSteps stops early (for tests: a kill after so
    // many steps).
    static UpgradeApplied apply(const std::string& folder, const UpgradePlan& plan,
                                std::size_t maxSteps = std::numeric_limits<std::size_t>::max());

    // At start-up: finishes a replacement that was cut short, unless a
    // replacement program is still at work; removes unchecked downloads.
    static void recover(const std::string& folder);

    // Removes every ".uTMP" file of the folder and the list.
    static void removeDownloads(const std::string& folder);
};

}  // namespace vantor
