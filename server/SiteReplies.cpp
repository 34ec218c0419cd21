#include "SiteReplies.h"

#include <cstdio>

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
    ".said{color:#b00;margin:8px 0}";
constexpr const char* kPageBody = "</style></head><body><header>Lumaro 远程查看</header><main>";
constexpr const char* kPageFoot = "</main></body></html>";

}  // namespace

std::string Escape(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

std::string JsonEscape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20 || c == '<') {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned char>(c));
            out += code;
        } else
            out += c;
    }
    return out;
}

SiteReply Plain(int status, const std::string& type, std::string body)
{
    SiteReply reply;
    reply.status = status;
    reply.type = type;
    reply.body = std::move(body);
    reply.headers = {{"Cache-Control", "no-store"}, {"X-Frame-Options", "DENY"}, {"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy", "default-src 'self'; style-src 'unsafe-inline'; img-src 'self' blob:"},
                     {"Strict-Transport-Security", "max-age=31536000"}};
    return reply;
}

SiteReply Page(int status, const std::string& content, const std::string& style)
{
    return Plain(status, "text/html; charset=utf-8", kPageHead + style + kPageBody + content + kPageFoot);
}

SiteReply Redirect(const std::string& to)
{
    SiteReply reply = Page(303, "");
    reply.headers.push_back({"Location", to});
    return reply;
}
