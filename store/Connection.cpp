#include "Connection.h"

#include "PrivateFile.h"

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_pathMutex;
std::string g_path;                       // guarded by g_pathMutex
std::atomic<unsigned> g_generation{0};    // counts connections of the process
std::atomic<bool> g_connected{false};
std::atomic<bool> g_readOnly{false};

struct ThreadConnection {
    SqlitePtr db;
    unsigned generation = 0;
};
thread_local ThreadConnection t_connection;

std::string UriPath(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-')
            uri += static_cast<char>(c);
        else
            uri += std::string{'%', kHex[c >> 4], kHex[c & 15]};
    }
    return uri;
}

DbError ErrorOf(sqlite3* db, int code)
{
    return DbError{code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

// Only a file with both tables is the program's database. This is read
// before anything is written: switching the journal mode would turn an
// empty file into a new database, and a stranger's file stays untouched.
bool HasHistoryTables(sqlite3* db, DbError* error)
{
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db,
                                "select count(*) from sqlite_master where type='table' "
                                "and name in ('soft_set','video_save_history')",
                                -1, &raw, nullptr);
    StmtPtr stmt(raw);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW) {
        *error = ErrorOf(db, rc);
        return false;
    }
    if (sqlite3_column_int(stmt.get(), 0) != 2) {
        *error = DbError{SQLITE_NOTADB, "not a Lumaro database: the tables soft_set and video_save_history are missing"};
        return false;
    }
    return true;
}

}  // namespace

SqlitePtr OpenDatabaseFile(const std::string& path, DbError* error, bool readOnly)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    SqlitePtr db(raw);
    if (readOnly && rc == SQLITE_OK && !HasHistoryTables(db.get(), error)) {
        // On a read-only disk a WAL database without its -shm file opens
        // only as an unchanging file.
        db.reset();
        raw = nullptr;
        rc = sqlite3_open_v2(("file:" + UriPath(path) + "?immutable=1").c_str(), &raw,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        db.reset(raw);
    }
    if (rc != SQLITE_OK) {
        *error = ErrorOf(db.get(), rc);
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    if (!HasHistoryTables(db.get(), error))
        return nullptr;
    for (const char* suffix : {"", "-wal", "-shm"})  // only the program's own database
        KeepPrivate(path + suffix);
    if (readOnly)
        return db;
    char* message = nullptr;
    const int prc = sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, &message);
    if (prc != SQLITE_OK) {
        *error = DbError{prc, message ? message : sqlite3_errstr(prc)};
        sqlite3_free(message);
        return nullptr;
    }
    return db;
}

void SetProcessDatabase(const std::string& path, SqlitePtr db, bool readOnly)
{
    g_readOnly = readOnly;
    {
        std::lock_guard<std::mutex> lock(g_pathMutex);
        g_path = path;
    }
    const unsigned generation = ++g_generation;
    g_connected = db != nullptr;
    t_connection.db = std::move(db);
    t_connection.generation = generation;
}

sqlite3* ThreadDatabase(DbError* error)
{
    const unsigned generation = g_generation.load();
    if (!g_connected) {
        *error = DbError{SQLITE_MISUSE, "no database connection"};
        return nullptr;
    }
    if (t_connection.db && t_connection.generation == generation)
        return t_connection.db.get();
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_pathMutex);
        path = g_path;
    }
    t_connection.db = OpenDatabaseFile(path, error, g_readOnly);
    t_connection.generation = generation;
    return t_connection.db.get();
}

StmtPtr PrepareStatement(sqlite3* db, const std::string& sql, DbError* error)
{
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    StmtPtr stmt(raw);
    if (rc != SQLITE_OK) {
        *error = ErrorOf(db, rc);
        return nullptr;
    }
    if (!stmt) {
        *error = DbError{SQLITE_MISUSE, "empty statement"};
        return nullptr;
    }
    return stmt;
}

void DbPrint(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

void PrintCommandError(const DbError& error)
{
    DbPrint("<?>Command 异常,错误码=0x%X\r\n\t%s", static_cast<unsigned>(error.code),
            error.message.c_str());
}
