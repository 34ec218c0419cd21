// The remote view's accounts, in the history database: a name, a role and
// the password's hash, never the password. Statements go with their values
// bound, not written into the statement, so nothing of a hash reaches the
// database layer's echo of its statements.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct AccountRow {
    std::string name;
    std::string role;     // "admin" or "viewer"
    std::string created;  // local time
};

// Makes the table in a database made before accounts were.
bool EnsureAccountTable(std::string* error);
// False with `error` when the name is taken or the database refused.
bool InsertAccount(const AccountRow& row, const std::string& hash, std::string* error);
bool UpdateAccountHash(const std::string& name, const std::string& hash, std::string* error);
// False when there was no such account.
bool DeleteAccount(const std::string& name, std::string* error);
std::vector<AccountRow> ReadAccounts();
// `failed` (if given) is set when the database could not be read, which is
// not the same as no such account.
std::optional<std::string> AccountHash(const std::string& name, bool* failed = nullptr);
std::optional<AccountRow> FindAccount(const std::string& name);
