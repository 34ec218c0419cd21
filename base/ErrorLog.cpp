#include "ErrorLog.h"

#include "TextFormat.h"

#include <cstdarg>
#include <cstdio>

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
    const std::string text = VStrFormat(format, args);
    va_end(args);
    LogStampedLine("lumaro: " + text);
}
