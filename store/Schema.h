// The two tables of the history database and the making of a new database file.
#pragma once

#include <string>

// Creates a new database file at `path` (and its folder) with both tables,
// their indexes and the default settings. Refuses to touch an existing file.
// Returns true on success; otherwise `error` says why.
bool CreateDatabaseFile(const std::string& path, std::string* error);
