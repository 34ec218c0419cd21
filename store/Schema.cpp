#include "Schema.h"

#include "PrivateFile.h"

#include "Connection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <unistd.h>

namespace {

// start_time is filled by the store with the local time; the day index serves
// every statement that compares Left(start_time,10), which the database layer
// turns into substr(start_time,1,10).
constexpr const char* kSchemaSql = R"sql(
PRAGMA journal_mode=WAL;
CREATE TABLE soft_set (
    key   TEXT NOT NULL,
    value TEXT
);
CREATE INDEX soft_set_key ON soft_set(key);
CREATE TABLE video_save_history (
    capdrive        INTEGER,
    capdrive_name   TEXT,
    video_save_path TEXT,
    start_time      TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX video_save_history_path ON video_save_history(video_save_path);
CREATE INDEX video_save_history_day ON video_save_history(substr(start_time,1,10));
INSERT INTO soft_set(key, value) VALUES ('cycle_del_video_recd', '30');
)sql";

bool ReserveNewFile(const std::string& path, std::string* error)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && std::filesystem::create_directories(folder, ec))
        ::chmod(folder.c_str(), 0700);  // the database's folder is the owner's only
    if (ec) {
        *error = "cannot create folder " + folder.string() + ": " + ec.message();
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateMode);
    if (fd < 0) {
        *error = path + ": " + (errno == EEXIST ? "the database already exists, it is left unchanged"
                                                : std::strerror(errno));
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

bool CreateDatabaseFile(const std::string& path, std::string* error)
{
    if (!ReserveNewFile(path, error))
        return false;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqlitePtr db(raw);
    char* message = nullptr;
    if (rc == SQLITE_OK && sqlite3_exec(db.get(), kSchemaSql, nullptr, nullptr, &message) == SQLITE_OK &&
        sqlite3_exec(db.get(), kTimeIndexSql, nullptr, nullptr, &message) == SQLITE_OK &&
        sqlite3_exec(db.get(), kMotionSchemaSql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    *error = path + ": " + (message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    db.reset();
    ::unlink(path.c_str());
    return false;
}

void AddLaterSchema(sqlite3* db)
{
    sqlite3_exec(db, kTimeIndexSql, nullptr, nullptr, nullptr);
    sqlite3_exec(db, kMotionSchemaSql, nullptr, nullptr, nullptr);
    sqlite3_exec(db, kMotionKindSql, nullptr, nullptr, nullptr);  // fails where the column is: nothing to do
}
