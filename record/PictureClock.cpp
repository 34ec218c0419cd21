#include "PictureClock.h"

#include "TextFormat.h"

#include "HistoryReconcile.h"
#include "TransportStream.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr char kMarkText[] = "Lumaro first picture ";
constexpr char kTrueColourText[] = " true colours";
// The mark follows the first sequence header, or in a transport stream the
// tables and the first picture's parameter sets.
constexpr std::size_t kMarkSearch = 16384;

// Floor division, so that a moment before 1970 keeps positive hundredths.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

PreciseTime CurrentPreciseTime()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

long long PictureAt(PreciseTime first, PreciseTime moment)
{
    return FloorDiv(moment - first + kPictureInterval / 2, kPictureInterval);
}

std::int64_t WholeSeconds(PreciseTime moment)
{
    return FloorDiv(moment, kMicrosPerSecond);
}

int Hundredths(PreciseTime moment)
{
    return static_cast<int>((moment - WholeSeconds(moment) * kMicrosPerSecond) / 10000);
}

std::string FirstPictureMark(PreciseTime first)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s%" PRId64 "%s", kMarkText, static_cast<std::int64_t>(first), kTrueColourText);
    return std::string("\x00\x00\x01\xB2", 4) + text;
}

namespace {

// The place of the mark's number in the first bytes of a stream, or `size`.
std::size_t MarkNumberPlace(const std::uint8_t* data, std::size_t size)
{
    const std::size_t textSize = sizeof kMarkText - 1;
    for (std::size_t i = 0; i + 4 + textSize < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB2 &&
            std::memcmp(data + i + 4, kMarkText, textSize) == 0)
            return i + 4 + textSize;
    return size;
}

}  // namespace

std::optional<PreciseTime> FindFirstPictureMark(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = MarkNumberPlace(data, size);
    const bool negative = at < size && data[at] == '-';
    at += negative ? 1 : 0;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; at < size && data[at] >= '0' && data[at] <= '9' && digits < 18; ++at, ++digits)
        value = value * 10 + (data[at] - '0');
    if (digits == 0)
        return std::nullopt;
    return negative ? -value : value;
}

bool FindTrueColourMark(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = MarkNumberPlace(data, size);
    while (at < size && (data[at] == '-' || (data[at] >= '0' && data[at] <= '9')))
        ++at;
    const std::size_t textSize = sizeof kTrueColourText - 1;
    return at + textSize <= size && std::memcmp(data + at, kTrueColourText, textSize) == 0;
}

std::size_t FirstPictureMarkPlace(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 3 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB8)
            return i;
    return size;
}

namespace {

// The SEI message's own identifier: any 16 bytes without two zeros in a row.
constexpr std::uint8_t kMarkUuid[16] = {'L', 'u', 'm', 'a', 'r', 'o', '-', 'f', 'i', 'r', 's', 't', '-', 'p', 'i', 'c'};

}  // namespace

std::string H264FirstPictureMark(PreciseTime first)
{
    const std::string mark = FirstPictureMark(first);  // the MPEG-1 block: start code, then the text
    const std::string text = mark.substr(4);
    std::string sei("\x00\x00\x00\x01\x06\x05", 6);
    std::size_t payload = sizeof kMarkUuid + text.size();
    for (; payload >= 255; payload -= 255)
        sei += '\xFF';
    sei += static_cast<char>(payload);
    sei.append(reinterpret_cast<const char*>(kMarkUuid), sizeof kMarkUuid);
    sei += text;
    sei += '\x80';
    return sei;
}

std::optional<PreciseTime> FindH264FirstPictureMark(const std::uint8_t* data, std::size_t size)
{
    const std::size_t textSize = sizeof kMarkText - 1;
    for (std::size_t i = 0; i + textSize < size; ++i)
        if (std::memcmp(data + i, kMarkText, textSize) == 0 && i >= sizeof kMarkUuid &&
            std::memcmp(data + i - sizeof kMarkUuid, kMarkUuid, sizeof kMarkUuid) == 0) {
            // The same text as an MPEG-1 file's block, behind a start code of its own.
            std::string block("\x00\x00\x01\xB2", 4);
            block.append(reinterpret_cast<const char*>(data + i), size - i);
            return FindFirstPictureMark(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
        }
    return std::nullopt;
}

namespace {

std::vector<std::uint8_t> RecordingHeadBytes(const std::string& path)
{
    std::vector<std::uint8_t> head(kMarkSearch);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    return head;
}

}  // namespace

std::optional<PreciseTime> RecordingFirstPicture(const std::string& path)
{
    const std::vector<std::uint8_t> head = RecordingHeadBytes(path);
    if (LooksLikeTransportStream(head.data(), head.size())) {
        const std::vector<std::uint8_t> video = TransportVideoPayload(head.data(), head.size());
        if (const auto mark = FindH264FirstPictureMark(video.data(), video.size()))
            return mark;
    } else if (const auto mark = FindFirstPictureMark(head.data(), head.size())) {
        return mark;
    }
    int camera = 0;
    TimeValue start = 0;
    if (ParseRecordingPath(path, &camera, &start))
        return start * kMicrosPerSecond;
    return std::nullopt;
}

// Transport-stream recordings were true to the scene from the first.
bool RecordingHasTrueColours(const std::string& path)
{
    const std::vector<std::uint8_t> head = RecordingHeadBytes(path);
    return LooksLikeTransportStream(head.data(), head.size()) || FindTrueColourMark(head.data(), head.size());
}

std::string PreciseText(PreciseTime moment)
{
    return FormatLocalTime("%Y-%m-%d %H:%M:%S", WholeSeconds(moment)) + StrFormat(".%02d", Hundredths(moment));
}
