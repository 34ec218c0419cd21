#include "RemoteSite.h"

#include "AccountStore.h"
#include "Accounts.h"
#include "LivePage.h"
#include "SiteReplies.h"

#include <cctype>

namespace {

SiteReply LoginPage(int status, const std::string& said)
{
    return Page(status, (said.empty() ? "" : "<p class=\"said\">" + Escape(said) + "</p>") +
                            "<form method=\"post\" action=\"/login\">"
                            "<label>用户名<input name=\"name\" autocomplete=\"username\" required></label>"
                            "<label>密码<input name=\"password\" type=\"password\" autocomplete=\"current-password\" required></label>"
                            "<button type=\"submit\">登录</button></form>");
}

int Hex(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::isxdigit(static_cast<unsigned char>(c)) ? (std::tolower(c) - 'a' + 10) : -1;
}

std::string Decode(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+')
            out += ' ';
        else if (text[i] == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
            out += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
            i += 2;
        } else
            out += text[i];
    }
    return out;
}

// Without a session the front page sends to the login page; what the page
// asks for (script, cameras, pictures) is refused; anything else is 404.
SiteReply Refused(const std::string& path)
{
    if (path == "/")
        return Redirect("/login");
    if (path == "/live.js" || path == "/cameras" || IsPicturePath(path))
        return Plain(401, "text/plain; charset=utf-8", "请先登录。");
    return Page(404, "<p>没有这个页面。</p>");
}

}  // namespace

std::string FormValue(const std::string& body, const std::string& name)
{
    for (std::size_t at = 0; at <= body.size();) {
        const std::size_t end = std::min(body.find('&', at), body.size());
        const std::string pair = body.substr(at, end - at);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos && Decode(pair.substr(0, equals)) == name)
            return Decode(pair.substr(equals + 1));
        at = end + 1;
    }
    return {};
}

std::string CookieValue(const std::string& cookies, const std::string& name)
{
    for (std::size_t at = 0; at < cookies.size();) {
        const std::size_t end = std::min(cookies.find(';', at), cookies.size());
        std::string pair = cookies.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.rfind(name + "=", 0) == 0)
            return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return {};
}

SiteReply RemoteSite::Answer(const SiteRequest& request, Sessions::Clock::time_point now)
{
    if (request.path == "/login" && request.method == "GET")
        return LoginPage(200, "");
    if (request.path == "/login" && request.method == "POST")
        return LogIn(request, now);
    const std::string token = CookieValue(request.cookies, kCookie);
    const std::optional<Session> session = token.empty() ? std::nullopt : m_sessions.Use(token, now);
    if (!session)
        return Refused(request.path);
    if (request.path == "/logout" && request.method == "POST")
        return LogOut(request);
    if (request.method != "GET")
        return Page(404, "<p>没有这个页面。</p>");
    if (request.path == "/")
        return LivePage(session->account, m_live, now);
    if (request.path == "/live.js")
        return LiveScript();
    if (request.path == "/cameras")
        return CamerasReply(m_live, now);
    if (IsPicturePath(request.path))
        return PictureReply(m_live, request.path, request.query, now);
    return Page(404, "<p>没有这个页面。</p>");
}

// The same answer, after the same work, for an unknown name as for a wrong
// password; a wait still running is said, and nothing is checked.
SiteReply RemoteSite::LogIn(const SiteRequest& request, Sessions::Clock::time_point now)
{
    const std::string name = FormValue(request.body, "name");
    const std::string password = FormValue(request.body, "password");
    const std::chrono::seconds wait = m_throttle.WaitBefore(name, request.address, now);
    if (wait.count() > 0)
        return LoginPage(429, "登录失败的次数太多，请在 " + std::to_string(wait.count()) + " 秒后再试。");
    bool unreadable = false;
    const std::optional<AccountRow> account = CheckLogin(name, password, &unreadable);
    if (unreadable)  // a busy database is no wrong password: nothing is counted
        return LoginPage(503, "现在无法核对账户（数据库忙），请稍后再试。");
    if (!account) {
        const int failures = m_throttle.Failed(name, request.address, now);
        m_notice("远程登录失败：" + request.address + "（" + std::to_string(failures) + " 次）");
        return LoginPage(401, "用户名或密码不对。");
    }
    m_throttle.Succeeded(name, request.address);
    const std::string token = m_sessions.Begin({account->name, account->role, AccountHash(account->name).value_or("")}, now);
    m_notice("远程登录：" + account->name + "（" + request.address + "）");
    SiteReply reply = Redirect("/");
    reply.headers.push_back({"Set-Cookie", std::string(kCookie) + "=" + token +
                                               "; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=43200"});
    return reply;
}

// The database is read away from the session lock, so a busy one holds up
// nothing but this; while it cannot be read, the viewers stay.
void RemoteSite::CheckSessions()
{
    for (const Session& session : m_sessions.Logins()) {
        bool failed = false;
        const std::optional<std::string> hash = AccountHash(session.account, &failed);
        if (!failed && hash != session.hash)
            m_sessions.EndLogin(session);
    }
}

SiteReply RemoteSite::LogOut(const SiteRequest& request)
{
    m_sessions.End(CookieValue(request.cookies, kCookie));
    SiteReply reply = Redirect("/login");
    reply.headers.push_back({"Set-Cookie", std::string(kCookie) + "=; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=0"});
    return reply;
}
