#pragma once
// BenchSettings: the persisted option set, named string values under one
// registry key. The one object through which every part of the program reads
// and writes them.

#include "platform/Registry.h"

#include <stdexcept>
#include <string>

namespace vantor {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Quorvane\\Vantor";
inline constexpr const char* kSteamKey = "\\Software\\Valve\\Steam";

// Value names.
namespace sv {
inline constexpr const char* Programversion = "Programversion";
inline constexpr const char* HeaderVersion = "HeaderVersion";
inline constexpr const char* Path = "Path";
inline constexpr const char* HDDUsage = "HDDUsage";
inline constexpr const char* Demo = "Demo";
inline constexpr const char* Demoname = "Demoname";
inline constexpr const char* AFLevel = "AFLevel";
inline constexpr const char* AALevel = "AALevel";
inline constexpr const char* Detail = "Detail";
inline constexpr const char* CustomConfig = "CustomConfig";
inline constexpr const char* ResultPath = "ResultPath";
inline constexpr const char* Note = "Note";
inline constexpr const char* DXLevel = "DXLevel";
inline constexpr const char* Heapsize = "Heapsize";
inline constexpr const char* Refresh = "Refresh";
inline constexpr const char* FastZ = "FastZ";
inline constexpr const char* Addinfo = "Addinfo";
inline constexpr const char* SaveInfo = "Save Info";
inline constexpr const char* CPU = "CPU";
inline constexpr const char* Memory = "Memory";
inline constexpr const char* OS = "OS";
inline constexpr const char* VGA = "VGA";
inline constexpr const char* VGADriver = "VGA Driver";
inline constexpr const char* VGAMemory = "VGA Memory";
inline constexpr const char* Donate = "Donate";
inline constexpr const char* NoErrorWarning = "NoErrorWarning";
inline constexpr const char* SteamExe = "SteamExe";
// The game executable the user chose (full path, native separators); start-up
// uses it when discovery finds no game.
inline constexpr const char* HL2Exe = "HL2Exe";
// The Steam folder the user chose (native separators, trailing separator);
// discovery uses it after SteamExe. Steam's own value is never written.
inline constexpr const char* SteamFolder = "SteamFolder";
// The six resolution values, in item order.
inline constexpr const char* Resolutions[6] = {"640", "800", "1024", "1280", "1600", "2048"};
// Beyond the classic option set: passes, today's resolutions, report extras.
inline constexpr const char* Passes = "Passes";                          // "1".."10"
inline constexpr const char* AdaptivePasses = "AdaptivePasses";          // "1" / "0"
inline constexpr const char* AdaptiveThreshold = "AdaptiveThreshold";    // percent, "1".."10"
inline constexpr const char* AdaptiveCap = "AdaptiveCap";                // "2".."20"
inline constexpr const char* ReportSummary = "ReportSummary";            // "1" / "0", off when absent
inline constexpr const char* ResultFiles = "ResultFiles";                // "1" / "0", on when absent
inline constexpr const char* CustomResolution = "CustomResolution";      // "2560x1600"
inline constexpr const char* CustomResolutionOn = "CustomResolutionOn";  // "1" / "0"
// Today's resolutions, in item order (core/Resolutions.h).
inline constexpr const char* TodayResolutions[6] = {"1280x720",  "1920x1080", "2560x1440",
                                                    "3840x2160", "1920x1200", "2560x1080"};
}  // namespace sv

// A read of a value of another type, or a write the registry refused. The text
// is the store's own ("Invalid data type for '%s'", "Failed to set data for '%s'").
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsStore {
public:
    explicit SettingsStore(Registry& registry) : registry_(registry) {}

    // Opens (creating when missing) the settings key under HKEY_LOCAL_MACHINE
    // and makes it the current key. True when open.
    bool open();

    // Opens (create-if-missing) the Steam key under HKEY_CURRENT_USER and makes
    // it the current key. True when open.
    bool openSteamKey();

    // Makes the settings key current again without opening it.
    void useSettingsKey();

    // The value's text, empty when absent. Throws SettingsError for another type.
    std::string read(const std::string& name);
    bool exists(const std::string& name);
    // Writes a string value. Throws SettingsError when refused.
    void write(const std::string& name, const std::string& value);

    // While on, a refused write does not throw: the first one is kept (the
    // value's name and the registry's reason) until takeDeferredFailure. Start-up
    // uses it so that one refused write does not leave it half done.
    void deferWriteFailures(bool on) { defer_ = on; }
    // The kept failure, for the user: names the value, the settings file and the
    // reason. Empty when none; cleared by the call.
    std::string takeDeferredFailure();

private:
    Registry& registry_;
    RegRoot root_ = RegRoot::LocalMachine;
    std::string key_ = kSettingsKey;
    bool defer_ = false;
    std::string deferred_;
};

}  // namespace vantor
