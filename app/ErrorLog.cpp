#include "ErrorLog.h"

#include "TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string ErrorTimeStamp()
{
    const std::string now = FormatLocalTime("%Y-%m-%d %H:%M:%S", CurrentTime());
    return now.empty() ? std::string() : now + " ";
}

void LogStampedLine(const std::string& line)
{
    std::string text = ErrorTimeStamp() + line;
    if (text.empty() || text.back() != '\n')
        text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void LogError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> buffer(static_cast<std::size_t>(needed > 0 ? needed : 0) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    LogStampedLine(std::string("lumaro: ") + buffer.data());
}
