#include "JetDialect.h"

#include <cctype>

namespace {

bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Index just past the quoted run that starts at `i` (quote doubled inside).
std::size_t SkipQuoted(const std::string& s, std::size_t i)
{
    const char q = s[i];
    for (++i; i < s.size(); ++i) {
        if (s[i] == q) {
            if (i + 1 < s.size() && s[i + 1] == q)
                ++i;
            else
                return i + 1;
        }
    }
    return s.size();
}

// For an opening parenthesis at `open`: the index of the first top-level comma
// and of the matching closing parenthesis; false when either is missing.
bool FindArguments(const std::string& s, std::size_t open, std::size_t* comma, std::size_t* close)
{
    int depth = 0;
    *comma = std::string::npos;
    for (std::size_t i = open; i < s.size();) {
        const char c = s[i];
        if (c == '\'' || c == '"') {
            i = SkipQuoted(s, i);
            continue;
        }
        if (c == '(')
            ++depth;
        else if (c == ')' && --depth == 0) {
            *close = i;
            return *comma != std::string::npos;
        } else if (c == ',' && depth == 1 && *comma == std::string::npos)
            *comma = i;
        ++i;
    }
    return false;
}

bool IsLeftWord(const std::string& word)
{
    if (word.size() != 4)
        return false;
    std::string lower;
    for (char c : word)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "left";
}

}  // namespace

std::string TranslateJetSql(const std::string& sql)
{
    std::string out;
    out.reserve(sql.size() + 16);
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const std::size_t end = SkipQuoted(sql, i);
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        if (!IsIdentChar(c)) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < sql.size() && IsIdentChar(sql[end]))
            ++end;
        const std::string word = sql.substr(i, end - i);
        std::size_t open = end;
        while (open < sql.size() && std::isspace(static_cast<unsigned char>(sql[open])))
            ++open;
        std::size_t comma = 0, close = 0;
        if (IsLeftWord(word) && open < sql.size() && sql[open] == '(' &&
            FindArguments(sql, open, &comma, &close)) {
            out += "substr(" + TranslateJetSql(sql.substr(open + 1, comma - open - 1)) + ",1," +
                   TranslateJetSql(sql.substr(comma + 1, close - comma - 1)) + ")";
            i = close + 1;
        } else {
            out += word;
            i = end;
        }
    }
    return out;
}

std::string SqlText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}
