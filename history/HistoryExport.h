#pragma once
// The history as vantor-cli prints it: the list of runs (text or JSON), two
// runs compared, and stored runs exported whole as JSON or CSV.

#include "history/HistoryStore.h"
#include "history/RunComparison.h"

#include <string>
#include <vector>

namespace vantor {

// One line per run: id, time, version, demo and the mean score per resolution
// (with the passes and their spread when there are several).
std::string historyText(const std::vector<RunListing>& runs);
// The same as a JSON array (UTF-8), one object per run.
std::string historyJson(const std::vector<RunListing>& runs);

// Per resolution: both means (with spread), the difference in % and the verdict
// of the second run against the first.
std::string comparisonText(const StoredRun& first, const StoredRun& second);

// Every stored field of the runs. JSON: an array of objects (settings and
// hardware as objects in their stored order, passes as an array). CSV (RFC
// 4180, CR LF): one row per pass with the run's fields repeated, a run without
// passes as one row with empty pass fields; one column per setting name
// ("setting:NAME") and hardware name ("hardware:NAME") of any exported run, an
// empty cell where a run has no such value. Numbers round-trip exactly.
std::string exportJson(const std::vector<StoredRun>& runs);
std::string exportCsv(const std::vector<StoredRun>& runs);

// The CSV header's fixed columns, in order, before the setting and hardware ones.
inline constexpr const char* kCsvRunColumns[] = {"run",    "time",   "started", "version",    "demo",
                                                 "status", "report", "pass",    "resolution", "width",
                                                 "height", "score",  "seconds"};

}  // namespace vantor
