#include "MotionStore.h"

#include "Database.h"
#include "HistoryWriter.h"
#include "JetDialect.h"
#include "TextFormat.h"

#include <cstdlib>

void SubmitMotionSpan(const MotionSpan& span)
{
    HistoryWriter::Instance().SubmitWrite([span] { return WriteMotionSpan(span); });
}

bool WriteMotionSpan(const MotionSpan& span)
{
    return ExecuteCommand(StrFormat("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak) "
                                    "VALUES (%d, '%s', '%s', '%s', %.4f)",
                                    span.camera, SqlText(span.path).c_str(), PreciseText(span.start).c_str(),
                                    PreciseText(span.end).c_str(), span.peak)) != nullptr;
}

// "D " up to "D!" holds every time of the day D, and the index serves it.
std::vector<StoredMotionEvent> ReadMotionEvents(int camera, const std::string& day)
{
    std::vector<StoredMotionEvent> events;
    RecordsetPtr rs = ExecuteCommand(StrFormat(
        "select video_save_path, start_time, end_time, peak from motion_event where capdrive=%d and "
        "start_time>='%s ' and start_time<'%s!' order by start_time",
        camera, SqlText(day).c_str(), SqlText(day).c_str()));
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        events.push_back({FieldText(*rs, "video_save_path"), FieldText(*rs, "start_time"), FieldText(*rs, "end_time"),
                          std::strtod(FieldText(*rs, "peak").c_str(), nullptr)});
    return events;
}

std::string MotionEventLine(const StoredMotionEvent& event)
{
    return event.start + "\t" + event.end + "\t" + StrFormat("%.2f", event.peak);
}
