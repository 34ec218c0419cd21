#include "HistoryReconcile.h"

#include "Database.h"
#include "HistoryWriter.h"
#include "JetDialect.h"
#include "RecordingDisk.h"
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

constexpr char kPattern[] = "dv(N)-YYYY-MM-DD HHMMSS";

// The name without its extension, which says the format: ".mpg" (MPEG-1)
// or ".ts" (H.264 in MPEG-TS); empty for any other name.
std::string RecordingStem(const std::string& name)
{
    for (const char* extension : {kMpeg1Extension, kTransportExtension}) {
        const std::string ext(extension);
        if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
            return name.substr(0, name.size() - ext.size());
    }
    return {};
}

bool MatchesPattern(const std::string& stem)
{
    if (stem.size() != sizeof kPattern - 1)
        return false;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        const char want = kPattern[i];
        const bool digit = std::isdigit(static_cast<unsigned char>(stem[i])) != 0;
        if ((std::isupper(static_cast<unsigned char>(want)) && !digit) ||
            (!std::isupper(static_cast<unsigned char>(want)) && stem[i] != want))
            return false;
    }
    return stem[3] >= '1' && stem[3] <= '4';
}

int Number(const std::string& text, std::size_t at, std::size_t count)
{
    return std::stoi(text.substr(at, count));
}

// Whether a file begins as a recording of its name's format does: an
// MPEG-1 sequence header, or transport packets (their sync byte every 188).
bool BeginsAsRecording(const std::string& path)
{
    static const char kSequenceHeader[4] = {0, 0, 1, static_cast<char>(0xB3)};
    char head[189] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (IsTransportName(path))
        return got >= 1 && head[0] == 0x47 && (got < sizeof head || head[188] == 0x47);
    return got >= 4 && std::equal(head, head + 4, kSequenceHeader);
}

// The recording files directly in the folder, by name: regular files (not
// links) with a recording's name that begin as such a recording does.
std::map<std::string, HistoryRow> RecordingsIn(const std::string& root)
{
    std::map<std::string, HistoryRow> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        HistoryRow row;
        if (it->symlink_status(ec).type() == std::filesystem::file_type::regular &&
            ParseRecordingName(name, &row.camera, &row.startTime) && BeginsAsRecording(root + "/" + name)) {
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
    const std::string stem = RecordingStem(name);
    if (!MatchesPattern(stem))
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
    if (time == -1 || FormatLocalTime("%Y-%m-%d %H%M%S", time) != stem.substr(6))
        return false;
    *camera = name[3] - '0';
    *startTime = time;
    return true;
}

bool IsTransportName(const std::string& path)
{
    const std::string ext(kTransportExtension);
    return path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
}

bool ParseRecordingPath(const std::string& path, int* camera, TimeValue* startTime)
{
    const std::size_t slash = path.rfind('/');
    return ParseRecordingName(slash == std::string::npos ? path : path.substr(slash + 1), camera, startTime);
}

namespace {

constexpr int kRowsPerTransaction = 500;

bool Stopped(const std::atomic<bool>* stop)
{
    return stop != nullptr && stop->load();
}

// Rows for the files without one, a few hundred to a transaction. A file
// the sweeps deleted meanwhile gets none.
int AddRows(const std::map<std::string, HistoryRow>& files, const std::atomic<bool>* stop)
{
    int added = 0;
    int inTransaction = 0;
    for (const auto& [name, row] : files) {
        if (Stopped(stop))
            break;
        std::error_code ec;
        if (!std::filesystem::exists(row.path, ec))
            continue;
        if (inTransaction == 0)
            ExecuteCommand("begin");
        if (WriteHistoryRow(row)) {
            std::printf("lumaro: recording '%s' had no history row; row added\n", row.path.c_str());
            ++added;
        }
        if (++inTransaction == kRowsPerTransaction) {
            ExecuteCommand("commit");
            inTransaction = 0;
        }
    }
    if (inTransaction > 0)
        ExecuteCommand("commit");
    return added;
}

}  // namespace

ReconcileCounts ReconcileHistory(const std::string& root, const std::atomic<bool>* stop)
{
    ReconcileCounts counts;
    if (CheckRecordingFolder(root) != FolderState::kReady)
        return counts;  // an unplugged disk: its rows stay for when it is back
    std::map<std::string, HistoryRow> files = RecordingsIn(root);
    std::vector<std::string> gone;
    std::error_code ec;
    const bool listed = ForEachRow(RowsOfFolderStatement(root), [&](const CRecordset& row) {
        const std::string path = FieldText(row, "video_save_path");
        const std::string name = path.substr(std::min(path.size(), root.size() + 1));
        if (files.erase(name) == 0 && name.find('/') == std::string::npos &&
            !std::filesystem::exists(path, ec) && !ec)
            gone.push_back(path);
        return !Stopped(stop);
    });
    if (!listed || Stopped(stop))
        return counts;
    counts.added = AddRows(files, stop);
    // Gone from a folder that is still there on its own disk: truly gone.
    for (const std::string& path : gone) {
        if (Stopped(stop) || CheckRecordingFolder(root) != FolderState::kReady)
            break;
        if (!ExecuteCommand(StrFormat("DELETE FROM video_save_history WHERE video_save_path='%s'", SqlText(path).c_str())))
            continue;
        std::printf("lumaro: history row of '%s' removed: its file is gone\n", path.c_str());
        ++counts.removed;
    }
    std::fflush(stdout);
    return counts;
}
