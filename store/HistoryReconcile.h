// The history brought in line with the recording folder at start-up, once
// the database is connected: a recording file without a row gets one (its
// camera and start time read from its name), and a row of the folder whose
// file is gone is removed. Rows outside the folder are left alone, and so is
// everything while the folder is missing or lies on another disk than its
// own (an unplugged disk). One line on standard output per change. A folder
// of many recordings without rows takes a while: the check runs on a thread
// of its own (HistoryCheck), beside the cameras.
#pragma once

#include "TextFormat.h"

#include <atomic>
#include <string>

// The extensions of the two recording formats: MPEG-1 video, and H.264 in
// an MPEG-TS transport stream.
inline constexpr const char* kMpeg1Extension = ".mpg";
inline constexpr const char* kTransportExtension = ".ts";

// Reads a recording's file name, "dv(N)-YYYY-MM-DD HHMMSS.mpg" (or ".ts")
// with N from 1 to 4: the camera number and the local start time. False for
// any other name or an impossible date.
bool ParseRecordingName(const std::string& name, int* camera, TimeValue* startTime);
// Whether a path names a transport-stream recording (".ts").
bool IsTransportName(const std::string& path);
// The same for the last part of a path.
bool ParseRecordingPath(const std::string& path, int* camera, TimeValue* startTime);

// The number of rows added and removed.
struct ReconcileCounts {
    int added = 0;
    int removed = 0;
};
// Runs only while the folder is there on its own disk; `stop` ends it early.
ReconcileCounts ReconcileHistory(const std::string& root, const std::atomic<bool>* stop = nullptr);
