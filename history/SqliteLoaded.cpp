#include "history/HistoryStore.h"
#include "history/Sqlite.h"

#include "platform/SharedLibrary.h"

#include <string>
#include <type_traits>

namespace vantor {
namespace {

struct Loaded {
    Sqlite api{};
    std::string error;  // empty when every call was found
};

Loaded load() {
    Loaded l;
    SharedLibrary lib({"libsqlite3.so.0", "libsqlite3.so"});
    Sqlite& a = l.api;
    bool all = lib.loaded();
    auto get = [&](auto& slot, const char* name) {
        slot = lib.function<std::remove_reference_t<decltype(slot)>>(name);
        all = all && slot;
    };
    get(a.open_v2, "sqlite3_open_v2");
    get(a.close_v2, "sqlite3_close_v2");
    get(a.exec, "sqlite3_exec");
    get(a.prepare_v2, "sqlite3_prepare_v2");
    get(a.step, "sqlite3_step");
    get(a.reset, "sqlite3_reset");
    get(a.finalize, "sqlite3_finalize");
    get(a.bind_int64, "sqlite3_bind_int64");
    get(a.bind_text, "sqlite3_bind_text");
    get(a.bind_double, "sqlite3_bind_double");
    get(a.bind_null, "sqlite3_bind_null");
    get(a.column_int64, "sqlite3_column_int64");
    get(a.column_text, "sqlite3_column_text");
    get(a.column_bytes, "sqlite3_column_bytes");
    get(a.column_double, "sqlite3_column_double");
    get(a.column_type, "sqlite3_column_type");
    get(a.errmsg, "sqlite3_errmsg");
    get(a.errstr, "sqlite3_errstr");
    get(a.extended_errcode, "sqlite3_extended_errcode");
    get(a.extended_result_codes, "sqlite3_extended_result_codes");
    get(a.busy_timeout, "sqlite3_busy_timeout");
    get(a.last_insert_rowid, "sqlite3_last_insert_rowid");
    get(a.sleep, "sqlite3_sleep");
    if (!all) l.error = "SQLite could not be loaded (" + lib.error() + ")";
    return l;
}

}  // namespace

const Sqlite& sqlite() {
    static const Loaded loaded = load();
    if (!loaded.error.empty()) throw HistoryError(loaded.error);
    return loaded.api;
}

}  // namespace vantor
