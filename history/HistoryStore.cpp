#include "history/HistoryStore.h"
#include "platform/Clock.h"

#include "history/Sqlite.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vantor {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyMs = 5000;  // how long a write waits for another program's

// A failed SQLite call: its (extended) result code and the text.
class StoreFailure : public HistoryError {
public:
    StoreFailure(int code, const std::string& text) : HistoryError(text), code(code) {}
    int code;
};

// A file the program must not use: damaged (not a database, a broken page, a
// foreign file) or of a newer schema. tag names the copy kept aside.
class Unusable : public HistoryError {
public:
    Unusable(std::string tag, const std::string& why) : HistoryError(why), tag(std::move(tag)) {}
    std::string tag;
};

Unusable damaged(const std::string& what) { return Unusable("damaged", "is damaged (" + what + ")"); }

bool isDamage(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// Failures of a file that cannot be written beside: its folder takes no new
// files (the -wal and -shm files) or the disk no more bytes.
bool cannotWrite(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR ||
           primary == SQLITE_FULL || primary == SQLITE_PERM;
}

// SQLite says SQLITE_FULL for a write the disk refused; growing the -shm file
// on a full disk comes back as an I/O error, told apart by the free space.
bool diskFull(int rc, const fs::path& file) {
    if ((rc & 0xff) == SQLITE_FULL) return true;
    if (rc != SQLITE_IOERR_SHMSIZE && rc != SQLITE_IOERR_WRITE && rc != SQLITE_IOERR_TRUNCATE) return false;
    std::error_code ec;
    const auto space = fs::space(file.has_parent_path() ? file.parent_path() : fs::path("."), ec);
    return !ec && space.available < 64 * 1024;
}

[[noreturn]] void fail(sqlite3* db, int rc, const std::string& what) {
    const std::string text = what + ": " + (db ? sqlite().errmsg(db) : sqlite().errstr(rc));
    if (isDamage(rc)) throw damaged(text);
    throw StoreFailure(rc, text);
}

// The path as an SQLite file: URI, for the query parameters a plain name cannot take.
std::string fileUri(const std::string& path) {
    std::string uri = "file:";
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) {
        uri += "//";  // an empty authority: "file:///home/..."
    } else if (path.size() > 1 && path[1] == ':') {
        uri += "///";  // a drive letter: "file:///C:/..."
    }
    for (char c : path) {
        if (c == '%')
            uri += "%25";
        else if (c == '?')
            uri += "%3f";
        else if (c == '#')
            uri += "%23";
        else
            uri += c;
    }
    return uri;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        const int rc = sqlite().prepare_v2(db, sql, -1, &stmt_, nullptr);
        if (rc != SQLITE_OK) fail(db, rc, "history query");
    }
    ~Statement() { sqlite().finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v) { return check(sqlite().bind_int64(stmt_, i, v)); }
    Statement& bind(int i, const std::string& v) {
        return check(sqlite().bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    Statement& bind(int i, std::optional<double> v) {
        return check(v ? sqlite().bind_double(stmt_, i, *v) : sqlite().bind_null(stmt_, i));
    }
    // True while a row is there.
    bool step() {
        const int rc = sqlite().step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail(db_, rc, "history");
    }
    void run() {
        step();
        sqlite().reset(stmt_);
    }
    void reset() { sqlite().reset(stmt_); }

    std::int64_t integer(int col) const { return sqlite().column_int64(stmt_, col); }
    std::string text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite().column_text(stmt_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite().column_bytes(stmt_, col))) : std::string();
    }
    std::optional<double> real(int col) const {
        if (sqlite().column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
        return sqlite().column_double(stmt_, col);
    }
    bool null(int col) const { return sqlite().column_type(stmt_, col) == SQLITE_NULL; }

private:
    Statement& check(int rc) {
        if (rc != SQLITE_OK) fail(db_, rc, "history value");
        return *this;
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* sql) {
    const int rc = sqlite().exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(db, rc, "history");
}

// Two programs switching a new file to WAL at once: the one that loses is told
// SQLITE_BUSY at once (it holds a read lock the other waits for), and tries again.
void walMode(sqlite3* db) {
    for (int waited = 0;; waited += 10) {
        const int rc = sqlite().exec(db, "PRAGMA journal_mode = WAL;", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return;
        if ((rc & 0xff) != SQLITE_BUSY || waited >= kBusyMs) fail(db, rc, "history");
        sqlite().sleep(10);
    }
}

constexpr const char* kSchema =
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, time TEXT NOT NULL, started TEXT NOT NULL, version TEXT NOT NULL,"
    " demo TEXT NOT NULL, status TEXT NOT NULL, report TEXT NOT NULL);"
    "CREATE TABLE passes(run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL, score REAL, seconds REAL,"
    " PRIMARY KEY(run_id, position)) WITHOUT ROWID;"
    "CREATE TABLE run_values(run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " kind TEXT NOT NULL CHECK(kind IN ('setting', 'hardware')), position INTEGER NOT NULL,"
    " name TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY(run_id, kind, position)) WITHOUT ROWID;"
    "CREATE INDEX runs_demo ON runs(demo);"
    "PRAGMA user_version = 1;";

constexpr const char* kRunColumns = "SELECT id, time, started, version, demo, status, report FROM runs";

StoredRun runHead(const Statement& s) {
    StoredRun r;
    r.id = s.integer(0);
    r.time = s.text(1);
    r.started = s.text(2);
    r.version = s.text(3);
    r.demo = s.text(4);
    r.status = s.text(5);
    r.report = s.text(6);
    return r;
}

// The current time in UTC as strftime writes it with format.
std::string utcText(const char* format) {
    const std::tm tm = utcCalendarTime(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

}  // namespace

std::string utcTimeText() { return utcText("%Y-%m-%dT%H:%M:%SZ"); }

const char* HistoryStore::listQuery() {
    return "SELECT r.id, r.time, r.version, r.demo, p.width, p.height, p.score,"
           " EXISTS(SELECT 1 FROM run_values v WHERE v.run_id = r.id AND v.kind = 'setting' AND v.name = 'debug'"
           " AND v.value = 'yes')"
           " FROM runs r LEFT JOIN passes p ON p.run_id = r.id ORDER BY r.id, p.position;";
}

HistoryStore::HistoryStore(std::string path, bool create, IfUnusable ifUnusable)
    : path_(std::move(path)), create_(create), ifUnusable_(ifUnusable) {
    try {
        try {
            openFile(create_);
        } catch (const Unusable& e) {
            setAside(e.tag, e.what());
            openFile(create_);
        }
    } catch (const std::exception& e) {
        close();
        // Without an object to ask, the error carries the notice.
        const std::string text = failureText(e);
        throw HistoryError(notice_.empty() ? text : notice_ + " " + text);
    }
}

HistoryStore::~HistoryStore() { close(); }

void HistoryStore::close() {
    if (db_) sqlite().close_v2(db_);
    db_ = nullptr;
}

void HistoryStore::connect(const std::string& name, int flags) {
    const int rc = sqlite().open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string text = db_ ? sqlite().errmsg(db_) : sqlite().errstr(rc);
        const int code = db_ ? sqlite().extended_errcode(db_) : rc;
        close();
        throw StoreFailure(code, "The history file " + path_ + " cannot be opened: " + text);
    }
    sqlite().extended_result_codes(db_, 1);
    sqlite().busy_timeout(db_, kBusyMs);
}

void HistoryStore::openFile(bool create) {
    readOnly_ = false;
    std::error_code ec;
    const fs::path file(path_);
    if (!fs::exists(file, ec)) {
        if (!create) return;
        if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
        if (ec)
            throw HistoryError("The history folder " + file.parent_path().string() +
                               " cannot be made: " + ec.message());
    }
    try {
        connect(path_, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
        prepare(create);
    } catch (const StoreFailure& e) {
        close();
        if (create || !cannotWrite(e.code)) throw;
        // Nothing can be written beside the file (a read-only folder, a full
        // disk): it is read as it is, without the locks and the shared-memory
        // index SQLite would have to make. That read leaves out the runs of a
        // write-ahead log, so a log with runs in it is an error.
        const StoreFailure first = e;
        const auto log = fs::file_size(path_ + "-wal", ec);
        if (!ec && log > 0)
            throw StoreFailure(first.code, std::string(first.what()) + "; its write-ahead log " + path_ +
                                               "-wal holds runs that cannot be read without writing beside it");
        try {
            connect(fileUri(path_) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
            readOnly_ = true;
            prepare(false);
        } catch (const StoreFailure&) {
            close();
            throw first;
        }
    }
}

void HistoryStore::prepare(bool create) {
    // Inside the write transaction the schema is looked at and made in one go:
    // a program starting the history at the same moment waits, then finds it.
    if (create) exec(db_, "BEGIN IMMEDIATE;");
    try {
        std::int64_t version = 0, objects = 0, tables = 0;
        {
            Statement s(db_,
                        "SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master),"
                        " (SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                        " AND name IN ('runs', 'passes', 'run_values'));");
            if (s.step()) {
                version = s.integer(0);
                objects = s.integer(1);
                tables = s.integer(2);
            }
        }
        if (version > kHistorySchemaVersion)
            throw Unusable("newer",
                           "comes from a newer version of Vantor (history schema " + std::to_string(version) + ")");
        if (version == 0) {
            if (objects > 0) throw damaged("it holds other tables than a run history");
            if (!create) return close();
            exec(db_, kSchema);
        } else if (tables != 3) {
            throw damaged("its tables are missing");
        }
        if (create) exec(db_, "COMMIT;");
    } catch (...) {
        if (create && db_) sqlite().exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
    if (create) {
        walMode(db_);
        // Before a write, look at every page once; reading commands find damage as they go.
        Statement check(db_, "PRAGMA quick_check(1);");
        if (check.step() && check.text(0) != "ok") throw damaged(check.text(0));
    }
    exec(db_, "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON;");
}

void HistoryStore::setAside(const std::string& tag, const std::string& why) {
    close();
    // A file read without locks may be changing under the reader: never moved.
    if (ifUnusable_ == IfUnusable::Report || readOnly_)
        throw HistoryError("The history file " + path_ + " " + why + ".");
    keepAside(tag, why);
}

void HistoryStore::keepAside(const std::string& tag, const std::string& why) {
    const fs::path file(path_);
    std::error_code ec;
    std::string aside;
    for (int n = 0;; ++n) {
        aside = path_ + "." + tag + "-" + utcText("%Y%m%d-%H%M%S") + (n ? "-" + std::to_string(n) : std::string());
        if (!fs::exists(aside, ec) && !fs::exists(aside + "-wal", ec) && !fs::exists(aside + "-shm", ec)) break;
    }
    // The write-ahead log first: it belongs to the file and goes with it.
    for (const char* part : {"-wal", "-shm", ""}) {
        const fs::path from(path_ + part);
        if (!fs::exists(from, ec)) continue;
        fs::rename(from, fs::path(aside + part), ec);
        if (ec)
            throw HistoryError("The history file " + path_ + " " + why +
                               ", and it cannot be renamed aside: " + ec.message());
    }
    notice_ = "The history file " + path_ + " " + why + "; it was kept as " + aside + " and a new history was started.";
}

std::string HistoryStore::failureText(const std::exception& e) const {
    if (const auto* failure = dynamic_cast<const StoreFailure*>(&e); failure && diskFull(failure->code, path_))
        return "The history file " + path_ + " cannot be written: disk full";
    return e.what();
}

template <class F>
auto HistoryStore::guarded(F&& f) -> decltype(f()) {
    try {
        try {
            return f();
        } catch (const Unusable& e) {
            setAside(e.tag, e.what());
            openFile(create_);
            return f();
        }
    } catch (const StoreFailure& e) {
        throw HistoryError(failureText(e));
    }
}

std::int64_t HistoryStore::add(const StoredRun& run) { return addAll({run}); }

std::int64_t HistoryStore::addAll(const std::vector<StoredRun>& runs) {
    if (!create_ || readOnly_) {
        close();
        create_ = true;
    }
    return guarded([&] {
        if (!db_) openFile(true);
        exec(db_, "BEGIN IMMEDIATE;");
        try {
            Statement head(
                db_, "INSERT INTO runs(time, started, version, demo, status, report) VALUES(?1, ?2, ?3, ?4, ?5, ?6);");
            Statement pass(db_,
                           "INSERT INTO passes(run_id, position, width, height, score, seconds) "
                           "VALUES(?1, ?2, ?3, ?4, ?5, ?6);");
            Statement value(db_,
                            "INSERT INTO run_values(run_id, kind, position, name, value) VALUES(?1, ?2, ?3, ?4, ?5);");
            std::int64_t id = 0;
            for (const StoredRun& run : runs) {
                head.bind(1, run.time).bind(2, run.started).bind(3, run.version).bind(4, run.demo);
                head.bind(5, run.status).bind(6, run.report).run();
                id = sqlite().last_insert_rowid(db_);
                std::int64_t position = 0;
                for (const auto& p : run.passes) {
                    pass.bind(1, id).bind(2, position++).bind(3, std::int64_t{p.width}).bind(4, std::int64_t{p.height});
                    pass.bind(5, p.score).bind(6, p.seconds).run();
                }
                for (const auto& [kind, values] :
                     {std::pair{"setting", &run.settings}, std::pair{"hardware", &run.hardware}}) {
                    position = 0;
                    for (const auto& v : *values)
                        value.bind(1, id)
                            .bind(2, std::string(kind))
                            .bind(3, position++)
                            .bind(4, v.name)
                            .bind(5, v.value)
                            .run();
                }
            }
            exec(db_, "COMMIT;");
            return id;
        } catch (...) {
            sqlite().exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
            throw;
        }
    });
}

namespace {

// Collects what a stream hands over.
template <class Run>
class Collect final : public RunStream<Run> {
public:
    void start() override { all.clear(); }
    void add(const Run& run) override { all.push_back(run); }
    std::vector<Run> all;
};

void addPass(StoredRun& run, const Statement& s) {
    run.passes.push_back({static_cast<int>(s.integer(1)), static_cast<int>(s.integer(2)), s.real(3), s.real(4)});
}

void addValue(StoredRun& run, const Statement& s) {
    (s.text(1) == "hardware" ? run.hardware : run.settings).push_back({s.text(2), s.text(3)});
}

void addName(std::vector<std::string>& names, std::string name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

}  // namespace

std::vector<RunListing> HistoryStore::list() {
    Collect<RunListing> all;
    list(all);
    return std::move(all.all);
}

void HistoryStore::list(RunStream<RunListing>& stream) {
    guarded([&] {
        stream.start();
        if (!db_) return;
        Statement s(db_, listQuery());
        RunListing run;
        bool any = false;
        while (s.step()) {
            const std::int64_t id = s.integer(0);
            if (!any || run.id != id) {
                if (any) stream.add(run);
                run = {id, s.text(1), s.text(2), s.text(3), {}, s.integer(7) != 0};
                any = true;
            }
            if (!s.null(4))
                run.passes.push_back(
                    {static_cast<int>(s.integer(4)), static_cast<int>(s.integer(5)), s.real(6), std::nullopt});
        }
        if (any) stream.add(run);
    });
}

std::vector<StoredRun> HistoryStore::runs(const std::vector<std::int64_t>& ids) {
    Collect<StoredRun> all;
    runs(ids, all);
    return std::move(all.all);
}

void HistoryStore::runs(const std::vector<std::int64_t>& ids, RunStream<StoredRun>& stream) {
    guarded([&] {
        stream.start();
        if (!db_) return;
        if (ids.empty()) {
            // The three tables side by side in run order, one run at a time;
            // rows of a run that is not there are passed over.
            Statement heads(db_, (std::string(kRunColumns) + " ORDER BY id;").c_str());
            Statement passes(db_,
                             "SELECT run_id, width, height, score, seconds FROM passes ORDER BY run_id, position;");
            Statement values(db_, "SELECT run_id, kind, name, value FROM run_values ORDER BY run_id, kind, position;");
            bool pass = passes.step(), value = values.step();
            while (heads.step()) {
                StoredRun run = runHead(heads);
                for (; pass && passes.integer(0) <= run.id; pass = passes.step())
                    if (passes.integer(0) == run.id) addPass(run, passes);
                for (; value && values.integer(0) <= run.id; value = values.step())
                    if (values.integer(0) == run.id) addValue(run, values);
                stream.add(run);
            }
            return;
        }
        Statement s(db_, (std::string(kRunColumns) + " WHERE id = ?1;").c_str());
        Statement passes(
            db_, "SELECT run_id, width, height, score, seconds FROM passes WHERE run_id = ?1 ORDER BY position;");
        Statement values(db_,
                         "SELECT run_id, kind, name, value FROM run_values WHERE run_id = ?1 ORDER BY kind, position;");
        std::vector<std::int64_t> done;
        for (std::int64_t id : ids) {
            if (std::find(done.begin(), done.end(), id) != done.end()) continue;
            done.push_back(id);
            s.bind(1, id);
            const bool found = s.step();
            StoredRun run;
            if (found) run = runHead(s);
            s.reset();
            if (!found) continue;
            passes.bind(1, id);
            while (passes.step()) addPass(run, passes);
            passes.reset();
            values.bind(1, id);
            while (values.step()) addValue(run, values);
            values.reset();
            stream.add(run);
        }
    });
}

void HistoryStore::valueNames(std::vector<std::string>& settings, std::vector<std::string>& hardware) {
    guarded([&] {
        settings.clear();
        hardware.clear();
        if (!db_) return;
        Statement s(db_, "SELECT kind, name FROM run_values ORDER BY run_id, kind, position;");
        while (s.step()) addName(s.text(0) == "hardware" ? hardware : settings, s.text(1));
    });
}

std::optional<StoredRun> HistoryStore::run(std::int64_t id) {
    auto found = runs({id});
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

std::optional<double> HistoryStore::typicalPassSeconds(const std::string& demo, int width, int height) {
    return guarded([&]() -> std::optional<double> {
        if (!db_) return std::nullopt;
        Statement s(db_,
                    "SELECT p.seconds FROM runs r JOIN passes p ON p.run_id = r.id"
                    " WHERE r.demo = ?1 AND p.width = ?2 AND p.height = ?3 AND p.seconds IS NOT NULL"
                    " ORDER BY r.id DESC, p.position DESC LIMIT 10;");
        s.bind(1, demo).bind(2, std::int64_t{width}).bind(3, std::int64_t{height});
        std::vector<double> seconds;
        while (s.step()) seconds.push_back(*s.real(0));
        if (seconds.empty()) return std::nullopt;
        std::sort(seconds.begin(), seconds.end());
        const std::size_t n = seconds.size();
        return n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    });
}

}  // namespace vantor
