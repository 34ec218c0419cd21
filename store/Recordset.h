// A result set of the history database: the rows of one statement, read in
// full when the statement ran, walked with IsEOF/MoveNext. A result set opened
// by OpenRecordset is also updatable: AddNew or the current row, SetField,
// Update. Values always travel as bound parameters, never as statement text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct DbError;
struct sqlite3_stmt;

class CRecordset {
public:
    using Value = std::optional<std::string>;  // nullopt for SQL NULL

    // Runs `stmt` to completion (or for `maxRows` rows; `done` tells which)
    // and keeps its rows. When `table` is given the statement's first column
    // is the rowid of `table` and the set is updatable.
    static std::unique_ptr<CRecordset> Load(sqlite3_stmt* stmt, const std::string& table, DbError* error,
                                            std::size_t maxRows = SIZE_MAX, bool* done = nullptr);

    bool IsEOF() const { return m_current >= m_rows.size(); }
    void MoveNext();
    std::size_t RowCount() const { return m_rows.size(); }

    // The named column of the current row; null when there is no such column,
    // no current row or the value is NULL.
    Value Field(const std::string& column) const;

    // Starts a new row; Update inserts it.
    bool AddNew();
    void SetField(const std::string& column, const std::string& text);
    void SetField(const std::string& column, std::int64_t number);
    // Stores the new or current row; prints the failure and returns false.
    bool Update();
    void Close();

private:
    using Pending = std::variant<std::string, std::int64_t>;
    struct Row {
        std::int64_t rowid = 0;
        std::vector<Value> values;
    };

    int ColumnIndex(const std::string& column) const;
    std::string InsertSql() const;
    std::string UpdateSql() const;
    bool RunUpdate(const std::string& sql, bool withRowid);
    void ApplyPendingToRows();

    std::string m_table;  // empty for a read-only set
    std::vector<std::string> m_columns;
    std::vector<Row> m_rows;
    std::size_t m_current = 0;
    bool m_adding = false;
    std::vector<std::pair<std::string, Pending>> m_pending;
};

using RecordsetPtr = std::unique_ptr<CRecordset>;
