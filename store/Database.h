// The history database: one connection per thread to db/dbvardo.db, the
// command operations through which every statement of the program runs, and
// the diagnostic lines they print on standard output.
#pragma once

#include "Recordset.h"

#include <string>

// Path of the database file, relative to the current directory.
inline constexpr const char* kDatabaseFile = "db/dbvardo.db";

// Connects the process to kDatabaseFile (or `file`). 0 when connected, 1 when
// the file is missing or is not a usable database. Never creates a file.
int InitDatabaseConnect();
int InitDatabaseConnect(const std::string& file);

// Runs a statement written in the program's (Jet) dialect and returns its
// rows; null when it failed (the failure is printed).
RecordsetPtr ExecuteCommand(const std::string& statement);

// Runs a "select * from <table> ..." and returns an updatable result set;
// null when it failed.
RecordsetPtr OpenRecordset(const std::string& statement);

// The column's value as text; empty text for NULL, a missing column or no row.
std::string FieldText(const CRecordset& rs, const std::string& column);
