#include "RowCursor.h"

#include "Connection.h"
#include "JetDialect.h"

std::unique_ptr<CRowCursor> CRowCursor::Open(const std::string& statement)
{
    DbPrint("%s\n", statement.c_str());
    DbError error;
    sqlite3* db = ThreadDatabase(&error);
    StmtPtr stmt = db ? PrepareStatement(db, TranslateJetSql(statement), &error) : nullptr;
    if (!stmt) {
        PrintCommandError(error);
        return nullptr;
    }
    return std::make_unique<CRowCursor>(std::move(stmt));
}

RecordsetPtr CRowCursor::Fetch(std::size_t count)
{
    DbError error;
    RecordsetPtr rs = CRecordset::Load(m_stmt.get(), std::string(), &error, count, &m_done);
    if (!rs) {
        m_done = true;
        PrintCommandError(error);
    }
    return rs;
}

bool ForEachRow(const std::string& statement, const std::function<bool(const CRecordset& row)>& visit)
{
    std::unique_ptr<CRowCursor> cursor = CRowCursor::Open(statement);
    if (!cursor)
        return false;
    while (!cursor->AtEnd()) {
        RecordsetPtr rs = cursor->Fetch(256);
        if (!rs)
            return false;
        for (; !rs->IsEOF(); rs->MoveNext())
            if (!visit(*rs))
                return true;
    }
    return true;
}
