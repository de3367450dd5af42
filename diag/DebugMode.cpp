#include "diag/DebugMode.h"

#include "core/Resolutions.h"

#include "platform/FileOps.h"
#include "run/Launcher.h"
#include "run/Sequencer.h"

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
    : ctx_(ctx), tool_(tool), launcher_(launcher), sequencer_(sequencer), runAFile1_(ctx.loop) {
    runAFile1_.Params.UserTag = 0;
    runAFile1_.OnProcCompleted = [this](TRunItem& item, TRetType type, std::uint32_t value) {
        RunAFile1ProcCompleted(item, type, value);
    };
    // A tool that cannot be started must not leave both buttons disabled.
    runAFile1_.OnAfterLaunch = [this](TRunItem& item, bool launched) {
        if (launched) return;
        waiting_ = false;
        tool_.release(DiagTool::User::DebugMode);
        const std::string text = toolNotStartedText(osErrorText(item.LaunchError()));
        failed(text, text + " " + item.CommandLine());
    };
}

void DebugMode::DebugBtnClick() {
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
    view.setChecked(Check::HDDUse, false);
    run.CurrentWidth = "debug";
    run.DebugMode = true;

    ctx_.log.clear();
    tool_.DxReportLines.clear();
    ctx_.store.open();
    for (const auto& line : debugHeader(ctx_.store.read(sv::Programversion), ctx_.paths)) ctx_.log.append(line);
    view.setStatus(kDebugWaitStatus);

    tool_.claim(DiagTool::User::DebugMode);
    const std::string& bench = ctx_.paths.BenchPath;
    if (!tool_.prepare(runAFile1_, bench, ctx_.timing.diagToolBound)) {
        tool_.release(DiagTool::User::DebugMode);
        const std::string text =
            toolNotStartedText(bench.empty() ? "the program's folder is unknown" : "a path holds a double quote");
        failed(text, text);
        return;
    }
    // A report left from an earlier start must not pass for this one's.
    deleteFile(DiagTool::reportFile(bench));
    waiting_ = true;
    runAFile1_.Launch();
}

void DebugMode::RunAFile1ProcCompleted(TRunItem& RunItem, TRetType RetType, std::uint32_t) {
    if (!waiting_) return;
    waiting_ = false;
    tool_.release(DiagTool::User::DebugMode);
    // The tool's exit code is not examined: its report tells.
    if (RetType == TRetType::rtTimeOut) {
        const std::string text = toolTimedOutText(RunItem.Params.TimeOutSec());
        failed(text, text);
        return;
    }
    const std::string report = DiagTool::reportFile(ctx_.paths.BenchPath);
    const DxScanResult scan = ScanDxReport(report, kDebugLabels, tool_.DxReportLines,
                                           [this](std::size_t, const std::string& line) { ctx_.log.append(line); });
    if (!scan.ok()) {
        deleteFile(report);
        const std::string text = scanFailedText(scan, kDebugLabels);
        failed(text, text);
        return;
    }
    if (fileExists(report)) deleteFile(report);
    setDebugRunOptions();
    sequencer_.BenchButtonClick();
    // A run that refused to start (no game, Steam gone, ...) has enabled the
    // run button; the debug button comes back with it.
    if (!sequencer_.running()) ctx_.view.setEnabled(Control::DebugBtn, true);
    sequencer_.afterRun([this] { endDebugRun(); });
}

void DebugMode::choosersRan() {
    if (detailChosen) detailChosen();
    if (demoChosen) demoChosen();
}

void DebugMode::endDebugRun() {
    ctx_.run.DebugMode = false;
    ctx_.view.setDebugModeActive(false);
    if (!userOptions_) return;
    auto& view = ctx_.view;
    const UserOptions o = std::move(*userOptions_);
    userOptions_.reset();
    for (int i = 0; i < kResolutionCount; ++i) view.setResolutionChecked(i, o.classic[static_cast<std::size_t>(i)]);
    for (int i = 0; i < kTodayResolutionCount; ++i)
        view.setTodayResolutionChecked(i, o.today[static_cast<std::size_t>(i)]);
    for (const auto& [c, index] : o.choices) view.setChoice(c, index);
    for (const auto& [c, on] : o.checks) view.setChecked(c, on);
    for (const auto& [c, on] : o.enabled) view.setEnabled(c, on);
    choosersRan();
}

void DebugMode::setDebugRunOptions() {
    auto& view = ctx_.view;
    UserOptions o;
    for (Choice c : {Choice::Detail, Choice::Demo, Choice::AF, Choice::AA, Choice::Heapsize, Choice::Refresh,
                     Choice::DirectX, Choice::Passes})
        o.choices[c] = view.choice(c);
    for (Check c :
         {Check::FastZ, Check::CustomResolution, Check::AdaptivePasses, Check::ReportSummary, Check::ResultFiles})
        o.checks[c] = view.checked(c);
    for (int i = 0; i < kResolutionCount; ++i) o.classic[static_cast<std::size_t>(i)] = view.resolutionChecked(i);
    for (int i = 0; i < kTodayResolutionCount; ++i)
        o.today[static_cast<std::size_t>(i)] = view.todayResolutionChecked(i);
    for (Control c : {Control::DetailEdit, Control::DetailButton, Control::DemoEdit, Control::DemoEditButton})
        o.enabled[c] = view.isEnabled(c);
    userOptions_ = std::move(o);

    for (int i = 0; i < kResolutionCount - 1; ++i) view.setResolutionChecked(i, i == 1);  // 800×600; 2048 stays
    view.setChoice(Choice::Detail, 0);
    view.setChoice(Choice::AF, 0);
    view.setChoice(Choice::AA, 0);
    view.setChoice(Choice::Demo, 0);
    view.setChoice(Choice::Heapsize, 0);
    view.setChoice(Choice::Refresh, 2);
    view.setChoice(Choice::DirectX, 3);
    view.setChecked(Check::FastZ, false);
    // One pass of 800×600 only: none of today's sizes, no extra passes.
    for (int i = 0; i < kTodayResolutionCount; ++i) view.setTodayResolutionChecked(i, false);
    view.setChecked(Check::CustomResolution, false);
    view.setChoice(Choice::Passes, 0);
    view.setChecked(Check::AdaptivePasses, false);
    // The classic report alone.
    view.setChecked(Check::ReportSummary, false);
    view.setChecked(Check::ResultFiles, false);
    // Neither a custom configuration nor a demo file of the user's is chosen now.
    for (auto c : {Control::DetailEdit, Control::DetailButton, Control::DemoEdit, Control::DemoEditButton})
        view.setEnabled(c, false);
    // Set by program with the effect of the user's pick: the choosers store them.
    choosersRan();
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
