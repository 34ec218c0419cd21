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
