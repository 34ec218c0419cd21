#include "FreeSpace.h"

#include "Database.h"
#include "HistoryWriter.h"
#include "JetDialect.h"
#include "OpenRecordings.h"
#include "OwnRecording.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <sys/statvfs.h>

namespace {

std::atomic<bool> g_spaceRequested{false};
std::atomic<std::uint64_t> g_bytesWritten{0};
constexpr int kBatchRows = 20;

// The oldest rows of the folder whose files are not being written: rows of
// another disk would free nothing here.
std::string OldestRowsStatement(const std::string& root)
{
    return StrFormat("select * from video_save_history where %s%s order by start_time asc, rowid asc limit %d",
                     FolderRowsClause(root).c_str(), KeepOpenRecordingsClause().c_str(), kBatchRows);
}

// Deletes one recording, file then row. False when neither could go; a
// file that cannot be deleted keeps its row.
bool DeleteRecording(const std::string& path, const std::string& root, std::uint64_t minBytes)
{
    const DeleteOutcome outcome = DeleteOwnRecording(path, root);
    if (outcome == DeleteOutcome::kFailed)
        return DeleteDueFile(path, root);  // says why once more, and keeps the row
    const bool fileGone = outcome == DeleteOutcome::kDeleted;
    RecordsetPtr done = ExecuteCommand(
        StrFormat("DELETE FROM video_save_history WHERE video_save_path='%s'", SqlText(path).c_str()));
    if (fileGone)
        std::printf("lumaro: less than %llu MiB free: deleted the oldest recording '%s'\n",
                    static_cast<unsigned long long>(minBytes / kMiB), path.c_str());
    return fileGone || done != nullptr;
}

// The bytes to keep when the folder has less than that free; 0 when it has
// enough, the check is off or the folder cannot be looked at.
std::uint64_t MissingSpace(const std::string& root, const std::string& setting, const SpaceProbe& probe,
                           std::uint64_t headroom)
{
    const std::optional<SpaceInfo> space = probe(root);
    if (!space)
        return 0;
    const std::uint64_t reserve = MinFreeBytes(setting, space->totalBytes);
    if (reserve == 0)
        return 0;
    const std::uint64_t keep = std::max(reserve, std::min(reserve + headroom, space->totalBytes / 2));
    return space->freeBytes < keep ? keep : 0;
}

// One line when a stored reserve is ignored, once for each text.
void SayOversized(const std::string& setting, const SpaceProbe& probe, const std::string& root)
{
    static std::string s_said;
    const std::optional<SpaceInfo> space = probe(root);
    if (!space || !IsOversizedReserve(setting, space->totalBytes) || setting == s_said)
        return;
    s_said = setting;
    std::printf("lumaro: the free space to keep, %s MiB, is not below half of the disk of '%s' (%llu MiB); "
                "the automatic amount is kept instead\n",
                setting.c_str(), root.c_str(), static_cast<unsigned long long>(space->totalBytes / kMiB));
}

}  // namespace

std::optional<SpaceInfo> ReadSpace(const std::string& folder)
{
    struct statvfs st {};
    if (folder.empty() || ::statvfs(folder.c_str(), &st) != 0)
        return std::nullopt;
    return SpaceInfo{static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize,
                     static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize};
}

std::optional<std::uint64_t> ParseMinFreeSpaceMb(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return std::nullopt;
    std::uint64_t mb = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        mb = std::min<std::uint64_t>(mb * 10 + static_cast<std::uint64_t>(text[i] - '0'), UINT64_MAX / kMiB / 10);
    return mb;
}

bool IsOversizedReserve(const std::string& setting, std::uint64_t totalBytes)
{
    const std::optional<std::uint64_t> mb = ParseMinFreeSpaceMb(setting);
    return mb && totalBytes > 0 && *mb * kMiB >= totalBytes / 2;
}

std::uint64_t MinFreeBytes(const std::string& setting, std::uint64_t totalBytes)
{
    const std::optional<std::uint64_t> mb = ParseMinFreeSpaceMb(setting);
    if (mb && !IsOversizedReserve(setting, totalBytes))
        return *mb * kMiB;
    return std::min(totalBytes / 20, kDefaultMinFreeCapMb * kMiB);
}

int RunFreeSpaceSweep(const std::string& root, const std::string& setting, const SpaceProbe& probe,
                      std::uint64_t headroom)
{
    static bool s_stuckReported = false;
    if (!FolderWithinReach(root, "free-space"))
        return 0;
    SayOversized(setting, probe, root);
    int deleted = 0;
    std::uint64_t minBytes = MissingSpace(root, setting, probe, headroom);
    while (minBytes != 0) {
        RecordsetPtr rs = ExecuteCommand(OldestRowsStatement(root));
        const int before = deleted;
        for (; rs && !rs->IsEOF() && minBytes != 0; rs->MoveNext()) {
            const std::string path = FieldText(*rs, "video_save_path");
            if (IsOpenRecording(path) || !DeleteRecording(path, root, minBytes))
                continue;
            ++deleted;
            minBytes = MissingSpace(root, setting, probe, headroom);
        }
        if (minBytes != 0 && deleted == before) {
            if (!s_stuckReported)
                std::printf("lumaro: less than %llu MiB free on '%s' and only recordings being written are left\n",
                            static_cast<unsigned long long>(minBytes / kMiB), root.c_str());
            s_stuckReported = true;
            std::fflush(stdout);
            return deleted;
        }
    }
    s_stuckReported = false;
    std::fflush(stdout);
    return deleted;
}

bool IsSpaceShort(const std::string& root, const std::string& setting, std::uint64_t headroom,
                  const SpaceProbe& probe)
{
    return MissingSpace(root, setting, probe, 2 * headroom) != 0;
}

void CountWrittenBytes(std::uint64_t bytes)
{
    g_bytesWritten.fetch_add(bytes, std::memory_order_relaxed);
}

double WriteRate::Measure(std::chrono::steady_clock::time_point now)
{
    const std::uint64_t bytes = g_bytesWritten.load(std::memory_order_relaxed);
    const double seconds = std::chrono::duration<double>(now - m_last).count();
    if (m_last != std::chrono::steady_clock::time_point{} && seconds >= 1) {
        const double rate = static_cast<double>(bytes - m_lastBytes) / seconds;
        m_rate = m_rate < 0 ? rate : 0.7 * m_rate + 0.3 * rate;
    }
    if (m_last == std::chrono::steady_clock::time_point{} || seconds >= 1) {
        m_last = now;
        m_lastBytes = bytes;
    }
    return std::max(m_rate, 0.0);
}

void RequestFreeSpace()
{
    g_spaceRequested = true;
}

bool TakeFreeSpaceRequest()
{
    return g_spaceRequested.exchange(false);
}
