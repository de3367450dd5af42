#include "report/ReportWriter.h"

#include "core/GameFiles.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/TextFile.h"
#include "report/ReportSummary.h"
#include "report/ResultExport.h"

#include <filesystem>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace vantor {
namespace {

constexpr const char* kAbortedStatus = "Benchmark aborted.";
constexpr const char* kBenchSuccessStatus = "The benchmarking is successful.";
constexpr const char* kDebugSuccessStatus = "The debugging is successful.";

// The user's locale from the environment; the classic locale when the
// environment names one that is not installed.
std::locale userLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

// Length in characters of a UTF-8 text.
std::size_t characterCount(const std::string& text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The heading of a pass by its width text and height (0: the classic height
// of the width); empty for an unknown width.
std::string resolutionHeading(const std::string& width, int height) {
    const auto r = resolutionOfPass(PassScore{width, false, {}, height});
    if (!r) return {};
    return "<BR><B><FONT size=5>Resolution: " + resolutionText(*r) + "</FONT></B><BR>";
}

}  // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string fileStampOf(const std::string& startTime) {
    std::string stamp = startTime;
    for (char& c : stamp)
        if (c == ':' || c == '.' || c == '/' || c == '-' || c == '\\' || c == ' ') c = '_';
    return stamp;
}

RunSummary::Settings runSettings(const AppContext& ctx) {
    const RunRequest& r = ctx.request;
    RunSummary::Settings s;
    s.demo = ctx.run.DemoTitle;
    s.detail = ctx.run.DetailName;
    s.antialiasing = itemText(Choice::AA, r.antialiasing);
    s.filtering = itemText(Choice::AF, r.filtering);
    s.directx = itemText(Choice::DirectX, r.directX);
    s.heapsize = itemText(Choice::Heapsize, r.heapSize);
    s.refresh = itemText(Choice::Refresh, r.refreshRate);
    s.fastZ = r.fastZ;
    s.note = r.note;
    return s;
}

void ReportWriter::StampRun() {
    // A new run: nothing of the last one's results stays.
    passScores_.clear();
    resolutionStart_ = 0;
    resultFiles_.clear();
    savedReport_.clear();
    reportFile_.clear();
    const std::time_t clock = std::time(nullptr);
    const std::tm now = localTime ? localTime() : localCalendarTime(clock);
    // The user's date and time formats. Both texts come from one reading of the
    // clock, so the file name always matches the start time shown in the report.
    std::ostringstream text;
    text.imbue(userLocale());
    text << std::put_time(&now, "%x %X");
    ctx_.run.StartTime = text.str();
    ctx_.run.FileStamp = fileStampOf(ctx_.run.StartTime);
    ctx_.run.StartedIso = isoTimeText(now, utcOffset ? utcOffset() : utcOffsetAt(clock));
}

void ReportWriter::BeginReport() {
    comment_ = ctx_.request.note;
    reportLines_.clear();
    passScores_.clear();
    resolutionStart_ = 0;
    passClock_ = std::chrono::steady_clock::now();
    reportFile_.clear();
    auto add = [this](std::string line) { reportLines_.push_back(std::move(line)); };

    add("<html>");
    add("<head>");
    // The file is Windows-1252; without the declaration a browser guesses.
    add(kCharsetDeclaration);
    add(std::string("<title>Half-Life 2 Benchmark - ") + kPublisherHost + "</title>");
    add("<style type=\"text/css\">");
    add("<!--");
    add(".style4 {");
    add("\tcolor: #0066FF;");
    add("\tfont-weight: bold;");
    add("}");
    add(".style5 {color: #990000}");
    add(".style6 {color: #0066FF}");
    add("-->");
    add("</style>");
    add("</head>");
    add("<body>");
    const std::string logo = ctx_.paths.BenchPath + "Others" + kPathSep + "logo1.gif";
    add("<p align=\"center\"><img src=\"" + htmlEscape(logo) + "\" width=\"204\" height=\"204\"></p><br>");

    if (ctx_.request.additionalInfo) {
        ctx_.store.open();
        auto stored = [this](const char* name) -> std::string {
            try {
                return ctx_.store.read(name);
            } catch (const SettingsError& e) {
                ctx_.log.append(std::string(kErrorHandlingPrefix) + e.what());
                return {};
            }
        };
        const std::string os = stored(sv::OS);
        if (!os.empty()) add("<p align=\"left\" class=\"style4\">System</p>");
        for (const std::string& value :
             {os, stored(sv::CPU), stored(sv::Memory), stored(sv::VGA), stored(sv::VGAMemory)}) {
            if (!value.empty()) add("   <FONT size=2>" + htmlEscape(value) + "</FONT><br>");
        }
        const std::string driver = stored(sv::VGADriver);
        if (!driver.empty()) add("   <FONT size=2>" + htmlEscape(driver) + "</FONT><br><br>");
    }

    add("   <FONT size=2>The benchmark started at " + htmlEscape(ctx_.run.StartTime) + "</FONT><br>");
    if (!comment_.empty())
        add("<FONT size=2><span class=\"style6\">Comment:</span> " + htmlEscape(comment_) + "</FONT><br>");
    add("<hr>");
}

void ReportWriter::FinishPass(std::function<void()> done) {
    readPass();
    endPass(true, ctx_.run.PassCount == ctx_.run.ResolutionCount, std::move(done));
}

PassResult ReportWriter::readPass() {
    const PassResult result = reader_.ReadPassResult();
    const auto now = std::chrono::steady_clock::now();
    passScores_.push_back({ctx_.run.CurrentWidth, result.found, result.score, ctx_.run.CurrentHeight,
                           std::chrono::duration<double>(now - std::exchange(passClock_, now)).count()});
    return result;
}

void ReportWriter::endPass(bool resolutionDone, bool runDone, std::function<void()> done) {
    if (resolutionDone && resolutionStart_ < passScores_.size()) {
        // The resolution's passes: one pass shows its score as the game wrote
        // it, several their mean.
        const std::vector<PassScore> passes(passScores_.begin() + static_cast<std::ptrdiff_t>(resolutionStart_),
                                            passScores_.end());
        resolutionStart_ = passScores_.size();
        const auto groups = groupByResolution(passes, ctx_.run.Passes);
        bool found = false;
        lastBlockScore_.clear();
        if (passes.size() == 1) {
            found = passes.front().found;
            lastBlockScore_ = passes.front().score;
        } else if (!groups.empty()) {
            found = groups.back().found;
            lastBlockScore_ = groups.back().scoreText;
        }
        if (found) {
            // The settings the run was asked for.
            const RunRequest& r = ctx_.request;
            auto item = [](std::string_view text) { return htmlEscape(std::string(text)); };
            const std::string heading = resolutionHeading(passes.back().width, passes.back().height);
            if (!heading.empty()) reportLines_.push_back(heading);
            reportLines_.push_back("Demo: " + htmlEscape(ctx_.run.DemoTitle) + "<br>");
            reportLines_.push_back("Detail: " + htmlEscape(ctx_.run.DetailName) + " quality<br>");
            reportLines_.push_back("Antialising mode: " + item(itemText(Choice::AA, r.antialiasing)) + "<br>");
            reportLines_.push_back("Filtering mode: " + item(itemText(Choice::AF, r.filtering)) + "<br>");
            reportLines_.push_back("Hardware DirectX level: " + item(itemText(Choice::DirectX, r.directX)) + "<br>");
            reportLines_.push_back("Heapsize: " + item(itemText(Choice::Heapsize, r.heapSize)) + "<br>");
            reportLines_.push_back(r.fastZ ? "Fast Z: Enabled<br>" : "Fast Z: Disabled<br>");
            reportLines_.push_back("<span class=\"style5\"><b>Score = " + htmlEscape(lastBlockScore_) +
                                   " FPS</b></span><br>");
            reportLines_.push_back("<br><HR>");
        }
    }

    reader_.RemovePassFiles();
    ctx_.checkpointDebugLog();

    if (runDone)
        FinishReport(lastBlockScore_, std::move(done));
    else if (done)
        done();
}

std::vector<ResolutionResult> ReportWriter::resolutionResults() const {
    return groupByResolution(passScores_, ctx_.run.Passes);
}

void ReportWriter::writeResultFiles(const std::string& reportPath) {
    RunRecord record;
    record.started = ctx_.run.StartedIso;
    // As the file system names it (the saved form may hold a doubled separator).
    record.report = std::filesystem::path(reportPath).lexically_normal().string();
    record.settings = runSettings(ctx_);
    record.passes = ctx_.run.Passes;
    record.resolutions = resolutionResults();
    const std::string base = record.report.substr(0, record.report.size() - std::string(".htm").size());
    for (const auto& [path, bytes] :
         {std::pair{base + ".json", resultJson(record)}, std::pair{base + ".csv", resultCsv(record)}}) {
        if (const IoResult written = writeFileAtomic(path, bytes)) {
            resultFiles_.push_back(path);
        } else {
            ctx_.log.append(std::string(kErrorHandlingPrefix) + "Result file save is impossible: " + path + " (" +
                            written.error + ")");
            ctx_.view.setStatus("The report was saved, but " + path + " could not be written: " + written.error);
        }
    }
}

void ReportWriter::FinishReport(const std::string& score, std::function<void()> done) {
    resultFiles_.clear();
    if (ctx_.run.ReportSummary) {
        const auto results = resolutionResults();
        if (!results.empty())
            for (auto& line : summaryLines(results)) reportLines_.push_back(std::move(line));
    }
    reportLines_.push_back("<P></P>");
    reportLines_.push_back(std::string("<CENTER>Any bug, etc: <a href=\"mailto:") + kContactMail +
                           "\">Pellmarr</a></CENTER>");
    reportLines_.push_back("<CENTER>The Quorvane Half-Life 2 Benchmarking Tool is FREE!</CENTER><BR>");
    reportLines_.push_back("</body></html>");

    savedReport_.clear();
    reportFile_.clear();
    const std::string folder = ctx_.run.ReportPath;
    const std::string fileName = "result_" + ctx_.run.FileStamp + ".htm";
    bool saved = false;

    if (!score.empty()) {
        // A folder longer than 3 characters gets a separator of its own (a
        // doubled one after the chooser's trailing separator, which the file
        // system takes as one).
        const std::string path = characterCount(folder) > 3 ? folder + kPathSep + fileName : folder + fileName;
        const IoResult written = writeTextFile(path, reportLines_);
        if (written) {
            saved = true;
            savedReport_ = path;
            ctx_.log.append("Result saved to " + path);
        } else {
            ctx_.view.setStatus("The report could not be saved to " + path + ": " + written.error);
            ctx_.log.append(std::string(kErrorHandlingPrefix) + "Report save is impossible: " + path + " (" +
                            written.error + ")");
        }
    } else {
        ctx_.view.setStatus(kAbortedStatus);
        ctx_.log.append(kAbortedStatus);
    }

    ctx_.log.append("Settings restoring...");

    // A report that could not be saved keeps its message in the status line.
    if (saved) ctx_.view.setStatus(ctx_.run.DebugMode ? kDebugSuccessStatus : kBenchSuccessStatus);
    if (saved && ctx_.run.ResultFiles) writeResultFiles(savedReport_);
    if (saved) {
        reportFile_ = folder + fileName;
        ctx_.view.setReport(reportFile_);
        if (ctx_.shellOpen) ctx_.shellOpen(folder + fileName);
    }

    restore_([this, done = std::move(done)] {
        ctx_.run.RunFinished = true;
        ctx_.view.setEnabled(Control::BenchButton, true);
        ctx_.log.append("");
        ctx_.log.append("DEBUG FINISHED.");
        ctx_.log.append(std::string(55, '-'));
        ctx_.checkpointDebugLog();
        ctx_.view.setEnabled(Control::DebugBtn, true);
        const std::string batch = ctx_.paths.SteamPath + kLaunchBatch;
        if (fileExists(batch)) deleteFile(batch);
        if (done) done();
    });
}

}  // namespace vantor
