#pragma once
// The logic of the Information window (TForm2): the stored hardware
// description, its collection from the hardware-report tool through toolRunner,
// and "Save & Close". The window only binds its controls to it.

#include "core/SettingsStore.h"
#include "diag/DiagTool.h"
#include "diag/HardwareInfoView.h"
#include "platform/RunAFile.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace vantor {

struct AppContext;

inline constexpr const char* kInfoTitle = "Information";
inline constexpr const char* kNoStoredInfo = "Currently there are no stored information.";
inline constexpr const char* kInfoStartStatus = "Click to Get Info button to get more exact hardware information.";
inline constexpr const char* kCollectingStatus = "Collecting hardware information, please wait...";
inline constexpr const char* kCollectedStatus =
    "Information collected. Click to Save & Close button to save datas into the registry.";
inline constexpr const char* kDebugHasToolStatus =
    "Debug mode is running the hardware report tool. Please try again when it has finished.";
inline constexpr const char* kToolStillRunningStatus =
    "The hardware report tool is still running. Please try again in a moment.";

// The six values, in memo and report order, with their stored names.
inline constexpr std::array<const char*, 6> kHardwareValueNames = {sv::OS,  sv::CPU,       sv::Memory,
                                                                   sv::VGA, sv::VGAMemory, sv::VGADriver};

class HardwareInfo {
public:
    HardwareInfo(AppContext& ctx, DiagTool& tool, HardwareInfoView& view);

    // Once, when the window is created: the memo from the settings.
    void startUp();
    // Each time the window is shown.
    void windowShown();
    // "Get info": starts a collection.
    void collect();
    // toolRunner's end notification.
    void RunHLFileProcCompleted(TRunItem& RunItem, TRetType RetType, std::uint32_t RetVal);
    // "Save & Close": stores or clears the values and closes the window.
    void saveAndClose();
    // The window closes (any way): the report file goes.
    void windowClosed();

    // The collecting flag.
    bool collecting() const { return collecting_; }
    // A start of the tool that has not ended yet.
    bool toolRunning() const { return toolRunning_; }
    const std::vector<std::string>& memo() const { return memo_; }
    // The current values, in the order of kHardwareValueNames.
    const std::array<std::string, 6>& values() const { return values_; }

    TRunAFile& toolRunner() { return toolRunner_; }

    // Runs whenever a collection has ended, in any way (vantor-cli waits for it).
    std::function<void()> onCollectionEnded;

private:
    void showMemo() { view_.showMemo(memo_); }
    void toolEnded();
    void failed(const std::string& status);

    AppContext& ctx_;
    DiagTool& tool_;
    HardwareInfoView& view_;
    std::vector<std::string> memo_;
    std::array<std::string, 6> values_;
    bool collecting_ = false;
    bool toolRunning_ = false;
    TRunAFile toolRunner_;
};

}  // namespace vantor
