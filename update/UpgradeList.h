#pragma once
// The hand-over between the program and the replacement program: after every
// download has been checked, the program writes the plan of the replacement
// ("upgrade.lst": each ".uTMP" file, its size and its target) beside the files;
// the replacement program carries it out, one rename per file, and removes the
// list last. A killed replacement leaves every file old or new; the next start
// of the program finishes what the list still names. ".uTMP" files without a
// list were never checked and are removed.
//
// A file's target is its own name without ".uTMP", beside the program: only
// the program's own download replaces the program. In an external setup whose
// program file was not downloaded, the first target ending in "exe" is the
// setup program to run.
//
// An instance that downloads an update holds the lock file "upgrade.lock"
// beside the program until the update ends (after a hand-over, until the
// instance has closed); start-up recovery leaves the folder alone while
// another instance holds it.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kUpgradeListName = "upgrade.lst";
inline constexpr const char* kUpdateLockName = "upgrade.lock";
inline constexpr const char* kUpgraderFileName = "Upgrader3.exe";
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
    // The plan for these downloaded files (names without ".uTMP"), in this order.
    static UpgradePlan plan(const std::string& folder, const std::vector<std::string>& names,
                            const std::string& programName, bool externalSetup);
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
    // Nothing happens while another instance downloads an update.
    static void recover(const std::string& folder);

    // Removes every ".uTMP" file of the folder and the list.
    static void removeDownloads(const std::string& folder);

    // Names the program keeps for itself beside it (the list, the lock, the
    // replacement program): an update may not bring a file of that name.
    static bool isReservedName(const std::string& name);
    // Whether two file names name the same file (letter case aside on Windows).
    static bool sameName(const std::string& a, const std::string& b);
};

}  // namespace vantor
