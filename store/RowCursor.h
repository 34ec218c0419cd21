// CRowCursor: a statement whose rows are read a batch at a time, as the
// caller comes to need them, for lists too long to hold at once. It uses the
// connection of the thread that opened it and keeps that connection's read
// snapshot until it is destroyed.
#pragma once

#include "Connection.h"
#include "Recordset.h"

#include <functional>
#include <memory>
#include <string>

class CRowCursor {
public:
    // Prints and prepares the statement (in the program's dialect); null when
    // it failed, with the failure printed.
    static std::unique_ptr<CRowCursor> Open(const std::string& statement);
    explicit CRowCursor(StmtPtr stmt) : m_stmt(std::move(stmt)) {}

    // Up to `count` more rows as a read-only result set; null on failure.
    RecordsetPtr Fetch(std::size_t count);
    bool AtEnd() const { return m_done; }

private:
    StmtPtr m_stmt;
    bool m_done = false;
};

// Runs a statement and hands each row to `visit` (the set's current row) as
// it is read, keeping only a batch: for tables too large to hold. `visit`
// returns false to stop early. False when the statement failed (printed).
bool ForEachRow(const std::string& statement, const std::function<bool(const CRecordset& row)>& visit);
