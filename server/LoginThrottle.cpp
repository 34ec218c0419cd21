#include "LoginThrottle.h"

#include <algorithm>

void LoginThrottle::Count(Record& record, Clock::time_point now)
{
    ++record.failures;
    if (record.failures < kFreeTries)
        return;
    const int doublings = std::min(record.failures - kFreeTries, 10);  // 2^10 s is past the longest wait
    record.until = now + std::min<std::chrono::seconds>(std::chrono::seconds(1L << doublings), kLongestWait);
}

std::chrono::seconds LoginThrottle::Wait(const std::map<std::string, Record>& records, const std::string& key,
                                         Clock::time_point now) const
{
    const auto found = records.find(key);
    if (found == records.end() || found->second.until <= now)
        return std::chrono::seconds(0);
    return std::chrono::ceil<std::chrono::seconds>(found->second.until - now);
}

std::chrono::seconds LoginThrottle::WaitBefore(const std::string& account, const std::string& address,
                                               Clock::time_point now) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::max(Wait(m_accounts, account, now), Wait(m_addresses, address, now));
}

// Many names and addresses tried (a scan): those whose wait is over are
// forgotten, so the records stay few.
void LoginThrottle::Prune(std::map<std::string, Record>& records, Clock::time_point now)
{
    if (records.size() < kPruneAt)
        return;
    for (auto it = records.begin(); it != records.end();)
        it = it->second.until <= now ? records.erase(it) : std::next(it);
}

int LoginThrottle::Failed(const std::string& account, const std::string& address, Clock::time_point now)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    Prune(m_accounts, now);
    Prune(m_addresses, now);
    Count(m_accounts[account], now);
    Record& byAddress = m_addresses[address];
    Count(byAddress, now);
    return byAddress.failures;
}

void LoginThrottle::Succeeded(const std::string& account, const std::string& address)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_accounts.erase(account);
    m_addresses.erase(address);
}
