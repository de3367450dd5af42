#include "history/Sqlite.h"

namespace vantor {

const Sqlite& sqlite() {
    static const Sqlite api{sqlite3_open_v2,
                            sqlite3_close_v2,
                            sqlite3_exec,
                            sqlite3_prepare_v2,
                            sqlite3_step,
                            sqlite3_reset,
                            sqlite3_finalize,
                            sqlite3_bind_int64,
                            sqlite3_bind_text,
                            sqlite3_bind_double,
                            sqlite3_bind_null,
                            sqlite3_column_int64,
                            sqlite3_column_text,
                            sqlite3_column_bytes,
                            sqlite3_column_double,
                            sqlite3_column_type,
                            sqlite3_errmsg,
                            sqlite3_errstr,
                            sqlite3_extended_errcode,
                            sqlite3_extended_result_codes,
                            sqlite3_busy_timeout,
                            sqlite3_last_insert_rowid,
                            sqlite3_sleep};
    return api;
}

}  // namespace vantor
