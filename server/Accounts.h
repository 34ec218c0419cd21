// The remote view's accounts: who may log in, with which role. Passwords
// are kept only as Argon2id hashes (libsodium's crypto_pwhash_str, its
// interactive limits); a login with an unknown name does the same work as
// one with a wrong password, so the time taken tells nothing.
#pragma once

#include "AccountStore.h"

#include <optional>
#include <string>

// 1 to 32 characters (UTF-8), none of them a space, a control character,
// a quote, a slash or a backslash.
bool IsAccountName(const std::string& name);
// "admin" or "viewer" (also "管理员", "观看"); nothing for anything else.
std::optional<std::string> ParseRole(const std::string& text);
// 8 to 128 bytes.
bool IsAcceptablePassword(const std::string& password);

// Each false with one line for the user in `error`.
bool AddAccount(const std::string& name, const std::string& role, const std::string& password, std::string* error);
bool ChangePassword(const std::string& name, const std::string& password, std::string* error);
bool RemoveAccount(const std::string& name, std::string* error);

// The account when the password is its own. `unreadable` (if given) is set
// when the database could not be read: no answer, not a wrong password.
std::optional<AccountRow> CheckLogin(const std::string& name, const std::string& password, bool* unreadable = nullptr);
