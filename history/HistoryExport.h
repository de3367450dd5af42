#pragma once
// The history as vantor-cli prints it: the list of runs (text or JSON), two
// runs compared, and stored runs exported whole as JSON or CSV.

#include "history/HistoryStore.h"
#include "history/RunComparison.h"

#include <functional>
#include <string>
#include <string_view>
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

// The same texts made one run at a time, for histories of any size: each piece
// goes to out as it is made (in blocks of some 64 KiB), so memory stays the
// same whatever the number of runs. start() begins the text (again, when a read
// starts over), finish() ends it; the bytes are those of the functions above.
using TextOut = std::function<void(std::string_view)>;

class HistoryListWriter {
public:
    enum class Form { Text, Json };
    HistoryListWriter(Form form, TextOut out) : form_(form), out_(std::move(out)) {}
    void start();
    void add(const RunListing& run);
    void finish();

private:
    void flush(bool always);
    Form form_;
    TextOut out_;
    std::string buffer_;
    bool any_ = false;
};

class ExportWriter {
public:
    enum class Form { Json, Csv };
    ExportWriter(Form form, TextOut out) : form_(form), out_(std::move(out)) {}
    // CSV: the setting and hardware columns (as valueNames finds them), before start().
    void setColumns(std::vector<std::string> settingNames, std::vector<std::string> hardwareNames);
    void start();
    void add(const StoredRun& run);
    void finish();

private:
    void flush(bool always);
    Form form_;
    TextOut out_;
    std::string buffer_;
    bool any_ = false;
    std::vector<std::string> settingNames_, hardwareNames_;
};

// Adds the run's setting and hardware names not in the lists yet, in order:
// over the runs of an export, each name where it first appears.
void valueNames(const StoredRun& run, std::vector<std::string>& settings, std::vector<std::string>& hardware);

// The CSV header's fixed columns, in order, before the setting and hardware ones.
inline constexpr const char* kCsvRunColumns[] = {"run",    "time",   "started", "version",    "demo",
                                                 "status", "report", "pass",    "resolution", "width",
                                                 "height", "score",  "seconds"};

}  // namespace vantor
