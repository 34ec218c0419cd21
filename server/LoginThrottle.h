// Failed logins slow the next try down, per account and per address: after
// five failures each further try waits twice as long as the one before
// (1 s, 2 s, 4 s, … up to 15 minutes), and the wait is said. A success
// clears its account and address. An unknown account is counted like a
// known one, so the answers tell nothing about which names exist. Times are
// given, not read, so the rule is the same in a test as in the shop.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFreeTries = 5;
    static constexpr std::chrono::seconds kLongestWait{15 * 60};

    // How long a try from `address` for `account` must still wait; zero
    // when it may go ahead now.
    std::chrono::seconds WaitBefore(const std::string& account, const std::string& address, Clock::time_point now) const;
    // The failures of the address so far (for 远程登录失败：ADDRESS（N 次）).
    int Failed(const std::string& account, const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& account, const std::string& address);

private:
    struct Record {
        int failures = 0;
        Clock::time_point until{};  // no try before
    };
    static constexpr std::size_t kPruneAt = 4096;
    static void Count(Record& record, Clock::time_point now);
    static void Prune(std::map<std::string, Record>& records, Clock::time_point now);
    std::chrono::seconds Wait(const std::map<std::string, Record>& records, const std::string& key,
                              Clock::time_point now) const;

    mutable std::mutex m_mutex;
    std::map<std::string, Record> m_accounts;
    std::map<std::string, Record> m_addresses;
};
