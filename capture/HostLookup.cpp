#include "HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Request {
    gaicb cb{};
    addrinfo hints{};
    std::string name;
    ~Request()
    {
        if (cb.ar_result != nullptr)
            freeaddrinfo(cb.ar_result);
    }
};

// Lookups given up while the C library still works on them: a request
// must stay valid until the library is done, and is freed by a later
// lookup. One still running when the process ends is left to the end of
// the process, since the library's helper may still write into it.
class AbandonedLookups {
public:
    ~AbandonedLookups()
    {
        for (std::unique_ptr<Request>& request : m_requests)
            if (gai_error(&request->cb) == EAI_INPROGRESS)
                (void)request.release();
    }
    void Keep(std::unique_ptr<Request> request)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(),
                                        [](const std::unique_ptr<Request>& r) { return gai_error(&r->cb) != EAI_INPROGRESS; }),
                         m_requests.end());
        if (request)
            m_requests.push_back(std::move(request));
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Request>> m_requests;
};

AbandonedLookups g_abandoned;

void Abandon(std::unique_ptr<Request> request)
{
    g_abandoned.Keep(std::move(request));
}

bool IsNumeric(const std::string& host)
{
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

std::string NumericText(const addrinfo* found)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (found->ai_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    else if (found->ai_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(found->ai_addr)->sin6_addr, text, sizeof text);
    else
        return {};
    return found->ai_family == AF_INET6 ? "[" + std::string(text) + "]" : std::string(text);
}

// Waits for the request in steps of 50 ms; false when given up.
bool AwaitLookup(std::unique_ptr<Request>& request, const std::atomic<bool>& stop,
                 std::chrono::steady_clock::time_point deadline)
{
    const gaicb* list[1] = {&request->cb};
    while (gai_error(&request->cb) == EAI_INPROGRESS) {
        if (stop || std::chrono::steady_clock::now() > deadline) {
            if (gai_cancel(&request->cb) != EAI_CANCELED && gai_error(&request->cb) == EAI_INPROGRESS)
                Abandon(std::move(request));
            return false;
        }
        const timespec step{0, 50 * 1000 * 1000};
        gai_suspend(list, 1, &step);
    }
    return true;
}

}  // namespace

// As FFmpeg splits an address (av_url_split), so the host replaced is the
// one FFmpeg would connect to: the scheme ends at the first ':', the
// authority at the first '/', '?' or '#', the host follows its last '@'.
HostSpan FindHost(const std::string& url)
{
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || url.compare(colon, 3, "://") != 0)
        return {};
    const std::size_t start = colon + 3;
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = url.rfind('@', authorityEnd == 0 ? 0 : authorityEnd - 1);
    const std::size_t begin = at != std::string::npos && at >= start && at < authorityEnd ? at + 1 : start;
    if (begin < authorityEnd && url[begin] == '[') {
        const std::size_t close = url.find(']', begin);
        return close == std::string::npos || close >= authorityEnd ? HostSpan{} : HostSpan{begin, close + 1 - begin, true};
    }
    const std::size_t end = std::min(url.find(':', begin), authorityEnd);
    return HostSpan{begin, end - begin, false};
}

HostLookup LookUpHost(std::string* url, std::string* hostHeader, const std::atomic<bool>& stop,
                      std::chrono::steady_clock::time_point deadline)
{
    Abandon(nullptr);  // frees what the library has finished since
    const HostSpan span = FindHost(*url);
    const std::string host = url->substr(span.begin, span.length);
    const bool secure = url->compare(0, 6, "https:") == 0 || url->compare(0, 4, "tls:") == 0;  // certificates name the host
    if (span.length == 0 || span.bracketed || IsNumeric(host) || secure)
        return HostLookup::kNoName;
    auto request = std::make_unique<Request>();
    request->name = host;
    request->hints.ai_socktype = SOCK_STREAM;
    request->hints.ai_family = AF_UNSPEC;
    request->cb.ar_name = request->name.c_str();
    request->cb.ar_request = &request->hints;
    gaicb* list[1] = {&request->cb};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0)
        return HostLookup::kNotFound;
    if (!AwaitLookup(request, stop, deadline))
        return stop ? HostLookup::kStopped : HostLookup::kNotFound;
    if (gai_error(&request->cb) != 0 || request->cb.ar_result == nullptr)
        return HostLookup::kNotFound;
    const std::string numeric = NumericText(request->cb.ar_result);
    if (numeric.empty())
        return HostLookup::kNotFound;
    const std::size_t authorityEnd = std::min(url->find_first_of("/?#", span.begin + span.length), url->size());
    if (url->compare(0, 5, "http:") == 0)
        *hostHeader = "Host: " + url->substr(span.begin, authorityEnd - span.begin) + "\r\n";
    url->replace(span.begin, span.length, numeric);
    return HostLookup::kFound;
}
