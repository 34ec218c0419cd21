// What the player tells about the picture on screen: its time of day (the
// recording's first picture plus its number / 25, PictureClock), and the
// name a snapshot of it gets.
#pragma once

#include "PictureClock.h"
#include "TextFormat.h"

#include <QImage>
#include <QString>

#include <optional>
#include <string>
#include <vector>

struct RecordingIdentity {
    int camera = 0;                     // 1 to 4; 0 when the name does not say
    std::optional<PreciseTime> start;   // the first picture's time
};

// From a recording's path, "…/dv(N)-YYYY-MM-DD HHMMSS.mpg", and the first
// picture's time in the file.
RecordingIdentity IdentifyRecording(const std::string& path);

// The moment of "HH:MM:SS" (or "HH:MM") on the local day of `dayOf`;
// nothing for a text that is not such a time. A time the clock showed twice
// that day (summer time ended) is its later one.
std::optional<PreciseTime> ParseTimeOfDay(const QString& text, PreciseTime dayOf);
// Every moment the clock showed that time that day: the later one first.
std::vector<PreciseTime> TimesOfDay(const QString& text, PreciseTime dayOf);

// "2026-12-08 19:34:25.28" (hundredths of a second: pictures are 40 ms
// apart), or the time since the file's start, "00:12:05.04", when the name
// gives no start. Empty for an unknown picture number.
QString PictureTimeText(const RecordingIdentity& recording, long long number);

// "摄像头1 2026-12-08 193425.28.png", without characters that some file
// systems refuse.
QString SnapshotFileName(const RecordingIdentity& recording, long long number);

// Writes `picture` as PNG through a temporary file, so a failed write
// leaves no half picture; `description` goes into the PNG's text.
bool SaveSnapshotPng(const QImage& picture, const QString& path, const QString& description, QString* error);
