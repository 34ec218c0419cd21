#include "RecordFormat.h"

#include "FreeSpace.h"
#include "HistoryReconcile.h"

#include <atomic>
#include <filesystem>

namespace {

std::atomic<RecordFormat> g_chosen{RecordFormat::kMpeg1};

}  // namespace

RecordFormat ParseRecordFormat(const std::string& stored)
{
    return stored == "h264" ? RecordFormat::kH264 : RecordFormat::kMpeg1;
}

const char* RecordFormatText(RecordFormat format)
{
    return format == RecordFormat::kH264 ? "h264" : "mpeg1";
}

const char* RecordFormatExtension(RecordFormat format)
{
    return format == RecordFormat::kH264 ? kTransportExtension : kMpeg1Extension;
}

RecordFormat ChosenRecordFormat()
{
    return g_chosen.load(std::memory_order_relaxed);
}

void ChooseRecordFormat(RecordFormat format)
{
    g_chosen.store(format, std::memory_order_relaxed);
}

namespace {

// H.264 bytes for MPEG-1's, from format_bench's busy scenes (0.16 to 0.26).
constexpr double kTransportShare = 0.25;

}  // namespace

double TypicalBytesPerSecond(RecordFormat format, int width, int height)
{
    const double mpeg1 = static_cast<double>(width) * height * 25 * 0.06 / 8;  // 0.06 bits a pixel
    return format == RecordFormat::kH264 ? mpeg1 * kTransportShare : mpeg1;
}

double RateInFormat(double bytesPerSecond, RecordFormat from, RecordFormat to)
{
    if (from == to)
        return bytesPerSecond;
    return to == RecordFormat::kH264 ? bytesPerSecond * kTransportShare : bytesPerSecond / kTransportShare;
}

std::uint64_t SpaceForRecordings(const std::string& root)
{
    // A folder not made yet will be made on the disk of its nearest parent.
    std::filesystem::path disk(root);
    std::error_code missing;
    while (!disk.empty() && !std::filesystem::exists(disk, missing) && disk.has_parent_path() && disk != disk.parent_path())
        disk = disk.parent_path();
    const std::optional<SpaceInfo> space = root.empty() ? std::nullopt : ReadSpace(disk.string());
    std::uint64_t bytes = space ? space->freeBytes : 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        int camera = 0;
        TimeValue start = 0;
        std::error_code sizeError;
        if (it->is_regular_file(sizeError) && ParseRecordingName(it->path().filename().string(), &camera, &start))
            bytes += it->file_size(sizeError);
    }
    return bytes;
}

int DaysOfRecordings(std::uint64_t space, double bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return -1;
    return static_cast<int>(static_cast<double>(space) / (bytesPerSecond * 86400));
}
