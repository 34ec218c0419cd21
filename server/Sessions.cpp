#include "Sessions.h"

#include <sodium.h>

#include <array>

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size)
{
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

std::string Digest(const std::string& token)
{
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(token.data()), token.size());
    return Hex(digest.data(), digest.size());
}

}  // namespace

std::string Sessions::Begin(const Session& session, Clock::time_point now)
{
    if (sodium_init() < 0)
        return {};
    std::array<unsigned char, 32> random{};
    randombytes_buf(random.data(), random.size());
    const std::string token = Hex(random.data(), random.size());
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_byDigest[Digest(token)] = Entry{session, now};
    return token;
}

std::optional<Session> Sessions::Use(const std::string& token, Clock::time_point now)
{
    const std::string digest = Digest(token);
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_byDigest.find(digest);
    if (found == m_byDigest.end())
        return std::nullopt;
    if (now - found->second.lastUse >= kIdleLimit) {
        m_byDigest.erase(found);
        return std::nullopt;
    }
    found->second.lastUse = now;
    return found->second.session;
}

void Sessions::End(const std::string& token)
{
    const std::string digest = Digest(token);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_byDigest.erase(digest);
}

std::vector<Session> Sessions::Logins() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::map<std::pair<std::string, std::string>, Session> logins;
    for (const auto& [digest, entry] : m_byDigest)
        logins.emplace(std::make_pair(entry.session.account, entry.session.hash), entry.session);
    std::vector<Session> out;
    for (const auto& [key, session] : logins)
        out.push_back(session);
    return out;
}

void Sessions::EndLogin(const Session& login)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_byDigest.begin(); it != m_byDigest.end();) {
        const Session& session = it->second.session;
        it = session.account == login.account && session.hash == login.hash ? m_byDigest.erase(it) : std::next(it);
    }
}
