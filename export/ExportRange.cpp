#include "ExportRange.h"

#include "Database.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

std::optional<TimeValue> ParseLocalTime(const std::string& text)
{
    std::tm local{};
    char tail = 0;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &local.tm_year, &local.tm_mon,
                                         &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec, &tail) != 6)
        return std::nullopt;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const TimeValue time = std::mktime(&local);
    if (time == -1 || FormatLocalTime("%Y-%m-%d %H:%M:%S", time) != text)
        return std::nullopt;  // 2009-02-30, 25:00:00, a time skipped by summer time
    return time;
}

std::optional<std::vector<int>> ParseCameraList(const std::string& text)
{
    std::vector<int> cameras;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        if (item.size() != 1 || item[0] < '1' || item[0] > '4')
            return std::nullopt;
        const int camera = item[0] - '0';
        if (std::find(cameras.begin(), cameras.end(), camera) != cameras.end())
            return std::nullopt;
        cameras.push_back(camera);
        at = comma + 1;
    }
    return cameras;
}

std::vector<ExportSource> SourcesForRange(int camera, TimeValue from, TimeValue to)
{
    const std::string fromText = FormatLocalTime("%Y-%m-%d %H:%M:%S", from);
    const std::string toText = FormatLocalTime("%Y-%m-%d %H:%M:%S", to);
    std::vector<ExportSource> sources;
    const auto add = [&sources](RecordsetPtr rs) {
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            const std::string path = FieldText(*rs, "video_save_path");
            std::optional<PreciseTime> first = RecordingFirstPicture(path);
            if (const std::optional<TimeValue> start = ParseLocalTime(FieldText(*rs, "start_time")); !first && start)
                first = *start * kMicrosPerSecond;
            if (first)
                sources.push_back({path, *first});
        }
    };
    add(ExecuteCommand(StrFormat("select * from video_save_history where capdrive=%d and start_time<='%s' "
                                 "order by start_time desc limit 1", camera, fromText.c_str())));
    add(ExecuteCommand(StrFormat("select * from video_save_history where capdrive=%d and start_time>'%s' and "
                                 "start_time<='%s' order by start_time asc", camera, fromText.c_str(), toText.c_str())));
    return sources;
}

// The picture nearest `from` is the first, the one nearest `to` the last.
bool PictureInRange(PreciseTime start, long long number, TimeValue from, TimeValue to)
{
    const PreciseTime at = PictureTime(start, number);
    return at >= from * kMicrosPerSecond - kPictureInterval / 2 && !PictureAfterRange(start, number, to);
}

bool PictureAfterRange(PreciseTime start, long long number, TimeValue to)
{
    return PictureTime(start, number) >= to * kMicrosPerSecond + kPictureInterval / 2;
}
