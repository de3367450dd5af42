#pragma once
// The HTML report of a run: head block at the start, one block per pass with a
// result, footer after the last pass; saved as "result_" + FileStamp + ".htm"
// in Windows-1252 with CR LF and opened. The end of a run (restore of the game's
// files, buttons enabled, closing log lines) belongs here too.

#include "core/AppContext.h"
#include "report/ResultReader.h"

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

// The result of one ended pass, as the report step read it.
struct PassScore {
    std::string width;  // CurrentWidth of the pass
    bool found = false;
    std::string score;
};

class ReportWriter {
public:
    ReportWriter(AppContext& ctx, ResultReader& reader, RestoreGameFiles restore)
        : ctx_(ctx), reader_(reader), restore_(std::move(restore)) {}

    void StampRun();
    void BeginReport();
    // The pass-end step; done runs when it is over (after FinishReport's
    // restore for the last pass).
    void FinishPass(std::function<void()> done);
    void FinishReport(const std::string& score, std::function<void()> done);

    const std::vector<std::string>& ReportLines() const { return reportLines_; }
    // The passes of the run under way or the last one, in the order they ended.
    const std::vector<PassScore>& passScores() const { return passScores_; }
    // The report the last FinishReport saved, as it was opened; empty when none.
    const std::string& reportFile() const { return reportFile_; }
    // The file the last FinishReport saved, empty when none.
    const std::string& savedReport() const { return savedReport_; }

    // The local time; replaced in tests.
    std::function<std::tm()> localTime;

private:
    AppContext& ctx_;
    ResultReader& reader_;
    RestoreGameFiles restore_;
    std::vector<std::string> reportLines_;
    std::string comment_;
    std::string savedReport_;
    std::string reportFile_;
    std::vector<PassScore> passScores_;
};

}  // namespace vantor
