#include "Accounts.h"

#include <sodium.h>

#include <array>

namespace {

constexpr std::size_t kLongestName = 32;

bool SodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::optional<std::string> Hash(const std::string& password)
{
    std::array<char, crypto_pwhash_STRBYTES> hash{};
    if (!SodiumReady() || crypto_pwhash_str(hash.data(), password.data(), password.size(),
                                            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return std::nullopt;  // out of memory
    return std::string(hash.data());
}

bool Verify(const std::string& hash, const std::string& password)
{
    return SodiumReady() && crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

// The length in characters of valid UTF-8 (no overlong form, no surrogate,
// nothing past U+10FFFF), or nothing.
std::optional<std::size_t> Utf8Length(const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : (lead & 0xF0) == 0xE0 ? 2
                                  : lead >= 0xF0 && lead <= 0xF4 ? 3 : 4;
        if (extra == 4 || text.size() - i <= extra)
            return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return std::nullopt;
        const auto second = static_cast<unsigned char>(extra > 0 ? text[i + 1] : 0);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second >= 0x90))
            return std::nullopt;
        i += extra + 1;
    }
    return count;
}

}  // namespace

namespace {

// The hash of an acceptable password; nothing with `error` otherwise.
std::optional<std::string> HashFor(const std::string& password, std::string* error)
{
    if (!IsAcceptablePassword(password)) {
        *error = "a password is 8 to 128 bytes long";
        return std::nullopt;
    }
    std::optional<std::string> hash = Hash(password);
    if (!hash)
        *error = "the password could not be hashed (out of memory)";
    return hash;
}

}  // namespace

bool IsAccountName(const std::string& name)
{
    const std::optional<std::size_t> length = Utf8Length(name);
    if (!length || *length == 0 || *length > kLongestName)
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || c == '\'' || c == '"' || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::optional<std::string> ParseRole(const std::string& text)
{
    if (text == "admin" || text == "管理员")
        return std::string("admin");
    if (text == "viewer" || text == "观看")
        return std::string("viewer");
    return std::nullopt;
}

bool IsAcceptablePassword(const std::string& password)
{
    return password.size() >= 8 && password.size() <= 128;
}

bool AddAccount(const std::string& name, const std::string& role, const std::string& password, std::string* error)
{
    if (!IsAccountName(name)) {
        *error = "an account name is 1 to 32 characters without spaces, quotes or slashes";
        return false;
    }
    if (!ParseRole(role)) {
        *error = "the role must be admin or viewer";
        return false;
    }
    const std::optional<std::string> hash = HashFor(password, error);
    return hash && InsertAccount({name, *ParseRole(role), ""}, *hash, error);
}

bool ChangePassword(const std::string& name, const std::string& password, std::string* error)
{
    const std::optional<std::string> hash = HashFor(password, error);
    return hash && UpdateAccountHash(name, *hash, error);
}

bool RemoveAccount(const std::string& name, std::string* error)
{
    return DeleteAccount(name, error);
}

std::optional<AccountRow> CheckLogin(const std::string& name, const std::string& password, bool* unreadable)
{
    // An unknown name is checked against a hash of nothing anyone knows.
    static const std::string stranger = Hash("a password that no account has").value_or("");
    bool failed = false;
    const std::optional<std::string> hash = AccountHash(name, &failed);
    if (unreadable != nullptr)
        *unreadable = failed;
    const bool matches = Verify(hash.value_or(stranger), password);
    if (!hash || !matches)
        return std::nullopt;
    return FindAccount(name);
}
