#include "DayTimelineData.h"

#include "Database.h"
#include "JetDialect.h"
#include "MotionStore.h"
#include "RecordingSeeker.h"
#include "TextFormat.h"

#include <QDate>

#include <cctype>
#include <cstdlib>

namespace {

// The span of a recording the day showed before, if it cannot have changed.
const RecordedSpan* KnownSpan(const CameraDay* known, const std::string& path)
{
    if (known == nullptr || known->recorded.empty())
        return nullptr;
    for (std::size_t i = 0; i + 1 < known->recorded.size(); ++i)
        if (known->recorded[i].path == path)
            return &known->recorded[i];
    return nullptr;
}

std::vector<RecordedSpan> ReadRecordedSpans(int camera, const std::string& day, const CameraDay* known)
{
    std::vector<RecordedSpan> spans;
    RecordsetPtr rs = ExecuteCommand(StrFormat(
        "select rowid as row_id, * from video_save_history where capdrive=%d and left(start_time,10)='%s' "
        "order by start_time", camera,
        SqlText(day).c_str()));
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        const std::string path = FieldText(*rs, "video_save_path");
        if (const RecordedSpan* span = KnownSpan(known, path)) {
            spans.push_back(*span);
            continue;
        }
        std::optional<PreciseTime> first = RecordingFirstPicture(path);
        if (!first)
            first = ParsePreciseText(FieldText(*rs, "start_time"));
        const std::optional<long long> last = RecordingSeeker(path).LastPictureNumber();
        if (first)
            spans.push_back({path, *first, PictureTime(*first, last ? *last + 1 : 0),
                             std::atoll(FieldText(*rs, "row_id").c_str())});
    }
    return spans;
}

std::vector<TimelineEvent> ReadEvents(int camera, const std::string& day)
{
    std::vector<TimelineEvent> events;
    for (const StoredMotionEvent& stored : ReadMotionEvents(camera, day)) {
        const std::optional<PreciseTime> from = ParsePreciseText(stored.start);
        const std::optional<PreciseTime> to = ParsePreciseText(stored.end);
        if (from && to)
            events.push_back({*from, *to, stored.peak, stored.kind});
    }
    return events;
}

}  // namespace

std::optional<PreciseTime> ParsePreciseText(const std::string& text)
{
    const std::optional<TimeValue> second = ParseLocalTime(text.substr(0, 19));
    if (!second)
        return std::nullopt;
    if (text.size() == 19)
        return *second * kMicrosPerSecond;
    if (text.size() != 22 || text[19] != '.' || !std::isdigit(static_cast<unsigned char>(text[20])) ||
        !std::isdigit(static_cast<unsigned char>(text[21])))
        return std::nullopt;
    return *second * kMicrosPerSecond + std::atoi(text.c_str() + 20) * (kMicrosPerSecond / 100);
}

std::optional<DayTimelineData> LoadDayTimeline(const std::string& day, const DayTimelineData* known)
{
    const std::optional<TimeValue> start = ParseLocalTime(day + " 00:00:00");
    if (!start)
        return std::nullopt;
    const std::string nextDay =
        QDate::fromString(QString::fromStdString(day), QStringLiteral("yyyy-MM-dd")).addDays(1).toString(Qt::ISODate).toStdString();
    const std::optional<TimeValue> end = ParseLocalTime(nextDay + " 00:00:00");
    if (!end)
        return std::nullopt;
    DayTimelineData data;
    data.dayStart = *start * kMicrosPerSecond;
    data.dayEnd = *end * kMicrosPerSecond;
    for (int camera = 1; camera <= 4; ++camera) {
        const bool sameDay = known != nullptr && known->dayStart == data.dayStart;
        data.cameras[camera - 1].recorded =
            ReadRecordedSpans(camera, day, sameDay ? &known->cameras[camera - 1] : nullptr);
        data.cameras[camera - 1].events = ReadEvents(camera, day);
    }
    return data;
}

const RecordedSpan* RecordingAt(const DayTimelineData& data, int camera, PreciseTime moment)
{
    if (camera < 1 || camera > 4)
        return nullptr;
    const RecordedSpan* found = nullptr;
    for (const RecordedSpan& span : data.cameras[camera - 1].recorded)
        if (moment >= span.from && moment < span.to && (found == nullptr || span.made > found->made))
            found = &span;
    return found;
}

std::optional<PreciseTime> NeighbourEvent(const std::vector<TimelineEvent>& events, PreciseTime moment, bool next)
{
    std::optional<PreciseTime> found;
    for (const TimelineEvent& event : events) {
        if (next && event.from > moment + kPictureInterval && (!found || event.from < *found))
            found = event.from;
        if (!next && event.from < moment - kMicrosPerSecond && (!found || event.from > *found))
            found = event.from;
    }
    return found;
}
