// Deletion of the recordings older than the retention period: their files
// first, then their history rows.
#pragma once

#include "TextFormat.h"

#include <string>

// The retention text read as a whole number of days, as atoi would (leading
// blanks, a sign, the digits up to the first other character); anything
// below 1 gives 1.
int ParseRetentionDays(const std::string& text);

// The day text on or before which recordings are due: now less the days, in
// local time, "%Y-%m-%d"; empty text when that instant is before 1970.
std::string RetentionThresholdDate(const std::string& retentionDays, TimeValue now);

// One sweep at time `now`.
void RunRetentionSweep(const std::string& retentionDays, TimeValue now);
