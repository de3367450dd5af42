#include "diag/DiagTool.h"

#include "platform/FileOps.h"
#include "platform/SystemInfo.h"

#include <system_error>

namespace vantor {

std::string osErrorText(int code) { return std::system_category().message(code); }

std::string toolNotStartedText(const std::string& reason) {
    return "The hardware report tool could not be started: " + reason + ".";
}

std::string toolTimedOutText(unsigned seconds) {
    return "The hardware report tool did not finish within " + std::to_string(seconds) + " seconds.";
}

std::string toolWaitFailedText(std::uint32_t error) {
    return "The wait for the hardware report tool failed: " + osErrorText(static_cast<int>(error)) + ".";
}

std::string scanFailedText(const DxScanResult& result, const std::vector<std::string>& labels) {
    if (result.status == DxScanResult::Status::FileMissing) return "The hardware report tool wrote no report.";
    const std::string label = result.found < labels.size() ? labels[result.found] : std::string("?");
    return "The hardware report has no \"" + label + "\" line.";
}

DiagTool::DiagTool() : folder(SystemFolder()) {}

std::string DiagTool::commandLine(const std::string& reportFolder) const {
    if (folder.empty() || reportFolder.empty()) return {};
    const std::string program = folder + kPathSep + kDxToolFileName;
    const std::string report = reportFile(reportFolder);
    if (program.find('"') != std::string::npos || report.find('"') != std::string::npos) return {};
    return "\"" + program + "\" /whql:on /t \"" + report + "\"";
}

std::string DiagTool::noCommandLineReason(const std::string& reportFolder) {
    return reportFolder.empty() ? "the program's folder is unknown" : "a path holds a double quote";
}

bool DiagTool::prepare(TRunAFile& run, const std::string& reportFolder, std::chrono::milliseconds bound) const {
    const std::string line = commandLine(reportFolder);
    if (line.empty()) return false;
    run.Params.ProcFileName = line;
    run.Params.ProcParameters.clear();
    run.Params.UseAssociations = false;
    run.Params.setTimeOutSec(timeOutSec(bound));
    return true;
}

unsigned DiagTool::timeOutSec(std::chrono::milliseconds bound) {
    const long long ms = bound.count();
    if (ms <= 1000) return 1;
    const long long seconds = (ms + 999) / 1000;
    return seconds > kMaxTimeOutSec ? kMaxTimeOutSec : static_cast<unsigned>(seconds);
}

bool DiagTool::claim(User who) {
    if (user_ != User::None && user_ != who) return false;
    user_ = who;
    return true;
}

void DiagTool::release(User who) {
    if (user_ == who) user_ = User::None;
}

}  // namespace vantor
