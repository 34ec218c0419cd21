// The history brought in line with the recording folder at start-up, once
// the database is connected: a recording file without a row gets one (its
// camera and start time read from its name), and a row of the folder whose
// file is gone is removed. Rows outside the folder are left alone, and so is
// everything while the folder is missing (an unplugged disk). One line on
// standard output per change.
#pragma once

#include "TextFormat.h"

#include <string>

// Reads a recording's file name, "dv(N)-YYYY-MM-DD HHMMSS.mpg" with N from
// 1 to 4: the camera number and the local start time. False for any other
// name or an impossible date.
bool ParseRecordingName(const std::string& name, int* camera, TimeValue* startTime);
// The same for the last part of a path.
bool ParseRecordingPath(const std::string& path, int* camera, TimeValue* startTime);

// The number of rows added and removed.
struct ReconcileCounts {
    int added = 0;
    int removed = 0;
};
ReconcileCounts ReconcileHistory(const std::string& root);
