// What an export takes from the history: the recordings of one camera that
// cover a time range, and which of their pictures fall in it. A picture's
// time is its file's first picture time plus its number / 25 (PictureClock),
// and the range is cut at the nearest pictures.
#pragma once

#include "PictureClock.h"
#include "TextFormat.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr int kExportPicturesPerSecond = kRecordingPicturesPerSecond;

// "YYYY-MM-DD HH:MM:SS" in local time; nullopt for any other text or a
// time that does not exist.
std::optional<TimeValue> ParseLocalTime(const std::string& text);

// "2" or "1,3": the cameras, each 1 to 4, once, in the order given;
// nothing for any other text.
std::optional<std::vector<int>> ParseCameraList(const std::string& text);

struct ExportSource {
    std::string path;
    PreciseTime start = 0;  // the file's first picture, from the file (else its history row)
};

// The camera's recordings that may hold pictures of [from, to]: the last
// one started at or before `from` and every one started after it up to `to`.
std::vector<ExportSource> SourcesForRange(int camera, TimeValue from, TimeValue to);

// Whether picture `number` of a file whose first picture is `start` is in
// [from, to], cut at the nearest pictures (half a picture either way).
bool PictureInRange(PreciseTime start, long long number, TimeValue from, TimeValue to);
// Whether it lies after the range.
bool PictureAfterRange(PreciseTime start, long long number, TimeValue to);
