#pragma once
// The run's results for other programs, beside the report:
// "result_<stamp>.json" and "result_<stamp>.csv" (UTF-8): the run's settings
// and every pass's score.

#include "core/PassPolicy.h"
#include "report/RunResults.h"
#include "report/RunSummary.h"

#include <string>
#include <vector>

namespace vantor {

struct RunRecord {
    std::string started;  // the run's start time text
    std::string report;   // the report's path
    RunSummary::Settings settings;
    PassPolicy passes;
    std::vector<ResolutionResult> resolutions;
};

// One JSON object: the settings, then per resolution its passes (score a
// number, a text when the game wrote no number, null without a result) and
// statistics. Ends with a line break.
std::string resultJson(const RunRecord& run);

// A header line, then one line per pass with the run's settings in every line
// (so each line stands alone in a spreadsheet). Fields are quoted where they
// hold a comma, a quote or a line break; lines end with CR LF.
inline constexpr const char* kResultCsvHeader =
    "started,demo,detail,antialiasing,filtering,directx,heapsize,refresh,fast_z,note,passes_per_resolution,"
    "adaptive,threshold_percent,adaptive_cap,resolution,width,height,pass,score";
std::string resultCsv(const RunRecord& run);

}  // namespace vantor
