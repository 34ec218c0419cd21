#include "RecordingName.h"

std::string RecordingPath(const std::string& root, int deviceIndex, TimeValue startTime, const char* extension)
{
    const std::string name = FormatLocalTime("%Y-%m-%d %H%M%S", startTime);
    if (name.empty())
        return {};
    return StrFormat("%s/dv(%d)-%s%s", root.c_str(), deviceIndex + 1, name.c_str(), extension);
}
