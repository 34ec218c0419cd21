// Deletion of the recordings older than the retention period: their files
// first (only the recording folder's own, OwnRecording), then their rows.
#pragma once

#include "TextFormat.h"

#include <chrono>
#include <cstdint>
#include <string>

// The retention text read as a whole number of days, as atoi would (leading
// blanks, a sign, the digits up to the first other character; " 30" and
// "30abc" are 30). 0 when that is not a period of at least one day (empty,
// zero, negative, no digits): such a period deletes nothing, since a slip in
// the setting must never wipe the recordings.
int ParseRetentionDays(const std::string& text);
// Whether a typed period is a whole number of days, at least one, written
// plainly (no sign, blank or leading zero): what the settings accept.
bool IsValidRetentionDays(const std::string& text);

// The day text on or before which recordings are due: the period keeps
// that many whole days before today (and today), so the last day due is
// today's local date less the days less one (calendar days), "%Y-%m-%d";
// with 1, yesterday stays all day today. Empty text when that day is
// before 1970 or the period is not at least one day.
std::string RetentionThresholdDate(const std::string& retentionDays, TimeValue now);

// A sweep at time `now`, run a batch at a time so that a table of a million
// rows never holds the interface for long: each step deletes the files of
// up to kBatchRows due rows (as many as kStepBudget allows), then their rows.
// A period that is not at least one day deletes nothing and is named once on
// standard output (once per distinct text).
class CRetentionSweep {
public:
    static constexpr int kBatchRows = 500;
    static constexpr std::chrono::milliseconds kStepBudget{150};

    // False when the period deletes nothing. Files are deleted only when
    // they are recordings of `root`.
    bool Start(const std::string& retentionDays, TimeValue now, const std::string& root);
    // One batch; false once no due row is left (or a statement failed).
    bool Step();
    bool IsRunning() const { return m_running; }

private:
    std::string m_date;
    std::string m_root;
    std::int64_t m_afterRowid = 0;
    bool m_running = false;
};

// A whole sweep at once.
void RunRetentionSweep(const std::string& retentionDays, TimeValue now, const std::string& root);
