#include "AddressSecrets.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kHidden = "***";

bool IsCredentialKey(std::string key)
{
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* name : {"pwd", "password", "passwd", "pass", "key", "token", "auth"})
        if (key == name)
            return true;
    return false;
}

// Whether what follows the '@' at `at` reads as a host (a name, an address
// in numbers or [brackets]) with its port, up to the path, the query, the
// fragment or the end.
bool HostFollows(const std::string& url, std::size_t at)
{
    std::size_t i = at + 1;
    if (i < url.size() && url[i] == '[')
        i = url.find(']', i) == std::string::npos ? url.size() : url.find(']', i) + 1;
    else
        while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '.' || url[i] == '-' ||
                                  url[i] == '_' || url[i] == '~' || url[i] == '%'))
            ++i;
    if (i == at + 1)
        return false;
    if (i < url.size() && url[i] == ':')
        while (++i < url.size() && std::isdigit(static_cast<unsigned char>(url[i]))) {
        }
    return i == url.size() || url[i] == '/' || url[i] == '?' || url[i] == '#';
}

// "user:password@" right after the scheme: the user holds no '/', and the
// password runs to the last '@' before the host, whatever it holds ('?',
// '#', '/', ':' and '@' included). The end of the password, or `start`.
std::size_t FindPassword(const std::string& url, std::size_t start, std::vector<SecretSpan>* spans)
{
    const std::size_t colon = url.find(':', start);
    const std::size_t slash = url.find('/', start);
    if (colon == std::string::npos || (slash != std::string::npos && slash < colon))
        return start;
    for (std::size_t at = url.rfind('@'); at != std::string::npos && at > colon; at = url.rfind('@', at - 1))
        if (HostFollows(url, at)) {
            spans->push_back({colon + 1, at, ""});
            return at + 1;
        }
    return start;
}

void FindQueryCredentials(const std::string& url, std::size_t query, std::vector<SecretSpan>* spans)
{
    const std::size_t end = std::min(url.find('#', query), url.size());
    for (std::size_t at = query + 1; at < end;) {
        const std::size_t next = std::min(url.find_first_of("&;", at), end);
        const std::size_t equals = url.find('=', at);
        if (equals < next && IsCredentialKey(url.substr(at, equals - at)))
            spans->push_back({equals + 1, next, url.substr(at, equals - at)});
        at = next + 1;
    }
}

}  // namespace

std::vector<SecretSpan> FindSecrets(const std::string& url)
{
    std::vector<SecretSpan> spans;
    const std::size_t scheme = url.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t host = FindPassword(url, start, &spans);
    const std::size_t query = url.find('?', host);
    if (query != std::string::npos)
        FindQueryCredentials(url, query, &spans);
    return spans;
}

std::string RedactPassword(const std::string& url)
{
    std::string shown = url;
    const std::vector<SecretSpan> spans = FindSecrets(url);
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        shown.replace(it->from, it->to - it->from, kHidden);
    return shown;
}

std::string RedactAddresses(const std::string& text)
{
    std::string shown = text;
    for (std::size_t mark = shown.find("://"); mark != std::string::npos; mark = shown.find("://", mark + 3)) {
        std::size_t begin = mark;
        while (begin > 0 && (std::isalnum(static_cast<unsigned char>(shown[begin - 1])) || shown[begin - 1] == '+' ||
                             shown[begin - 1] == '.' || shown[begin - 1] == '-'))
            --begin;
        const std::size_t end = std::min(shown.find_first_of(" \t\r\n'\"", mark), shown.size());
        const std::string address = RedactPassword(shown.substr(begin, end - begin));
        shown.replace(begin, end - begin, address);
        mark = begin + address.size() - 3;
    }
    return shown;
}

std::string RestoreSecrets(const std::string& typed, const std::string& stored)
{
    // Left as shown: the stored address itself, even where hiding a secret
    // that holds '/', '?' or '@' changed how the shown text reads.
    if (typed == RedactPassword(stored))
        return stored;
    const std::vector<SecretSpan> kept = FindSecrets(stored);
    const std::vector<SecretSpan> spans = FindSecrets(typed);
    std::string restored = typed;
    for (std::size_t i = spans.size(); i-- > 0;) {
        const SecretSpan& span = spans[i];
        if (typed.compare(span.from, span.to - span.from, kHidden) != 0)
            continue;
        // The same part of the stored address: its n-th secret of that name.
        const auto sameName = [&span](const SecretSpan& other) { return other.name == span.name; };
        auto nth = std::count_if(spans.begin(), spans.begin() + static_cast<std::ptrdiff_t>(i), sameName);
        auto same = std::find_if(kept.begin(), kept.end(), sameName);
        while (same != kept.end() && nth-- > 0)
            same = std::find_if(same + 1, kept.end(), sameName);
        if (same != kept.end())
            restored.replace(span.from, span.to - span.from, stored.substr(same->from, same->to - same->from));
    }
    return restored;
}
