// Motion events in the history database (table motion_event): written by
// the history writer in the order they ended, read by day for the command
// line, the day timeline and the player.
#pragma once

#include "MotionTracker.h"

#include <string>
#include <vector>

// Hands the event to the history writer; never waits on the database.
void SubmitMotionSpan(const MotionSpan& span);
// Writes it now; false when the database did not take it.
bool WriteMotionSpan(const MotionSpan& span);

struct StoredMotionEvent {
    std::string path;
    std::string start;  // "YYYY-MM-DD HH:MM:SS.cc", local time
    std::string end;
    double peak = 0;
};

// The events of camera 1 to 4 that begin on `day` (YYYY-MM-DD), earliest first.
std::vector<StoredMotionEvent> ReadMotionEvents(int camera, const std::string& day);
// "start<TAB>end<TAB>peak", the peak to the hundredth.
std::string MotionEventLine(const StoredMotionEvent& event);
