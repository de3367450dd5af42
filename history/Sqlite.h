#pragma once
// The SQLite calls the history makes, through one table: on POSIX the system's
// libsqlite3 is loaded when the history is first opened (the commands that do
// not read it start without it), on Windows the statically linked library's
// own functions fill it. One file per way (SqliteLoaded.cpp, SqliteLinked.cpp).

#include <sqlite3.h>

#include <cstdint>

namespace vantor {

struct Sqlite {
    int (*open_v2)(const char*, sqlite3**, int, const char*);
    int (*close_v2)(sqlite3*);
    int (*exec)(sqlite3*, const char*, int (*)(void*, int, char**, char**), void*, char**);
    int (*prepare_v2)(sqlite3*, const char*, int, sqlite3_stmt**, const char**);
    int (*step)(sqlite3_stmt*);
    int (*reset)(sqlite3_stmt*);
    int (*finalize)(sqlite3_stmt*);
    int (*bind_int64)(sqlite3_stmt*, int, sqlite3_int64);
    int (*bind_text)(sqlite3_stmt*, int, const char*, int, void (*)(void*));
    int (*bind_double)(sqlite3_stmt*, int, double);
    int (*bind_null)(sqlite3_stmt*, int);
    sqlite3_int64 (*column_int64)(sqlite3_stmt*, int);
    const unsigned char* (*column_text)(sqlite3_stmt*, int);
    int (*column_bytes)(sqlite3_stmt*, int);
    double (*column_double)(sqlite3_stmt*, int);
    int (*column_type)(sqlite3_stmt*, int);
    const char* (*errmsg)(sqlite3*);
    const char* (*errstr)(int);
    int (*extended_errcode)(sqlite3*);
    int (*extended_result_codes)(sqlite3*, int);
    int (*busy_timeout)(sqlite3*, int);
    sqlite3_int64 (*last_insert_rowid)(sqlite3*);
    int (*sleep)(int);
};

// The table; throws HistoryError ("SQLite could not be loaded (...)") when the
// library is not there.
const Sqlite& sqlite();

}  // namespace vantor
