#include "MotionStore.h"

#include "Database.h"
#include "HistoryWriter.h"
#include "JetDialect.h"
#include "TextFormat.h"

#include <cstdlib>

void SubmitMotionChange(const MotionChange& change)
{
    HistoryWriter::Instance().SubmitWrite([change] { return WriteMotionChange(change); });
}

bool WriteMotionChange(const MotionChange& change)
{
    const MotionSpan& span = change.span;
    const char* kind = MotionEventKindKey(span.kind);
    if (change.type == MotionChange::kBegun)
        return ExecuteCommand(StrFormat("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak, kind) "
                                        "VALUES (%d, '%s', '%s', '%s', %.4f, '%s')",
                                        span.camera, SqlText(span.path).c_str(), PreciseText(span.start).c_str(),
                                        PreciseText(span.end).c_str(), span.peak, kind)) != nullptr;
    return ExecuteCommand(StrFormat("UPDATE motion_event SET end_time='%s', peak=%.4f WHERE capdrive=%d AND "
                                    "video_save_path='%s' AND start_time='%s' AND kind='%s'",
                                    PreciseText(span.end).c_str(), span.peak, span.camera, SqlText(span.path).c_str(),
                                    PreciseText(span.start).c_str(), kind)) != nullptr;
}

// "D " up to "D!" holds every time of the day D, and the index serves it.
// A database too old to have the kind (opened read-only) has motion only.
std::vector<StoredMotionEvent> ReadMotionEvents(int camera, const std::string& day)
{
    std::vector<StoredMotionEvent> events;
    RecordsetPtr rs = ExecuteCommand(StrFormat(
        "select * from motion_event where capdrive=%d and start_time>='%s ' and start_time<'%s!' order by start_time",
        camera, SqlText(day).c_str(), SqlText(day).c_str()));
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        events.push_back({FieldText(*rs, "video_save_path"), FieldText(*rs, "start_time"), FieldText(*rs, "end_time"),
                          std::strtod(FieldText(*rs, "peak").c_str(), nullptr),
                          ParseMotionEventKind(FieldText(*rs, "kind")).value_or(MotionEventKind::kMotion)});
    return events;
}

std::string MotionEventLine(const StoredMotionEvent& event)
{
    return event.start + "\t" + event.end + "\t" + StrFormat("%.2f", event.peak) + "\t" + MotionEventKindKey(event.kind);
}
