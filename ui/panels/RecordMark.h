// The mark in a panel's bottom-left corner that says whether its camera is
// being recorded: a red dot and 录像 while the file grows, 未录像 and why
// while it does not.
#pragma once

#include "RecordState.h"

#include <QString>

class QFont;
class QPainter;
class QRect;

struct RecordMarkInput {
    bool stopped = false;   // monitoring is off
    bool live = false;      // the camera delivers pictures
    RecordState state = RecordState::kIdle;
    bool databaseFailing = false;  // rows wait for the database
    bool operator==(const RecordMarkInput& other) const
    {
        return stopped == other.stopped && live == other.live && state == other.state &&
               databaseFailing == other.databaseFailing;
    }
};

struct RecordMark {
    bool recording = false;
    QString text;  // 录像, or 未录像 with the reason after a colon
    bool operator==(const RecordMark& other) const { return recording == other.recording && text == other.text; }
    bool operator!=(const RecordMark& other) const { return !(*this == other); }
};

RecordMark MakeRecordMark(const RecordMarkInput& input);
// The reason of a 未录像 mark; empty when there is none to tell.
QString RecordMarkReason(const RecordMark& mark);
void DrawRecordMark(QPainter& painter, const QRect& panel, const QFont& font, const RecordMark& mark);
