#include "diag/DebugMode.h"

#include "core/Resolutions.h"
#include "platform/FileOps.h"
#include "run/Launcher.h"
#include "run/Sequencer.h"

#include <algorithm>

namespace vantor {

std::vector<std::string> debugHeader(const std::string& version, const Paths& paths) {
    const std::string rule(50, '=');
    return {rule,
            "Quorvane Half-Life 2 benchmark debug information",
            rule,
            "",
            "Benchmark version: " + version,
            "BenchPath: " + paths.BenchPath,
            "SteamPath: " + paths.SteamPath,
            "CFGPath: " + paths.CFGPath,
            "ResultsPath: " + paths.ResultsPath,
            ""};
}

DebugMode::DebugMode(AppContext& ctx, DiagTool& tool, Launcher& launcher, Sequencer& sequencer)
    : ctx_(ctx), tool_(tool), launcher_(launcher), sequencer_(sequencer), toolRunner_(ctx.loop) {
    toolRunner_.Params.UserTag = 0;
    toolRunner_.OnProcCompleted = [this](TRunItem& item, TRetType type, std::uint32_t value) {
        toolEnded(item, type, value);
    };
    // A tool that cannot be started must not leave both buttons disabled.
    toolRunner_.OnAfterLaunch = [this](TRunItem& item, bool launched) {
        if (launched) return;
        waiting_ = false;
        tool_.release(DiagTool::User::DebugMode);
        const std::string text = toolNotStartedText(osErrorText(item.LaunchError()));
        failed(text, text + " " + item.CommandLine());
    };
}

void DebugMode::startDebugMode() {
    auto& view = ctx_.view;
    auto& run = ctx_.run;
    if (waiting_) return;
    if (sequencer_.running()) {
        view.setStatus(kDebugDuringRunStatus);
        return;
    }
    if (tool_.user() == DiagTool::User::HardwareInfo) {
        view.setStatus(kInfoWindowHasToolStatus);
        return;
    }

    run.DebugMode = true;
    launcher_.CheckSteamRunning();
    if (!run.SteamRunning) {
        SteamOffer offer;
        offer.logAlways = true;
        offer.loadingStatus = kDebugSteamLoadingStatus;
        offer.enableOnlyOnFailure = true;
        launcher_.OfferSteamStart(offer);
        // The debug button is clicked again once Steam runs.
        run.DebugMode = false;
        return;
    }
    view.setDebugModeActive(true);

    benchWasEnabled_ = view.isEnabled(Control::BenchButton);
    view.setEnabled(Control::DebugBtn, false);
    view.setEnabled(Control::BenchButton, false);
    run.CurrentWidth = "debug";
    run.DebugMode = true;

    ctx_.log.clear();
    tool_.DxReportLines.clear();
    ctx_.store.open();
    for (const auto& line : debugHeader(ctx_.store.read(sv::Programversion), ctx_.paths)) ctx_.log.append(line);
    view.setStatus(kDebugWaitStatus);

    tool_.claim(DiagTool::User::DebugMode);
    const std::string folder = ctx_.paths.ownFiles();
    if (!tool_.prepare(toolRunner_, folder, ctx_.timing.diagToolBound)) {
        tool_.release(DiagTool::User::DebugMode);
        const std::string text = toolNotStartedText(DiagTool::noCommandLineReason(folder));
        failed(text, text);
        return;
    }
    // A report left from an earlier start must not pass for this one's.
    deleteFile(DiagTool::reportFile(folder));
    waiting_ = true;
    toolRunner_.Launch();
}

void DebugMode::toolEnded(TRunItem& RunItem, TRetType RetType, std::uint32_t) {
    if (!waiting_) return;
    waiting_ = false;
    tool_.release(DiagTool::User::DebugMode);
    // The tool's exit code is not examined: its report tells.
    if (RetType == TRetType::TimeOut) {
        const std::string text = toolTimedOutText(RunItem.Params.TimeOutSec());
        failed(text, text);
        return;
    }
    const std::string report = DiagTool::reportFile(ctx_.paths.ownFiles());
    const DxScanResult scan = ScanDxReport(report, kDebugLabels, tool_.DxReportLines,
                                           [this](std::size_t, const std::string& line) { ctx_.log.append(line); });
    if (!scan.ok()) {
        deleteFile(report);
        const std::string text = scanFailedText(scan, kDebugLabels);
        failed(text, text);
        return;
    }
    if (fileExists(report)) deleteFile(report);
    sequencer_.start(debugRunRequest(userRequest ? userRequest() : RunRequest{}));
    // A run that refused to start (no game, Steam gone, ...) has enabled the
    // run button; the debug button comes back with it.
    if (!sequencer_.running()) ctx_.view.setEnabled(Control::DebugBtn, true);
    sequencer_.afterRun([this] { endDebugRun(); });
}

void DebugMode::endDebugRun() {
    ctx_.run.DebugMode = false;
    ctx_.view.setDebugModeActive(false);
}

RunRequest debugRunRequest(const RunRequest& user) {
    RunRequest r;
    r.sizes = {{kWidths[1], kHeights[1]}};
    const Resolution largest{kWidths[kResolutionCount - 1], kHeights[kResolutionCount - 1]};
    if (std::find(user.sizes.begin(), user.sizes.end(), largest) != user.sizes.end()) r.sizes.push_back(largest);
    r.detail = DetailLevel::Maximum;
    r.filtering = TextureFiltering::Bilinear;
    r.antialiasing = Antialiasing::None;
    r.demo = DemoChoice::QuorvaneCoast;
    r.heapSize = HeapSize::Mb64;
    r.refreshRate = RefreshRate::Hz75;
    r.directX = DirectXLevel::DirectX9;
    r.fastZ = false;
    r.minimizeHddUse = false;
    // One pass, the classic report alone.
    r.passes = PassPolicy{};
    r.reportSummary = false;
    r.resultFiles = false;
    r.note = user.note;
    r.resultsFolder = user.resultsFolder;
    r.additionalInfo = user.additionalInfo;
    r.customConfigFile = user.customConfigFile;
    r.userDemoFile = user.userDemoFile;
    return r;
}

// Debug mode cannot go on: the log keeps its lines and gets an error line, the
// status says why, both buttons are usable again, debug mode is off.
void DebugMode::failed(const std::string& status, const std::string& logLine) {
    ctx_.log.append(std::string(kErrorPrefix) + logLine);
    ctx_.view.setStatus(status);
    ctx_.view.setEnabled(Control::BenchButton, benchWasEnabled_);
    ctx_.view.setEnabled(Control::DebugBtn, true);
    endDebugRun();
}

}  // namespace vantor
