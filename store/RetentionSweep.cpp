#include "RetentionSweep.h"

#include "Database.h"
#include "JetDialect.h"
#include "OpenRecordings.h"

#include <cctype>
#include <climits>
#include <cstdio>

int ParseRetentionDays(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > INT_MAX) {
            n = INT_MAX;  // saturate, like the C library's atoi does in practice
            break;
        }
    }
    return negative || n < 1 ? 0 : static_cast<int>(n);
}

std::string RetentionThresholdDate(const std::string& retentionDays, TimeValue now)
{
    const TimeValue days = ParseRetentionDays(retentionDays);
    if (days < 1)
        return {};
    return FormatLocalTime("%Y-%m-%d", now - days * 86400);
}

namespace {

void DeleteDueFiles(const std::string& date)
{
    RecordsetPtr rs = ExecuteCommand(
        StrFormat("select * FROM video_save_history  WHERE left(start_time,10)<='%s'", date.c_str()));
    if (!rs)
        return;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        const std::string path = FieldText(*rs, "video_save_path");
        if (!path.empty() && !IsOpenRecording(path))
            std::remove(path.c_str());  // a file that is gone or protected is left as it is
    }
}

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

void RunRetentionSweep(const std::string& retentionDays, TimeValue now)
{
    if (RefusePeriod(retentionDays))
        return;
    const std::string date = RetentionThresholdDate(retentionDays, now);
    DeleteDueFiles(date);
    ExecuteCommand(StrFormat("DELETE FROM video_save_history  WHERE left(start_time,10)<='%s'",
                             date.c_str()) +
                   KeepOpenRecordingsClause());
}
