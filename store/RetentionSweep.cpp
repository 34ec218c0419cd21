#include "RetentionSweep.h"

#include "OwnRecording.h"

#include "Database.h"
#include "RecordingDisk.h"
#include "JetDialect.h"
#include "OpenRecordings.h"

#include <cctype>
#include <chrono>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <climits>
#include <cstdio>
#include <ctime>

int ParseRetentionDays(const std::string& text)
{
    // strtoll reads as atoi does, and saturates where atoi would overflow.
    const long long days = std::strtoll(text.c_str(), nullptr, 10);
    return days < 1 ? 0 : static_cast<int>(std::min<long long>(days, INT_MAX));
}

bool IsValidRetentionDays(const std::string& text)
{
    int days = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, days);
    return error == std::errc() && stop == end && days >= 1 && std::to_string(days) == text;
}

std::string RetentionThresholdDate(const std::string& retentionDays, TimeValue now)
{
    const int days = ParseRetentionDays(retentionDays);
    if (days < 1)
        return {};
    // Calendar days, not multiples of 86400 s: on the night summer time ends
    // a day has 25 hours, and "now less one day" would still be today.
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr || days >= 3000000)
        return {};
    local.tm_mday -= days + 1;
    local.tm_hour = 12;  // noon exists on every day, whatever the clock changes
    local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;
    const std::time_t threshold = std::mktime(&local);
    return threshold == static_cast<std::time_t>(-1) ? std::string() : FormatLocalTime("%Y-%m-%d", threshold);
}

namespace {

// Said once per distinct text, not at every sweep; the sweep runs on the
// interface thread only.
bool RefusePeriod(const std::string& retentionDays)
{
    static std::string s_lastRefused;
    static bool s_refused = false;
    if (ParseRetentionDays(retentionDays) >= 1) {
        s_refused = false;
        return false;
    }
    if (!s_refused || s_lastRefused != retentionDays)
        std::printf("lumaro: retention period \"%s\" is not a whole number of days of at least 1; "
                    "no recording is deleted\n", retentionDays.c_str());
    s_refused = true;
    s_lastRefused = retentionDays;
    std::fflush(stdout);
    return true;
}

}  // namespace

bool CRetentionSweep::Start(const std::string& retentionDays, TimeValue now, const std::string& root)
{
    m_root = root;
    m_running = false;
    if (RefusePeriod(retentionDays) || !FolderWithinReach(root, "retention"))
        return false;
    m_date = RetentionThresholdDate(retentionDays, now);
    m_afterRowid = 0;
    m_running = true;
    return true;
}

// A batch in rowid order: its files first (while the time allows), then the
// rows of those files in one statement; the next batch starts after them.
bool CRetentionSweep::Step()
{
    if (!m_running)
        return false;
    RecordsetPtr rs = ExecuteCommand(StrFormat(
        "select rowid as row_id, * FROM video_save_history  WHERE left(start_time,10)<='%s' and rowid>%lld "
        "order by rowid limit %d", m_date.c_str(), static_cast<long long>(m_afterRowid), kBatchRows));
    if (!rs || rs->IsEOF()) {  // a failed select deletes nothing: files and rows wait for the next sweep
        m_running = false;
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::string first = FieldText(*rs, "row_id");
    std::string last;
    std::string kept;  // rows whose files could not be deleted: tried again at a later sweep
    std::size_t done = 0;
    for (; !rs->IsEOF() && std::chrono::steady_clock::now() - started < kStepBudget; rs->MoveNext(), ++done) {
        const std::string path = FieldText(*rs, "video_save_path");
        last = FieldText(*rs, "row_id");
        if (!path.empty() && !IsOpenRecording(path) && !DeleteDueFile(path, m_root))
            kept += (kept.empty() ? "" : ",") + last;
    }
    ExecuteCommand(StrFormat("DELETE FROM video_save_history  WHERE left(start_time,10)<='%s' and rowid between %s and %s",
                             m_date.c_str(), first.c_str(), last.c_str()) +
                   (kept.empty() ? std::string() : " and rowid not in (" + kept + ")") + KeepOpenRecordingsClause());
    m_afterRowid = std::stoll(last);
    m_running = done < rs->RowCount() || rs->RowCount() == static_cast<std::size_t>(kBatchRows);
    return m_running;
}

void RunRetentionSweep(const std::string& retentionDays, TimeValue now, const std::string& root)
{
    CRetentionSweep sweep;
    if (sweep.Start(retentionDays, now, root))
        while (sweep.Step()) {
        }
}
