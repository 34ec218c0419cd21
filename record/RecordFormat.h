// The format new recordings take: MPEG-1 video (the compatible one, the
// default) or H.264 in an MPEG-TS transport stream (a quarter of the bytes
// or less). Chosen in the settings and stored as `record_format`; every
// camera's next file takes the choice, whichever thread asks.
#pragma once

#include <cstdint>
#include <string>

enum class RecordFormat { kMpeg1, kH264 };

// "h264" is H.264; empty or anything else is MPEG-1.
RecordFormat ParseRecordFormat(const std::string& stored);
const char* RecordFormatText(RecordFormat format);
// The file name's extension of a format: ".mpg" or ".ts".
const char* RecordFormatExtension(RecordFormat format);

RecordFormat ChosenRecordFormat();
void ChooseRecordFormat(RecordFormat format);

// What a camera of this size typically writes in a format, bytes a second
// (measured on made shop scenes: H.264 takes a quarter of MPEG-1's bytes
// or less).
double TypicalBytesPerSecond(RecordFormat format, int width, int height);
// The same rate as the other format would write it.
double RateInFormat(double bytesPerSecond, RecordFormat from, RecordFormat to);
// The space the recordings in `root` may use: what its disk has free, and
// what the recordings there take now (the sweeps make room from them).
std::uint64_t SpaceForRecordings(const std::string& root);
// Whole days `space` holds at `bytesPerSecond`; -1 when nothing is written.
int DaysOfRecordings(std::uint64_t space, double bytesPerSecond);
