#include "Database.h"

#include "Connection.h"
#include "JetDialect.h"
#include "Schema.h"

#include <cstdlib>
#include <regex>

namespace {

RecordsetPtr RunSelect(const std::string& sql, const std::string& table)
{
    DbError error;
    sqlite3* db = ThreadDatabase(&error);
    StmtPtr stmt = db ? PrepareStatement(db, sql, &error) : nullptr;
    RecordsetPtr rs = stmt ? CRecordset::Load(stmt.get(), table, &error) : nullptr;
    if (!rs)
        PrintCommandError(error);
    return rs;
}

}  // namespace

int InitDatabaseConnect()
{
    return InitDatabaseConnect(kDatabaseFile);
}

int InitDatabaseConnect(const std::string& file)
{
    DbPrint("初始化ADO...");
    DbPrint("[OK]\n");
    DbPrint("连接信息:%s\n", ("file:" + file + "?mode=rw&journal_mode=wal").c_str());
    DbPrint("连接数据库...");
    DbError error;
    SqlitePtr db = OpenDatabaseFile(file, &error);
    if (!db) {
        DbPrint("Connect 异常 %X,%s\n", static_cast<unsigned>(error.code), error.message.c_str());
        SetProcessDatabase(std::string(), nullptr);
        return 1;
    }
    DbPrint("[OK]\n");
    const double version = std::strtod(sqlite3_libversion(), nullptr);
    DbPrint("adoLowVersion: %f\n", version);
    AddLaterSchema(db.get());
    SetProcessDatabase(file, std::move(db));
    return 0;
}

RecordsetPtr ExecuteCommand(const std::string& statement)
{
    DbPrint("%s\n", statement.c_str());
    return RunSelect(TranslateJetSql(statement), std::string());
}

RecordsetPtr OpenRecordset(const std::string& statement)
{
    // The rowid is read alongside the row so that Update can find it again.
    static const std::regex selectAll(R"(^\s*select\s+\*\s+from\s+([A-Za-z_][A-Za-z0-9_]*))",
                                      std::regex::icase);
    const std::string sql = TranslateJetSql(statement);
    std::smatch match;
    if (!std::regex_search(sql, match, selectAll)) {
        PrintCommandError(DbError{SQLITE_ERROR, "not an updatable select: " + statement});
        return nullptr;
    }
    const std::string table = match[1].str();
    const std::string withRowid =
        "select rowid, * from " + table + sql.substr(static_cast<std::size_t>(match.length(0)));
    return RunSelect(withRowid, table);
}

std::string FieldText(const CRecordset& rs, const std::string& column)
{
    return rs.Field(column).value_or(std::string());
}
