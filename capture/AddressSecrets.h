// The secrets in a camera's address: the password of "scheme://user:pw@host"
// (whatever characters it holds: '@', '/', ':', '?', '#'; an '@' in a query
// after the host may make more of the address hidden, never less) and the values of query
// credentials that cheap cameras take ("?user=admin&pwd=…"). Whatever is
// printed or shown has them as "***"; an address typed back with "***" in
// their place keeps the stored secrets.
#pragma once

#include <string>
#include <vector>

struct SecretSpan {
    std::size_t from = 0;  // the secret is url[from, to)
    std::size_t to = 0;
    std::string name;      // "" for the password, else the query key
};

std::vector<SecretSpan> FindSecrets(const std::string& url);

// The address with each secret as "***".
std::string RedactPassword(const std::string& url);

// Every address in a text (a library's message) with its secrets hidden.
std::string RedactAddresses(const std::string& text);

// `typed` with each secret that reads "***" taken from `stored` (the same
// part: the password, or the query key of the same name).
std::string RestoreSecrets(const std::string& typed, const std::string& stored);
