#include "RecordingName.h"

#include "JetDialect.h"

std::string RecordingPath(const std::string& root, int deviceIndex, TimeValue startTime)
{
    const std::string name = FormatLocalTime("%Y-%m-%d %H%M%S.mpg", startTime);
    if (name.empty())
        return {};
    return StrFormat("%s/dv(%d)-%s", root.c_str(), deviceIndex + 1, name.c_str());
}

std::string HistoryRowStatement(const std::string& path)
{
    return StrFormat("select * from video_save_history where video_save_path='%s'",
                     SqlText(path).c_str());
}
