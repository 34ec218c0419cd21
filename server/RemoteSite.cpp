#include "RemoteSite.h"

#include "Accounts.h"

#include <cctype>

namespace {

constexpr const char* kPageHead =
    "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
    "<title>Lumaro 远程查看</title><style>"
    "body{font-family:sans-serif;margin:0;background:#c7d5e0;color:#123}"
    "header{background:#4a90d9;color:#fff;padding:12px 16px;font-size:18px}"
    "main{padding:16px;max-width:420px;margin:auto}"
    "input,button{font-size:17px;width:100%;box-sizing:border-box;padding:10px;margin:6px 0}"
    "button{background:#4a90d9;color:#fff;border:0;border-radius:4px}"
    ".said{color:#b00;margin:8px 0}"
    "</style></head><body><header>Lumaro 远程查看</header><main>";
constexpr const char* kPageFoot = "</main></body></html>";

std::string Escape(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

SiteReply Page(int status, const std::string& content)
{
    SiteReply reply;
    reply.status = status;
    reply.body = kPageHead + content + kPageFoot;
    reply.headers = {{"Cache-Control", "no-store"}, {"X-Frame-Options", "DENY"}, {"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy", "default-src 'self'; style-src 'unsafe-inline'"},
                     {"Strict-Transport-Security", "max-age=31536000"}};
    return reply;
}

SiteReply LoginPage(int status, const std::string& said)
{
    return Page(status, (said.empty() ? "" : "<p class=\"said\">" + Escape(said) + "</p>") +
                            "<form method=\"post\" action=\"/login\">"
                            "<label>用户名<input name=\"name\" autocomplete=\"username\" required></label>"
                            "<label>密码<input name=\"password\" type=\"password\" autocomplete=\"current-password\" required></label>"
                            "<button type=\"submit\">登录</button></form>");
}

SiteReply Redirect(const std::string& to)
{
    SiteReply reply = Page(303, "");
    reply.headers.push_back({"Location", to});
    return reply;
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
        return request.path == "/" ? Redirect("/login") : Page(404, "<p>没有这个页面。</p>");
    if (request.path == "/logout" && request.method == "POST")
        return LogOut(request);
    if (request.path == "/" && request.method == "GET")
        return Page(200, "<p>已登录：" + Escape(session->account) +
                             "</p><form method=\"post\" action=\"/logout\"><button type=\"submit\">退出</button></form>");
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
    const std::optional<AccountRow> account = CheckLogin(name, password);
    if (!account) {
        const int failures = m_throttle.Failed(name, request.address, now);
        m_notice("远程登录失败：" + request.address + "（" + std::to_string(failures) + " 次）");
        return LoginPage(401, "用户名或密码不对。");
    }
    m_throttle.Succeeded(name, request.address);
    const std::string token = m_sessions.Begin({account->name, account->role}, now);
    m_notice("远程登录：" + account->name + "（" + request.address + "）");
    SiteReply reply = Redirect("/");
    reply.headers.push_back({"Set-Cookie", std::string(kCookie) + "=" + token +
                                               "; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=43200"});
    return reply;
}

SiteReply RemoteSite::LogOut(const SiteRequest& request)
{
    m_sessions.End(CookieValue(request.cookies, kCookie));
    SiteReply reply = Redirect("/login");
    reply.headers.push_back({"Set-Cookie", std::string(kCookie) + "=; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=0"});
    return reply;
}
