// The report beside a clip, NAME.txt: in Chinese, what an examiner asks of
// a piece of video evidence: the camera, the asked range, the first and
// last picture, the time zone, each source recording with its SHA-256 and
// the span it gave, every gap and damaged span, the picture count, the
// program and where the export was asked for.
#pragma once

#include "ClipLedger.h"
#include "FileDigest.h"
#include "TextFormat.h"

#include <cstdint>
#include <string>
#include <vector>

// Bytes of a source read for the clip: anyone can check them with
// `tail -c +(offset + 1) FILE | head -c bytes | sha256sum`.
struct SourceRead {
    std::int64_t offset = 0;  // of the first byte; 0 is the file's first
    std::int64_t bytes = 0;
    std::string sha256;
};

struct ReportSource {
    std::string path;
    std::vector<SourceRead> reads;
    SourceShare share;  // no pictures: another recording covered its time
};

struct ReportOverlap {
    std::string earlier;
    std::string later;  // gave the pictures
    TimeSpan span;
};

struct ExportFacts {
    int camera = 0;
    TimeValue from = 0;
    TimeValue to = 0;
    std::string clip;  // the clip's file name
    const ClipLedger* ledger = nullptr;
    std::vector<ReportSource> sources;  // every recording with pictures in the range
    std::vector<ReportOverlap> overlaps;
    std::string origin;                 // the command line or the window
    PreciseTime exportedAt = 0;
    bool fromTwice = false;  // the clock showed the range's start twice (summer time ended)
    bool toTwice = false;
};

std::string ReportText(const ExportFacts& facts);

// "2026-12-08 14:06:00.00 至 2026-12-08 14:07:00.00，长 60.00 秒"
std::string SpanText(const TimeSpan& span);
// The local zone at `moment`: "Asia/Shanghai（CST，UTC+08:00）".
std::string TimeZoneText(PreciseTime moment);
