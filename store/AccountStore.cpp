#include "AccountStore.h"

#include "Connection.h"

namespace {

constexpr const char* kAccountSchemaSql =
    "CREATE TABLE IF NOT EXISTS remote_account ("
    " name TEXT PRIMARY KEY NOT NULL,"
    " role TEXT NOT NULL CHECK (role IN ('admin', 'viewer')),"
    " hash TEXT NOT NULL,"
    " created TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')))";

// One statement with its texts bound in order; the rows it gives to `row`.
template <typename Row>
bool Run(const std::string& sql, const std::vector<std::string>& values, std::string* error, Row row)
{
    DbError failure;
    sqlite3* db = ThreadDatabase(&failure);
    StmtPtr stmt = db != nullptr ? PrepareStatement(db, sql, &failure) : nullptr;
    for (std::size_t i = 0; stmt && i < values.size(); ++i)
        sqlite3_bind_text(stmt.get(), static_cast<int>(i + 1), values[i].c_str(), static_cast<int>(values[i].size()),
                          SQLITE_TRANSIENT);
    int rc = stmt ? SQLITE_ROW : SQLITE_ERROR;
    while (stmt && (rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        row(stmt.get());
    if (rc == SQLITE_DONE)
        return true;
    if (error != nullptr)
        *error = stmt ? sqlite3_errmsg(db) : failure.message;
    return false;
}

bool Run(const std::string& sql, const std::vector<std::string>& values, std::string* error)
{
    return Run(sql, values, error, [](sqlite3_stmt*) {});
}

std::string Column(sqlite3_stmt* stmt, int column)
{
    const auto* text = sqlite3_column_text(stmt, column);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

int Changes()
{
    DbError failure;
    sqlite3* db = ThreadDatabase(&failure);
    return db != nullptr ? sqlite3_changes(db) : 0;
}

}  // namespace

bool EnsureAccountTable(std::string* error)
{
    return Run(kAccountSchemaSql, {}, error);
}

bool InsertAccount(const AccountRow& row, const std::string& hash, std::string* error)
{
    if (FindAccount(row.name)) {
        *error = "the account " + row.name + " exists";
        return false;
    }
    return EnsureAccountTable(error) &&
           Run("INSERT INTO remote_account (name, role, hash) VALUES (?, ?, ?)", {row.name, row.role, hash}, error);
}

namespace {

// A statement on the account `name`; false with `error` when it has none.
bool RunOnAccount(const std::string& sql, const std::vector<std::string>& values, const std::string& name,
                  std::string* error)
{
    if (!Run(sql, values, error))
        return false;
    const bool changed = Changes() > 0;
    if (!changed)
        *error = "no account " + name;
    return changed;
}

}  // namespace

bool UpdateAccountHash(const std::string& name, const std::string& hash, std::string* error)
{
    return RunOnAccount("UPDATE remote_account SET hash=? WHERE name=?", {hash, name}, name, error);
}

bool DeleteAccount(const std::string& name, std::string* error)
{
    return RunOnAccount("DELETE FROM remote_account WHERE name=?", {name}, name, error);
}

std::vector<AccountRow> ReadAccounts()
{
    std::vector<AccountRow> rows;
    Run("SELECT name, role, created FROM remote_account ORDER BY name", {}, nullptr, [&rows](sqlite3_stmt* stmt) {
        rows.push_back({Column(stmt, 0), Column(stmt, 1), Column(stmt, 2)});
    });
    return rows;
}

std::optional<AccountRow> FindAccount(const std::string& name)
{
    std::optional<AccountRow> found;
    Run("SELECT name, role, created FROM remote_account WHERE name=?", {name}, nullptr, [&found](sqlite3_stmt* stmt) {
        found = AccountRow{Column(stmt, 0), Column(stmt, 1), Column(stmt, 2)};
    });
    return found;
}

std::optional<std::string> AccountHash(const std::string& name, bool* failed)
{
    std::optional<std::string> hash;
    const bool read = Run("SELECT hash FROM remote_account WHERE name=?", {name}, nullptr,
                          [&hash](sqlite3_stmt* stmt) { hash = Column(stmt, 0); });
    if (failed != nullptr)
        *failed = !read;
    return read ? hash : std::nullopt;
}
