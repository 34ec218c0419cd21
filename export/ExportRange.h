// What an export takes from the history: the recordings of one camera that
// cover a time range, and which of their pictures fall in it. A picture's
// time is its file's first picture time plus its number / 25 (PictureClock),
// and the range is cut at the nearest pictures. Where two recordings of the
// camera cover the same time (a clock set back, or a restart in the hour
// repeated when summer time ends), the one made later gives the pictures,
// and the overlap is told.
#pragma once

#include "ClipLedger.h"
#include "PictureClock.h"
#include "TextFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kExportPicturesPerSecond = kRecordingPicturesPerSecond;
// An H.264 recording does not code the slots that repeat a picture; longer
// than this between two pictures is no repeat: the camera was silent, and
// the recorder ended its file.
inline constexpr long long kLongestHold = 5 * kRecordingPicturesPerSecond;

// "2" or "1,3": the cameras, each 1 to 4, once, in the order given;
// nothing for any other text.
std::optional<std::vector<int>> ParseCameraList(const std::string& text);

struct ExportSource {
    std::string path;
    PreciseTime start = 0;  // the file's first picture, from the file (else its history row)
    PreciseTime end = 0;    // where the picture after its last would begin (start: none)
    std::int64_t made = 0;  // its row's number: a recording made later has a larger one
    bool trueColours = true;  // older recordings hold red and blue exchanged
};

// A stretch [from, to) of the range, given by one source.
struct ExportPiece {
    std::size_t source = 0;
    PreciseTime from = 0;
    PreciseTime to = 0;
};

// A time two sources both cover; `later` (made after `earlier`) gives it.
struct SourceOverlap {
    std::size_t earlier = 0;
    std::size_t later = 0;
    TimeSpan span;
};

struct SourcePlan {
    std::vector<ExportSource> sources;    // every recording with pictures in the range
    std::vector<ExportPiece> pieces;      // in time order, none overlapping another
    std::vector<SourceOverlap> overlaps;  // in time order
};

// The camera's recordings with pictures in [from, to] (a file's span read
// from the file itself); false with `error` when a recording in the range
// is gone or holds no picture.
bool SourcesForRange(int camera, TimeValue from, TimeValue to, std::vector<ExportSource>* sources, std::string* error);

// Which source gives each stretch of [from, to): of those that cover it, the
// one made last.
SourcePlan PlanSources(std::vector<ExportSource> sources, PreciseTime from, PreciseTime to);

// The range [from, to] as moments: from the picture nearest `from` to the
// one nearest `to` (half a picture either way).
TimeSpan RangeMoments(TimeValue from, TimeValue to);

// Whether picture `number` of a file whose first picture is `start` is in
// [from, to], cut at the nearest pictures (half a picture either way).
bool PictureInRange(PreciseTime start, long long number, TimeValue from, TimeValue to);
// Whether it lies after the range.
bool PictureAfterRange(PreciseTime start, long long number, TimeValue to);
