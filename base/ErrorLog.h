// Lines on standard error: each starts with the local date and time, so a
// shop's log of a night shows when a camera went and came back.
//   2026-12-08 20:16:15 lumaro: cannot open capture device /dev/video0 …
#pragma once

#include <string>

// "2026-12-08 20:16:15 " for now.
std::string ErrorTimeStamp();

// One line, "<time stamp>lumaro: <text>\n", written with one call so that
// threads do not mix their lines.
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One line as it stands behind the time stamp, e.g. a library's message.
void LogStampedLine(const std::string& line);
