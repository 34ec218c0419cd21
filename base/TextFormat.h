// Local-time formatting and printf-style text composition without fixed buffers.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>

// Seconds since 1970-01-01 00:00:00 UTC.
using TimeValue = std::int64_t;

// Formats `t` in the local time zone with strftime semantics. Gives empty text
// when the format is absent, the time cannot be converted (before 1970 or out
// of range) or the result would exceed 127 characters.
std::string FormatLocalTime(const char* format, TimeValue t);

// "YYYY-MM-DD HH:MM:SS" in local time; nullopt for any other text or a
// time that does not exist. A time the clock shows twice (the night summer
// time ends) is its later one, the one after the change; `twice` says so.
std::optional<TimeValue> ParseLocalTime(const std::string& text, bool* twice = nullptr);

// The current time as a TimeValue.
TimeValue CurrentTime();

// printf into a std::string of whatever length the result needs.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VStrFormat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
