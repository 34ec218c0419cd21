#include "TextFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
constexpr std::size_t kTimeBufferSize = 128;  // at most 127 characters
}

std::string FormatLocalTime(const char* format, TimeValue t)
{
    if (format == nullptr || t < 0)
        return {};
    const std::time_t tt = static_cast<std::time_t>(t);
    if (static_cast<TimeValue>(tt) != t)
        return {};
    std::tm local{};
    if (localtime_r(&tt, &local) == nullptr)
        return {};
    char buffer[kTimeBufferSize];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

TimeValue CurrentTime()
{
    return static_cast<TimeValue>(std::time(nullptr));
}

std::string VStrFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        out.assign(buffer.data(), static_cast<std::size_t>(needed));
    }
    return out;
}

std::string StrFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = VStrFormat(format, args);
    va_end(args);
    return out;
}

std::optional<TimeValue> ParseLocalTime(const std::string& text, bool* twice)
{
    std::tm parsed{};
    char tail = 0;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &parsed.tm_year, &parsed.tm_mon,
                                         &parsed.tm_mday, &parsed.tm_hour, &parsed.tm_min, &parsed.tm_sec, &tail) != 6)
        return std::nullopt;
    parsed.tm_year -= 1900;
    parsed.tm_mon -= 1;
    // Read once as standard time and once as summer time: a text both give
    // back is shown twice by the clock; one neither gives back (2009-02-30,
    // 25:00:00, a time skipped by summer time) is none.
    std::optional<TimeValue> earlier, later;
    for (int dst : {0, 1, -1}) {
        std::tm local = parsed;
        local.tm_isdst = dst;
        const TimeValue time = std::mktime(&local);
        if (time == -1 || FormatLocalTime("%Y-%m-%d %H:%M:%S", time) != text)
            continue;
        earlier = earlier ? std::min(*earlier, time) : time;
        later = later ? std::max(*later, time) : time;
    }
    if (twice != nullptr)
        *twice = later && *later != *earlier;
    return later;
}
