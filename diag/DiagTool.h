#pragma once
// The hardware-report tool (dxdiag.exe in SystemFolder()) as the Information
// window and debug mode share it: its command line, its report file in the
// program's own files folder (Paths::ownFiles: beside the program, or the
// user's data folder for an installed copy), the working list the report is scanned in, and which of
// the two runs it now. Only one of them runs it at a time, so neither reads or
// deletes the other's report.

#include "diag/ScanDxReport.h"
#include "platform/RunAFile.h"

#include <chrono>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kDxReportFileName = "dxinfo.txt";
inline constexpr const char* kDxToolFileName = "dxdiag.exe";

// Status texts of a collection that failed.
std::string toolNotStartedText(const std::string& reason);
std::string toolTimedOutText(unsigned seconds);
std::string toolWaitFailedText(std::uint32_t error);
std::string scanFailedText(const DxScanResult& result, const std::vector<std::string>& labels);
// The operating system's text for an error code.
std::string osErrorText(int code);

class DiagTool {
public:
    enum class User { None, HardwareInfo, DebugMode };

    // The tool's folder is SystemFolder().
    DiagTool();

    // Where dxdiag.exe is looked for (tests point it elsewhere).
    std::string folder;

    // The report file: reportFolder + "dxinfo.txt".
    static std::string reportFile(const std::string& reportFolder) { return reportFolder + kDxReportFileName; }

    // The tool's command line: the program, "/whql:on /t " and the report file,
    // both paths quoted so that blanks in them stay part of them. Empty when it
    // cannot be written: the report's folder is unknown, or a path holds a
    // double quote.
    std::string commandLine(const std::string& reportFolder) const;
    // Why commandLine(reportFolder) is empty, for the status line.
    static std::string noCommandLineReason(const std::string& reportFolder);

    // Readies a start of the tool: the command line in ProcFileName (no
    // separate parameters), no file associations, the wait bounded by bound
    // (whole seconds, at least one). False when there is no command line.
    bool prepare(TRunAFile& run, const std::string& reportFolder, std::chrono::milliseconds bound) const;

    // Seconds for TimeOutSec: bound rounded up, at least 1, at most 3600.
    static unsigned timeOutSec(std::chrono::milliseconds bound);

    User user() const { return user_; }
    // Takes the tool for a user; false while the other one has it.
    bool claim(User who);
    void release(User who);

    // DxReportLines: the report's lines while it is scanned.
    std::vector<std::string> DxReportLines;

private:
    User user_ = User::None;
};

}  // namespace vantor
