#pragma once
// The run's results for other programs, beside the report:
// "result_<stamp>.json" and "result_<stamp>.csv" (UTF-8): the run's settings
// and every pass's score.

#include "core/PassPolicy.h"
#include "report/RunResults.h"
#include "report/RunSummary.h"

#include <ctime>
#include <string>
#include <vector>

namespace vantor {

// A local time with its offset from UTC (seconds east) in ISO 8601:
// "2026-12-11T06:52:52+01:00".
std::string isoTimeText(const std::tm& local, long utcOffsetSeconds);
// The user's offset from UTC at t, in seconds east (whole minutes).
long utcOffsetAt(std::time_t t);

struct RunRecord {
    std::string started;  // the run's start, ISO 8601 with the offset (isoTimeText)
    std::string report;   // the report's path
    RunSummary::Settings settings;
    PassPolicy passes;
    std::vector<ResolutionResult> resolutions;
};

// One JSON object: the settings (the export's names; numbers and booleans as
// such, the threshold in percent), then per resolution its passes (score a
// number, a text when the game wrote no number, null without a result) and
// statistics. Ends with a line break.
std::string resultJson(const RunRecord& run);

// A header line, then one line per pass with the run's settings in every line
// (so each line stands alone in a spreadsheet). The settings' columns and texts
// are those of `vantor-cli export` ("setting:NAME", settingTexts). Fields are
// quoted where they hold a comma, a quote or a line break; lines end with CR LF.
inline constexpr const char* kResultCsvHeader =
    "started,setting:demo,setting:detail,setting:antialiasing,setting:filtering,setting:directx,setting:heapsize,"
    "setting:refresh,setting:fastZ,setting:note,setting:passes,setting:adaptive,setting:threshold,setting:cap,"
    "resolution,width,height,pass,score";
std::string resultCsv(const RunRecord& run);

}  // namespace vantor
