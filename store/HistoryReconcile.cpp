#include "HistoryReconcile.h"

#include "Database.h"
#include "HistoryWriter.h"
#include "JetDialect.h"
#include "RowCursor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace {

constexpr char kPattern[] = "dv(N)-YYYY-MM-DD HHMMSS.mpg";

bool MatchesPattern(const std::string& name)
{
    if (name.size() != sizeof kPattern - 1)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char want = kPattern[i];
        const bool digit = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
        if ((std::isupper(static_cast<unsigned char>(want)) && !digit) ||
            (!std::isupper(static_cast<unsigned char>(want)) && name[i] != want))
            return false;
    }
    return name[3] >= '1' && name[3] <= '4';
}

int Number(const std::string& text, std::size_t at, std::size_t count)
{
    return std::stoi(text.substr(at, count));
}

// Whether a file begins as every recording does: an MPEG-1 sequence header.
bool BeginsWithSequenceHeader(const std::string& path)
{
    static const char kSequenceHeader[4] = {0, 0, 1, static_cast<char>(0xB3)};
    char head[4] = {};
    std::ifstream in(path, std::ios::binary);
    return in.read(head, sizeof head) && std::equal(head, head + 4, kSequenceHeader);
}

// The recording files directly in the folder, by name: regular files (not
// links) with a recording's name that begin with a sequence header.
std::map<std::string, HistoryRow> RecordingsIn(const std::string& root)
{
    std::map<std::string, HistoryRow> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        HistoryRow row;
        if (it->symlink_status(ec).type() == std::filesystem::file_type::regular &&
            ParseRecordingName(name, &row.camera, &row.startTime) && BeginsWithSequenceHeader(root + "/" + name)) {
            row.path = root + "/" + name;
            found.emplace(name, std::move(row));
        }
    }
    return found;
}

std::string RowsOfFolderStatement(const std::string& root)
{
    return "select video_save_path from video_save_history where " + FolderRowsClause(root);
}

}  // namespace

bool ParseRecordingName(const std::string& name, int* camera, TimeValue* startTime)
{
    if (!MatchesPattern(name))
        return false;
    std::tm local{};
    local.tm_year = Number(name, 6, 4) - 1900;
    local.tm_mon = Number(name, 11, 2) - 1;
    local.tm_mday = Number(name, 14, 2);
    local.tm_hour = Number(name, 17, 2);
    local.tm_min = Number(name, 19, 2);
    local.tm_sec = Number(name, 21, 2);
    local.tm_isdst = -1;
    const TimeValue time = std::mktime(&local);
    // Only a name the program itself could have made: 2009-02-30 is none.
    if (time == -1 || FormatLocalTime("%Y-%m-%d %H%M%S.mpg", time) != name.substr(6))
        return false;
    *camera = name[3] - '0';
    *startTime = time;
    return true;
}

bool ParseRecordingPath(const std::string& path, int* camera, TimeValue* startTime)
{
    const std::size_t slash = path.rfind('/');
    return ParseRecordingName(slash == std::string::npos ? path : path.substr(slash + 1), camera, startTime);
}

ReconcileCounts ReconcileHistory(const std::string& root)
{
    ReconcileCounts counts;
    std::error_code ec;
    if (root.empty() || !std::filesystem::is_directory(root, ec))
        return counts;  // an unplugged disk: its rows stay for when it is back
    std::map<std::string, HistoryRow> files = RecordingsIn(root);
    std::vector<std::string> gone;
    const bool listed = ForEachRow(RowsOfFolderStatement(root), [&](const CRecordset& row) {
        const std::string path = FieldText(row, "video_save_path");
        const std::string name = path.substr(std::min(path.size(), root.size() + 1));
        if (files.erase(name) == 0 && name.find('/') == std::string::npos &&
            !std::filesystem::exists(path, ec) && !ec)
            gone.push_back(path);
        return true;
    });
    if (!listed)
        return counts;
    for (const auto& [name, row] : files) {
        if (!WriteHistoryRow(row))
            continue;
        std::printf("lumaro: recording '%s' had no history row; row added\n", row.path.c_str());
        ++counts.added;
    }
    for (const std::string& path : gone) {
        if (!ExecuteCommand(StrFormat("DELETE FROM video_save_history WHERE video_save_path='%s'", SqlText(path).c_str())))
            continue;
        std::printf("lumaro: history row of '%s' removed: its file is gone\n", path.c_str());
        ++counts.removed;
    }
    std::fflush(stdout);
    return counts;
}
