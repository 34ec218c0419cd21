#include "TextFormat.h"

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
