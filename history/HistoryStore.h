#pragma once
// The run history: every finished run in an SQLite database (WAL, one
// transaction per run). A database of a newer schema or a damaged one is
// renamed aside, never overwritten or deleted, and a new one is started.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace vantor {

inline constexpr int kHistorySchemaVersion = 1;
inline constexpr const char* kHistoryFileName = "history.db";

struct StoredPass {
    int width = 0;
    int height = 0;
    std::optional<double> score;    // frames per second; nothing without a result
    std::optional<double> seconds;  // the pass's wall time (game start to quit), when measured
    bool operator==(const StoredPass&) const = default;
};

struct NamedValue {
    std::string name;
    std::string value;
    bool operator==(const NamedValue&) const = default;
};

struct StoredRun {
    std::int64_t id = 0;  // given by the store
    std::string time;     // when it was stored, UTC: "2026-12-11T00:40:12Z"
    std::string started;  // the run's start time as its report shows it
    std::string version;  // the program's version
    std::string demo;     // the demo's title
    std::string status;   // the status line at the end of the run
    std::string report;   // the report's path; empty when none was saved
    std::vector<NamedValue> settings;
    std::vector<NamedValue> hardware;  // the stored hardware values; empty when none
    std::vector<StoredPass> passes;    // in the order they ended
    bool operator==(const StoredRun&) const = default;
    // A debug mode run (its setting "debug" is "yes"); a listing marks its demo.
    bool debug() const {
        for (const auto& s : settings)
            if (s.name == "debug") return s.value == "yes";
        return false;
    }
    std::string shownDemo() const { return debug() ? demo + " (debug)" : demo; }
};

// A run of the history list: its head and each pass's score.
struct RunListing {
    std::int64_t id = 0;
    std::string time, version, demo;
    std::vector<StoredPass> passes;  // width, height and score only
    bool debug = false;              // a debug mode run (its setting "debug" is "yes")
    // The demo as a listing shows it: a debug run is marked.
    std::string shownDemo() const { return debug ? demo + " (debug)" : demo; }
};

// Runs handed over one at a time as a read goes, so memory stays the same
// whatever the history's size. start() comes before the first run and again
// when the read starts over: damage found on the way had the file kept aside
// and the read goes on in the new history, so what came before is void.
template <class Run>
class RunStream {
public:
    virtual ~RunStream() = default;
    virtual void start() = 0;
    virtual void add(const Run& run) = 0;
};

class HistoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HistoryStore {
public:
    // A file of a newer schema or a damaged one: renamed aside (notice() tells)
    // and a new history started, or only reported (HistoryError) and left as it
    // is, for readers that cannot tell the user.
    enum class IfUnusable { KeepAside, Report };

    // Opens the database at path. create: a missing file (and its folders) is
    // made; without it a missing file is an empty history, and a file that
    // cannot be written (a read-only folder, a full disk) is read as it is.
    // Throws HistoryError when the file cannot be opened or made; when a file
    // was kept aside first, the error tells that too.
    explicit HistoryStore(std::string path, bool create = true, IfUnusable ifUnusable = IfUnusable::KeepAside);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const std::string& path() const { return path_; }
    // What happened to a file kept aside, for the user; empty otherwise. Also
    // set when the call that found the file unusable failed afterwards.
    const std::string& notice() const { return notice_; }
    // True when the file is read without locks because nothing can be written
    // beside it; add() opens it anew for writing.
    bool readOnly() const { return readOnly_; }

    // Stores the run in one transaction and returns its id. Damage found while
    // writing puts the file aside and stores the run in a new one. A full disk
    // is "The history file <path> cannot be written: disk full".
    std::int64_t add(const StoredRun& run);
    // Several runs in one transaction (imports, benchmarks); the last one's id.
    std::int64_t addAll(const std::vector<StoredRun>& runs);

    // Every run, oldest first: head and scores (the history list).
    std::vector<RunListing> list();
    void list(RunStream<RunListing>& stream);
    // Whole runs; an empty ids list means every run, oldest first. Unknown ids
    // are left out.
    std::vector<StoredRun> runs(const std::vector<std::int64_t>& ids = {});
    void runs(const std::vector<std::int64_t>& ids, RunStream<StoredRun>& stream);
    std::optional<StoredRun> run(std::int64_t id);
    // The setting and hardware names of every run, each list in the order its
    // names first appear (HistoryExport's valueNames over all runs).
    void valueNames(std::vector<std::string>& settings, std::vector<std::string>& hardware);

    // The typical wall time of a pass of the demo at width × height: the median
    // of the last (up to) ten measured passes; nothing without one.
    std::optional<double> typicalPassSeconds(const std::string& demo, int width, int height);

    // The query behind list(), for comparing with other tools on the same file.
    static const char* listQuery();

private:
    void openFile(bool create);
    void connect(const std::string& name, int flags);
    // Checks the schema and, with create, makes it, in one write transaction.
    void prepare(bool create);
    void close();
    // A file found unusable: kept aside or reported, as ifUnusable_ says.
    void setAside(const std::string& tag, const std::string& why);
    // Renames the file (and its -wal and -shm files) aside, tells why.
    void keepAside(const std::string& tag, const std::string& why);
    // The error's text for the user: a full disk said as such.
    std::string failureText(const std::exception& e) const;
    template <class F>
    auto guarded(F&& f) -> decltype(f());

    std::string path_;
    bool create_ = true;
    IfUnusable ifUnusable_ = IfUnusable::KeepAside;
    bool readOnly_ = false;
    std::string notice_;
    sqlite3* db_ = nullptr;
};

// The current time as StoredRun::time writes it.
std::string utcTimeText();

}  // namespace vantor
