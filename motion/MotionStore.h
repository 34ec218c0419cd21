// Motion events in the history database (table motion_event): a row is
// written when an event begins and its end and peak are brought up to date
// while it lasts, through the history writer in the order they happened;
// read by day for the command line, the day timeline and the player.
#pragma once

#include "MotionTracker.h"

#include <string>
#include <vector>

// Hands the change to the history writer; never waits on the database.
void SubmitMotionChange(const MotionChange& change);
// Writes it now; false when the database did not take it.
bool WriteMotionChange(const MotionChange& change);

struct StoredMotionEvent {
    std::string path;
    std::string start;  // "YYYY-MM-DD HH:MM:SS.cc", local time
    std::string end;
    double peak = 0;
    MotionEventKind kind = MotionEventKind::kMotion;
};

// The events of camera 1 to 4 that begin on `day` (YYYY-MM-DD), earliest first.
std::vector<StoredMotionEvent> ReadMotionEvents(int camera, const std::string& day);
// "start<TAB>end<TAB>peak<TAB>kind", the peak to the hundredth.
std::string MotionEventLine(const StoredMotionEvent& event);
