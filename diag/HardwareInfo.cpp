#include "diag/HardwareInfo.h"

#include "core/AppContext.h"
#include "platform/FileOps.h"

namespace vantor {

HardwareInfo::HardwareInfo(AppContext& ctx, DiagTool& tool, HardwareInfoView& view)
    : ctx_(ctx), tool_(tool), view_(view), toolRunner_(ctx.loop) {
    toolRunner_.Params.UserTag = 0;
    toolRunner_.OnProcCompleted = [this](TRunItem& item, TRetType type, std::uint32_t value) {
        RunHLFileProcCompleted(item, type, value);
    };
    // A tool that cannot be started must not leave the window waiting.
    toolRunner_.OnAfterLaunch = [this](TRunItem& item, bool launched) {
        if (launched) return;
        toolEnded();
        failed(toolNotStartedText(osErrorText(item.LaunchError())));
        if (onCollectionEnded) onCollectionEnded();
    };
}

HardwareInfo::~HardwareInfo() {
    if (tick_) ctx_.loop.cancelTimer(tick_);
}

std::string collectingStatusText(std::chrono::seconds elapsed, std::chrono::milliseconds bound) {
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(bound).count();
    const std::string limit = minutes >= 1
                                  ? std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes")
                                  : std::to_string(std::chrono::ceil<std::chrono::seconds>(bound).count()) + " seconds";
    return std::string(kCollectingStatus) + " " + std::to_string(elapsed.count()) +
           " s so far; the hardware report tool may take up to " + limit + ".";
}

void HardwareInfo::startUp() {
    ctx_.store.open();
    memo_.clear();
    if (ctx_.store.read(sv::SaveInfo) == "1") {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            values_[i] = ctx_.store.read(kHardwareValueNames[i]);
            memo_.push_back(values_[i]);
        }
    } else {
        memo_.push_back(kNoStoredInfo);
    }
    showMemo();
    view_.setStatus(kInfoStartStatus);
}

void HardwareInfo::windowShown() {
    tool_.DxReportLines.clear();
    collecting_ = false;
    // The window was closed while a collection ran: that collection is given
    // up (its end changes nothing), and the window is usable again.
    if (toolRunning_) {
        view_.setButtonsEnabled(true);
        view_.setStatus(kInfoStartStatus);
    }
}

void HardwareInfo::collect() {
    if (toolRunning_) {
        view_.setStatus(kToolStillRunningStatus);
        return;
    }
    if (!tool_.claim(DiagTool::User::HardwareInfo)) {
        view_.setStatus(kDebugHasToolStatus);
        return;
    }
    view_.setButtonsEnabled(false);
    memo_.clear();
    values_.fill({});  // the current values are what the memo shows
    showMemo();
    collecting_ = true;
    view_.setStatus(kCollectingStatus);
    view_.repaint();

    const std::string folder = ctx_.paths.ownFiles();
    if (!tool_.prepare(toolRunner_, folder, ctx_.timing.diagToolBound)) {
        tool_.release(DiagTool::User::HardwareInfo);
        failed(toolNotStartedText(DiagTool::noCommandLineReason(folder)));
        if (onCollectionEnded) onCollectionEnded();
        return;
    }
    // A report left from an earlier start must not pass for this one's.
    deleteFile(DiagTool::reportFile(folder));
    toolRunning_ = true;
    collectStarted_ = std::chrono::steady_clock::now();
    if (!tick_) tick_ = ctx_.loop.startTimer(ctx_.timing.collectTick, [this] { tick(); });
    toolRunner_.Launch();
}

// Shows that the tool is working: the time it has run, until it ends.
void HardwareInfo::tick() {
    tick_ = 0;
    if (!toolRunning_ || !collecting_) return;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - collectStarted_);
    view_.setStatus(collectingStatusText(elapsed, ctx_.timing.diagToolBound));
    tick_ = ctx_.loop.startTimer(ctx_.timing.collectTick, [this] { tick(); });
}

void HardwareInfo::RunHLFileProcCompleted(TRunItem& RunItem, TRetType RetType, std::uint32_t RetVal) {
    toolEnded();
    switch (RetType) {
        case TRetType::Normal: {
            if (!collecting_) break;
            const std::string report = DiagTool::reportFile(ctx_.paths.ownFiles());
            const DxScanResult scan = ScanDxReport(report, kHardwareLabels, tool_.DxReportLines,
                                                   [this](std::size_t i, const std::string& line) {
                                                       memo_.push_back(line);
                                                       values_[i] = line;
                                                       showMemo();
                                                   });
            if (!scan.ok()) {
                // The current values are what the memo shows: those found so far.
                for (std::size_t i = scan.found; i < values_.size(); ++i) values_[i].clear();
                deleteFile(report);
                failed(scanFailedText(scan, kHardwareLabels));
                break;
            }
            if (fileExists(report)) deleteFile(report);
            view_.setStatus(kCollectedStatus);
            view_.setButtonsEnabled(true);
            break;
        }
        case TRetType::Error:
            ctx_.dialogs.message(RunItem.Params.ProcFileName + ": " + osErrorText(static_cast<int>(RetVal)) + " " +
                                 std::to_string(RetVal));
            failed(toolWaitFailedText(RetVal));
            break;
        case TRetType::TimeOut:
            if (collecting_) failed(toolTimedOutText(RunItem.Params.TimeOutSec()));
            break;
        case TRetType::None: break;
    }
    if (onCollectionEnded) onCollectionEnded();
}

void HardwareInfo::saveAndClose() {
    ctx_.store.open();
    if (memo_.size() < 2) {
        for (const char* name : {sv::CPU, sv::Memory, sv::OS, sv::VGA, sv::VGADriver, sv::VGAMemory})
            ctx_.store.write(name, "");
        ctx_.store.write(sv::SaveInfo, "0");
        values_.fill({});
        memo_ = {kNoStoredInfo};
        showMemo();
    } else {
        const auto& v = values_;
        ctx_.store.write(sv::CPU, v[1]);
        ctx_.store.write(sv::Memory, v[2]);
        ctx_.store.write(sv::OS, v[0]);
        ctx_.store.write(sv::VGA, v[3]);
        ctx_.store.write(sv::VGADriver, v[5]);
        ctx_.store.write(sv::VGAMemory, v[4]);
        ctx_.store.write(sv::SaveInfo, "1");
    }
    view_.closeWindow();
}

void HardwareInfo::windowClosed() {
    // Debug mode's report is left alone while its tool runs.
    if (tool_.user() == DiagTool::User::DebugMode) return;
    const std::string folder = ctx_.paths.ownFiles();
    if (!folder.empty() && fileExists(DiagTool::reportFile(folder))) deleteFile(DiagTool::reportFile(folder));
}

void HardwareInfo::toolEnded() {
    toolRunning_ = false;
    if (tick_) ctx_.loop.cancelTimer(tick_);
    tick_ = 0;
    tool_.release(DiagTool::User::HardwareInfo);
}

// A collection that cannot go on: the status says why, the lines found stay in
// the memo, nothing is stored, both buttons are usable again.
void HardwareInfo::failed(const std::string& status) {
    view_.setStatus(status);
    view_.setButtonsEnabled(true);
}

}  // namespace vantor
