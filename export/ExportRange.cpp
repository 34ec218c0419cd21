#include "ExportRange.h"

#include "Database.h"
#include "RecordingSeeker.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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

namespace {

// A recording never covers more than its day (25 hours when summer time ends).
constexpr TimeValue kLongestRecording = 26 * 3600;

// The file's first picture and where its last one ends, from the file.
ExportSource ReadSpan(const std::string& path, std::optional<TimeValue> rowStart, std::int64_t made)
{
    ExportSource source{path, 0, 0, made, RecordingHasTrueColours(path)};
    std::optional<PreciseTime> first = RecordingFirstPicture(path);
    if (!first && rowStart)
        first = *rowStart * kMicrosPerSecond;
    source.start = source.end = first.value_or(0);
    if (const std::optional<long long> last = RecordingSeeker(path).LastPictureNumber(); last && first)
        source.end = PictureTime(*first, *last + 1);
    return source;
}

}  // namespace

bool SourcesForRange(int camera, TimeValue from, TimeValue to, std::vector<ExportSource>* sources, std::string* error)
{
    const TimeSpan range = RangeMoments(from, to);
    // The last recording begun by the range's start, if its file is whole, holds its first pictures.
    std::string lastBefore;
    if (RecordsetPtr last = ExecuteCommand(StrFormat(
            "select rowid as row_id from video_save_history where capdrive=%d and start_time<='%s' "
            "order by start_time desc limit 1", camera, FormatLocalTime("%Y-%m-%d %H:%M:%S", from).c_str()));
        last && !last->IsEOF())
        lastBefore = FieldText(*last, "row_id");
    RecordsetPtr rs = ExecuteCommand(StrFormat(
        "select rowid as row_id, * from video_save_history where capdrive=%d and start_time>='%s' and "
        "start_time<='%s' order by rowid", camera, FormatLocalTime("%Y-%m-%d %H:%M:%S", from - kLongestRecording).c_str(),
        FormatLocalTime("%Y-%m-%d %H:%M:%S", to).c_str()));
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        const std::string path = FieldText(*rs, "video_save_path");
        const std::optional<TimeValue> rowStart = ParseLocalTime(FieldText(*rs, "start_time"));
        const bool startsInRange = (rowStart && *rowStart >= from && *rowStart <= to) || FieldText(*rs, "row_id") == lastBefore;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && startsInRange) {
            *error = "recording file " + path + " cannot be read: " + std::strerror(errno);
            return false;
        }
        if (fd < 0)
            continue;
        ::close(fd);
        const ExportSource source = ReadSpan(path, rowStart, std::stoll(FieldText(*rs, "row_id")));
        if (source.end == source.start && startsInRange) {
            *error = "recording file " + path + " is damaged: no picture in it";
            return false;
        }
        if (source.end > range.from && source.start < range.to)
            sources->push_back(source);
    }
    return true;
}

SourcePlan PlanSources(std::vector<ExportSource> sources, PreciseTime from, PreciseTime to)
{
    SourcePlan plan;
    plan.sources = std::move(sources);
    std::vector<PreciseTime> bounds{from, to};
    for (const ExportSource& s : plan.sources)
        for (PreciseTime t : {s.start, s.end})
            if (t > from && t < to)
                bounds.push_back(t);
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    for (std::size_t b = 0; b + 1 < bounds.size(); ++b) {
        const PreciseTime a = bounds[b], z = bounds[b + 1];
        std::vector<std::size_t> covering;
        for (std::size_t i = 0; i < plan.sources.size(); ++i)
            if (plan.sources[i].start <= a && plan.sources[i].end >= z)
                covering.push_back(i);
        if (covering.empty())
            continue;
        const std::size_t best = *std::max_element(covering.begin(), covering.end(), [&plan](std::size_t x, std::size_t y) {
            return plan.sources[x].made < plan.sources[y].made;
        });
        if (!plan.pieces.empty() && plan.pieces.back().source == best && plan.pieces.back().to == a)
            plan.pieces.back().to = z;
        else
            plan.pieces.push_back({best, a, z});
        for (std::size_t other : covering) {
            if (other == best)
                continue;
            auto joined = std::find_if(plan.overlaps.begin(), plan.overlaps.end(), [&](const SourceOverlap& o) {
                return o.earlier == other && o.later == best && o.span.to == a;
            });
            if (joined != plan.overlaps.end())
                joined->span.to = z;
            else
                plan.overlaps.push_back({other, best, {a, z}});
        }
    }
    return plan;
}

TimeSpan RangeMoments(TimeValue from, TimeValue to)
{
    return {from * kMicrosPerSecond - kPictureInterval / 2, to * kMicrosPerSecond + kPictureInterval / 2};
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
