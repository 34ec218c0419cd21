// The remote view's replies in their common form: every one is not to be
// kept by a cache, framed by another site or guessed at for its type, and
// may load nothing from anywhere but Lumaro itself.
#pragma once

#include "RemoteSite.h"

#include <string>

// Text for HTML, and for a JSON string.
std::string Escape(const std::string& text);
std::string JsonEscape(const std::string& text);
// A page in the site's frame; `style` adds to its style sheet.
SiteReply Page(int status, const std::string& content, const std::string& style = "");
SiteReply Redirect(const std::string& to);
// Anything else: a script, JSON, a picture, or nothing at all.
SiteReply Plain(int status, const std::string& type, std::string body);
