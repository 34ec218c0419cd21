// Where recording files go and the statement that finds a file's history row.
#pragma once

#include "TextFormat.h"

#include <string>

// "<root>/dv(<deviceIndex + 1>)-<local %Y-%m-%d %H%M%S><extension>" (".mpg"
// or ".ts"); the root is used exactly as stored. Empty when the time cannot
// be formatted.
std::string RecordingPath(const std::string& root, int deviceIndex, TimeValue startTime,
                          const char* extension = ".mpg");
