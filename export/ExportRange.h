// What an export takes from the history: the recordings of one camera that
// cover a time range, and which of their pictures fall in it. A picture's
// time is its file's start time plus its index / 25 (recordings keep
// wall-clock time), and the range is cut at the nearest pictures.
#pragma once

#include "TextFormat.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr int kExportPicturesPerSecond = 25;

// "YYYY-MM-DD HH:MM:SS" in local time; nullopt for any other text or a
// time that does not exist.
std::optional<TimeValue> ParseLocalTime(const std::string& text);

struct ExportSource {
    std::string path;
    TimeValue start = 0;  // the file's start, from its history row
};

// The camera's recordings that may hold pictures of [from, to]: the last
// one started at or before `from` and every one started after it up to `to`.
std::vector<ExportSource> SourcesForRange(int camera, TimeValue from, TimeValue to);

// Whether picture `index` of a file started at `start` is in [from, to],
// cut at the nearest pictures (half a picture either way).
bool PictureInRange(TimeValue start, long long index, TimeValue from, TimeValue to);
