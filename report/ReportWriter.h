#pragma once
// The HTML report of a run: head block at the start, one block per pass with a
// result, footer after the last pass; saved as "result_" + FileStamp + ".htm"
// in Windows-1252 with CR LF and opened. The end of a run (restore of the game's
// files, buttons enabled, closing log lines) belongs here too.

#include "core/AppContext.h"
#include "report/ResultReader.h"
#include "report/RunResults.h"
#include "report/RunSummary.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vantor {

// Puts the user's game files back, then calls done (the run's restore step).
using RestoreGameFiles = std::function<void(std::function<void()> done)>;

inline constexpr const char* kPublisherHost = "www.quorvane.example";
inline constexpr const char* kContactMail = "pellmarr@quorvane.example";
// The report's encoding, declared right after "<head>".
inline constexpr const char* kCharsetDeclaration =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">";

// Escapes & < > " for HTML text.
std::string htmlEscape(const std::string& text);

// The file stamp of a start time text: ":", ".", "/", "-", "\" and blanks
// become "_".
std::string fileStampOf(const std::string& startTime);

// The run's settings as the controls show them now (for the run summary and
// the result files).
RunSummary::Settings runSettings(const AppContext& ctx);

class ReportWriter {
public:
    ReportWriter(AppContext& ctx, ResultReader& reader, RestoreGameFiles restore)
        : ctx_(ctx), reader_(reader), restore_(std::move(restore)) {}

    void StampRun();
    void BeginReport();
    // The pass-end step; done runs when it is over (after FinishReport's
    // restore for the last pass). The run ends when PassCount equals
    // ResolutionCount.
    void FinishPass(std::function<void()> done);
    // The same in two steps, for runs of several passes per resolution:
    // readPass reads the pass's result; endPass then writes the resolution's
    // block when its passes are over (the mean of several), removes the pass's
    // files and, after the run's last pass, finishes the report.
    PassResult readPass();
    void endPass(bool resolutionDone, bool runDone, std::function<void()> done);
    void FinishReport(const std::string& score, std::function<void()> done);

    const std::vector<std::string>& ReportLines() const { return reportLines_; }
    // The passes of the run under way or the last one, in the order they ended.
    const std::vector<PassScore>& passScores() const { return passScores_; }
    // The passes grouped by resolution, with their statistics.
    std::vector<ResolutionResult> resolutionResults() const;
    // The result files the last FinishReport wrote (.json, .csv); empty when none.
    const std::vector<std::string>& resultFiles() const { return resultFiles_; }
    // The report the last FinishReport saved, as it was opened; empty when none.
    const std::string& reportFile() const { return reportFile_; }
    // The file the last FinishReport saved, empty when none.
    const std::string& savedReport() const { return savedReport_; }

    // The local time and its offset from UTC in seconds east; replaced in tests.
    std::function<std::tm()> localTime;
    std::function<long()> utcOffset;

private:
    AppContext& ctx_;
    ResultReader& reader_;
    RestoreGameFiles restore_;
    std::vector<std::string> reportLines_;
    std::string comment_;
    std::string savedReport_;
    std::string reportFile_;
    std::vector<PassScore> passScores_;
    std::size_t resolutionStart_ = 0;  // the first pass of the resolution under way
    std::string lastBlockScore_;       // the score of the last resolution's block
    std::vector<std::string> resultFiles_;
    std::chrono::steady_clock::time_point passClock_;  // when the pass under way began

    void writeResultFiles(const std::string& reportPath);
};

}  // namespace vantor
