// What the remote view answers, apart from the network: a request (method,
// path, the session cookie, the form, the address it came from) becomes a
// reply. Nothing here reads a file: every path is one of the site's own,
// anything else is 404, so no path of a request can reach the disk. Every
// page but the login page answers only to a logged-in session.
#pragma once

#include "LiveSource.h"
#include "LoginThrottle.h"
#include "Sessions.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct SiteRequest {
    std::string method;   // "GET", "POST", …
    std::string path;     // as sent, before decoding
    std::string cookies;  // the Cookie header
    std::string query;    // after the '?', as sent
    std::string body;     // a form, x-www-form-urlencoded
    std::string address;  // of the browser
};

struct SiteReply {
    int status = 200;
    std::string type = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

class RemoteSite {
public:
    // Told each login and each failed one, in the status box's words.
    using Notice = std::function<void(const std::string& text)>;
    static constexpr const char* kCookie = "lumaro_session";

    // `live`: the cameras shown; none shows an empty page.
    RemoteSite(LoginThrottle& throttle, Sessions& sessions, Notice notice, LiveSource* live = nullptr)
        : m_throttle(throttle), m_sessions(sessions), m_notice(std::move(notice)), m_live(live)
    {
    }
    // Whether a request is a login, which takes a password check's time
    // and is answered away from the pictures.
    static bool IsLogin(const SiteRequest& request) { return request.path == "/login" && request.method == "POST"; }

    SiteReply Answer(const SiteRequest& request, Sessions::Clock::time_point now);
    // Ends the sessions of accounts removed or given a new password since
    // their login (here or from the command line). Reads the database: not
    // on the thread that answers the pictures.
    void CheckSessions();

private:
    SiteReply LogIn(const SiteRequest& request, Sessions::Clock::time_point now);
    SiteReply LogOut(const SiteRequest& request);

    LoginThrottle& m_throttle;
    Sessions& m_sessions;
    Notice m_notice;
    LiveSource* m_live;
};

// A form field's value, decoded ('+' and %XX); empty when absent.
std::string FormValue(const std::string& body, const std::string& name);
// The value of one cookie in a Cookie header.
std::string CookieValue(const std::string& cookies, const std::string& name);
