// Deletion of the recordings older than the retention period: their files
// first, then their history rows.
#pragma once

#include "TextFormat.h"

#include <string>

// The retention text read as a whole number of days, as atoi would (leading
// blanks, a sign, the digits up to the first other character; " 30" and
// "30abc" are 30). 0 when that is not a period of at least one day (empty,
// zero, negative, no digits): such a period deletes nothing, since a slip in
// the setting must never wipe the recordings.
int ParseRetentionDays(const std::string& text);

// The day text on or before which recordings are due: now less the days, in
// local time, "%Y-%m-%d"; empty text when that instant is before 1970 or the
// period is not at least one day.
std::string RetentionThresholdDate(const std::string& retentionDays, TimeValue now);

// One sweep at time `now`. A period that is not at least one day deletes
// nothing and is named once on standard output (once per distinct text).
void RunRetentionSweep(const std::string& retentionDays, TimeValue now);
