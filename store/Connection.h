// SQLite handles and the per-thread connections of the database layer.
//
// SQLite ties a transaction to a connection, so every thread that reaches the
// database (the interface thread and each capture thread) gets a connection of
// its own, opened on first use, in WAL mode with a busy time-out. Internal to
// the store; callers use Database.h.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqlitePtr = std::unique_ptr<sqlite3, SqliteCloser>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// A SQLite failure: result code and message.
struct DbError {
    int code = SQLITE_OK;
    std::string message;
};

inline constexpr int kBusyTimeoutMs = 5000;

// Opens an existing database file read-write (never creates one) and prepares
// it for shared use; with `readOnly`, only to read (a file on a read-only
// disk, or one the user may not write). Null on failure, with `error`.
SqlitePtr OpenDatabaseFile(const std::string& path, DbError* error, bool readOnly = false);

// Makes `path` the database of the process and `db` the calling thread's
// connection to it; other threads open their own on first use, read-only
// when `readOnly`. A null `db` leaves the process without a database.
void SetProcessDatabase(const std::string& path, SqlitePtr db, bool readOnly = false);

// The calling thread's connection; null (with `error`) when the process has no
// database or the thread's connection cannot be opened.
sqlite3* ThreadDatabase(DbError* error);

// Prepares one statement on `db`; null (with `error`) on failure.
StmtPtr PrepareStatement(sqlite3* db, const std::string& sql, DbError* error);

// Diagnostic output of the database layer, on standard output.
void DbPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void PrintCommandError(const DbError& error);
