#include "Recordset.h"

#include "Connection.h"

namespace {

std::string QuoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

CRecordset::Value ColumnValue(sqlite3_stmt* stmt, int i)
{
    if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    return std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
}

}  // namespace

std::unique_ptr<CRecordset> CRecordset::Load(sqlite3_stmt* stmt, const std::string& table, DbError* error,
                                             std::size_t maxRows, bool* done)
{
    auto rs = std::make_unique<CRecordset>();
    rs->m_table = table;
    const int first = table.empty() ? 0 : 1;
    const int count = sqlite3_column_count(stmt);
    for (int i = first; i < count; ++i)
        rs->m_columns.emplace_back(sqlite3_column_name(stmt, i));
    if (done != nullptr)
        *done = false;
    while (rs->m_rows.size() < maxRows) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) {
            if (done != nullptr)
                *done = true;
            break;
        }
        if (rc != SQLITE_ROW) {
            sqlite3* db = sqlite3_db_handle(stmt);
            *error = DbError{rc, sqlite3_errmsg(db)};
            return nullptr;
        }
        Row row;
        if (first == 1)
            row.rowid = sqlite3_column_int64(stmt, 0);
        row.values.reserve(rs->m_columns.size());
        for (int i = first; i < count; ++i)
            row.values.push_back(ColumnValue(stmt, i));
        rs->m_rows.push_back(std::move(row));
    }
    return rs;
}

void CRecordset::MoveNext()
{
    if (m_current < m_rows.size())
        ++m_current;
}

int CRecordset::ColumnIndex(const std::string& column) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (sqlite3_stricmp(m_columns[i].c_str(), column.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

CRecordset::Value CRecordset::Field(const std::string& column) const
{
    const int i = ColumnIndex(column);
    if (i < 0 || IsEOF())
        return std::nullopt;
    return m_rows[m_current].values[static_cast<std::size_t>(i)];
}

bool CRecordset::AddNew()
{
    if (m_table.empty())
        return false;
    m_adding = true;
    m_pending.clear();
    return true;
}

void CRecordset::SetField(const std::string& column, const std::string& text)
{
    m_pending.emplace_back(column, text);
}

void CRecordset::SetField(const std::string& column, std::int64_t number)
{
    m_pending.emplace_back(column, number);
}

std::string CRecordset::InsertSql() const
{
    std::string names, marks;
    for (const auto& p : m_pending) {
        names += (names.empty() ? "" : ",") + QuoteIdentifier(p.first);
        marks += marks.empty() ? "?" : ",?";
    }
    return "INSERT INTO " + QuoteIdentifier(m_table) + " (" + names + ") VALUES (" + marks + ")";
}

std::string CRecordset::UpdateSql() const
{
    std::string sets;
    for (const auto& p : m_pending)
        sets += (sets.empty() ? "" : ",") + QuoteIdentifier(p.first) + "=?";
    return "UPDATE " + QuoteIdentifier(m_table) + " SET " + sets + " WHERE rowid=?";
}

bool CRecordset::Update()
{
    if (m_table.empty() || (!m_adding && IsEOF())) {
        PrintCommandError(DbError{SQLITE_MISUSE, "result set is not updatable here"});
        return false;
    }
    if (m_pending.empty())
        return true;
    const bool ok = m_adding ? RunUpdate(InsertSql(), false) : RunUpdate(UpdateSql(), true);
    if (ok && !m_adding)
        ApplyPendingToRows();
    m_pending.clear();
    m_adding = false;
    return ok;
}

bool CRecordset::RunUpdate(const std::string& sql, bool withRowid)
{
    DbError error;
    sqlite3* db = ThreadDatabase(&error);
    StmtPtr stmt = db ? PrepareStatement(db, sql, &error) : nullptr;
    if (!stmt) {
        PrintCommandError(error);
        return false;
    }
    int index = 1;
    for (const auto& p : m_pending) {
        if (const auto* text = std::get_if<std::string>(&p.second))
            sqlite3_bind_text(stmt.get(), index++, text->c_str(), static_cast<int>(text->size()),
                              SQLITE_TRANSIENT);
        else
            sqlite3_bind_int64(stmt.get(), index++, std::get<std::int64_t>(p.second));
    }
    if (withRowid)
        sqlite3_bind_int64(stmt.get(), index, m_rows[m_current].rowid);
    const int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_DONE) {
        PrintCommandError(DbError{rc, sqlite3_errmsg(db)});
        return false;
    }
    return true;
}

void CRecordset::ApplyPendingToRows()
{
    Row& row = m_rows[m_current];
    for (const auto& p : m_pending) {
        const int i = ColumnIndex(p.first);
        if (i < 0)
            continue;
        if (const auto* text = std::get_if<std::string>(&p.second))
            row.values[static_cast<std::size_t>(i)] = *text;
        else
            row.values[static_cast<std::size_t>(i)] = std::to_string(std::get<std::int64_t>(p.second));
    }
}

void CRecordset::Close()
{
    m_rows.clear();
    m_current = 0;
    m_pending.clear();
    m_adding = false;
}
