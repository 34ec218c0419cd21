// The two tables of the history database and the making of a new database file.
#pragma once

#include <string>

// Creates a new database file at `path` (and its folder) with both tables,
// their indexes and the default settings. Refuses to touch an existing file.
// Returns true on success; otherwise `error` says why.
bool CreateDatabaseFile(const std::string& path, std::string* error);

// The index that gives the history list its order (newest first, then by
// camera) without sorting the table: a new database has it, and an older one
// gets it when the program connects.
inline constexpr const char* kTimeIndexSql =
    "CREATE INDEX IF NOT EXISTS video_save_history_time ON video_save_history(start_time DESC, capdrive ASC)";

// Motion events beside the recordings' table: one row per event, deleted
// with its recording's row (by the trigger, whoever deletes the row). A new
// database has them, and an older one gets them when the program connects;
// one whose events predate their kind gets the column (all motion).
inline constexpr const char* kMotionKindSql =
    "ALTER TABLE motion_event ADD COLUMN kind TEXT NOT NULL DEFAULT 'motion'";
inline constexpr const char* kMotionSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS motion_event (
    capdrive        INTEGER NOT NULL,
    video_save_path TEXT NOT NULL,
    start_time      TEXT NOT NULL,
    end_time        TEXT NOT NULL,
    peak            REAL NOT NULL,
    kind            TEXT NOT NULL DEFAULT 'motion'
);
CREATE INDEX IF NOT EXISTS motion_event_time ON motion_event(capdrive, start_time);
CREATE INDEX IF NOT EXISTS motion_event_path ON motion_event(video_save_path);
CREATE TRIGGER IF NOT EXISTS motion_event_with_recording AFTER DELETE ON video_save_history
BEGIN
    DELETE FROM motion_event WHERE video_save_path = old.video_save_path;
END;
)sql";

struct sqlite3;
// What a database made by an earlier version lacks: the time index and the
// motion events. A failure (a read-only file, a lock) only makes the
// history list slower, or keeps motion events waiting.
void AddLaterSchema(sqlite3* db);
