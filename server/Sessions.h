// Logged-in sessions of the remote view: each a random 256-bit token (hex,
// for the cookie), its account and role, ended by 退出 or after 12 hours
// without use. Only the token's SHA-256 is kept, so not even a memory dump
// holds a cookie that works.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct Session {
    std::string account;
    std::string role;
    std::string hash;  // the account's password hash at login: a new password ends the session
};

class Sessions {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kIdleLimit{12};

    // A new session's token; empty when no random bytes could be had.
    std::string Begin(const Session& session, Clock::time_point now);
    // The session of a token, its idle time restarted; nothing for an
    // unknown, ended or idle one.
    std::optional<Session> Use(const std::string& token, Clock::time_point now);
    void End(const std::string& token);
    // Each account and password hash that has a session, once.
    std::vector<Session> Logins() const;
    // Every session of that account begun with that hash (the account was
    // removed, or its password changed).
    void EndLogin(const Session& login);

private:
    struct Entry {
        Session session;
        Clock::time_point lastUse;
    };
    mutable std::mutex m_mutex;
    std::map<std::string, Entry> m_byDigest;
};
