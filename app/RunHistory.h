#pragma once
// The bridge from a finished run to the run history: what is stored of it and
// where the history lives.

#include "core/PassPolicy.h"
#include "history/HistoryStore.h"
#include "report/ReportWriter.h"
#include "report/RunSummary.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kHistoryNotStored = "The run could not be stored in the history: ";

// The history file: programDataFolder() + kHistoryFileName; empty when the
// system names no data folder.
std::string historyFilePath();

// The run as the history stores it. passes: the report's pass results, for each
// pass's wall time (left out in debug mode, whose passes are slowed down);
// policy: the run's passes per resolution; hardware: the stored hardware values
// in kHardwareValueNames order, empty when none are stored.
StoredRun storedRunOf(const RunSummary& summary, const std::vector<PassScore>& passes, const PassPolicy& policy,
                      bool debugMode, const std::vector<NamedValue>& hardware);

// The typical wall time of a pass of the demo at width × height in the history
// at path (the time estimate's source for a resolution's first pass); nothing
// without one or when the history cannot be read.
std::optional<double> typicalPassSeconds(const std::string& path, const std::string& demo, int width, int height);

struct HistoryOutcome {
    std::int64_t id = 0;  // 0 when it was not stored
    std::string notice;   // a file kept aside
    std::string error;    // why it was not stored
};

// Stores the run at path; never throws.
HistoryOutcome storeRun(const std::string& path, const StoredRun& run);

}  // namespace vantor
