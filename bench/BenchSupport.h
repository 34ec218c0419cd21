// What the benchmarks share: CPU time, peak memory, a scratch folder with a
// database, and the line format of their results.
#pragma once

#include <string>

double CpuSeconds();          // this process so far
double ChildCpuSeconds();     // children waited for so far
long PeakMemoryMiB();
double WallSeconds();         // monotonic

// A temporary folder with db/dbvardo.db, made the current directory and
// connected; the statements' echo goes to /dev/null. Removed at exit.
std::string MakeScratchDatabase(const char* program);

// One result line: "name | value | unit | note", for the summary table.
void Result(const std::string& name, double value, const char* unit, const std::string& note = "");

// Runs a shell command; false when it failed.
bool Shell(const std::string& command);

// A day-long recording at `path`: a minute of 640 × 480 at the recorder's
// parameters (ffmpeg's MPEG-1 encoder, no B pictures), laid end to end for
// `hours` with each copy's group time codes moved on, so the file reads as
// that many hours of pictures (24 hours: 4 GB). `dir` holds the minute.
bool LayDayLongRecording(const std::string& dir, const std::string& path, int hours);
