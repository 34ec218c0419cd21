// What the day timeline shows for one day: for each camera the spans its
// recordings cover (each file from its first picture to its last, by the
// one time rule) and its motion events, read from the history database and
// the recordings themselves.
#pragma once

#include "MotionTracker.h"
#include "PictureClock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RecordedSpan {
    std::string path;
    PreciseTime from = 0;
    PreciseTime to = 0;     // after the last picture
    std::int64_t made = 0;  // its row's number: a recording made later has a larger one
};

struct TimelineEvent {
    PreciseTime from = 0;
    PreciseTime to = 0;
    double peak = 0;
    MotionEventKind kind = MotionEventKind::kMotion;
};

struct CameraDay {
    std::vector<RecordedSpan> recorded;  // earliest first
    std::vector<TimelineEvent> events;   // earliest first
};

struct DayTimelineData {
    PreciseTime dayStart = 0;  // local midnight
    PreciseTime dayEnd = 0;    // the next local midnight (23 or 25 hours on a clock change)
    std::array<CameraDay, 4> cameras;
};

// "YYYY-MM-DD HH:MM:SS.cc" (or without the hundredths), local time.
std::optional<PreciseTime> ParsePreciseText(const std::string& text);
// The day YYYY-MM-DD; nothing for a day that is not one. With `known`, the
// same day loaded before, a recording already there keeps its span unless
// it was its camera's last (only that one may still be growing).
std::optional<DayTimelineData> LoadDayTimeline(const std::string& day, const DayTimelineData* known = nullptr);
// The recording of camera 1 to 4 that covers `moment`, if any; where two do
// (a clock set back), the one made later, as the export takes it.
const RecordedSpan* RecordingAt(const DayTimelineData& data, int camera, PreciseTime moment);

// The start of the event before `moment` (begun more than a second earlier,
// so a press at an event's start goes on to the one before it), or after it.
std::optional<PreciseTime> NeighbourEvent(const std::vector<TimelineEvent>& events, PreciseTime moment, bool next);
