#include "RecordingSeeker.h"

#include "PictureNumbering.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::uint8_t kSequenceCode = 0xB3;
constexpr std::uint8_t kGroupCode = 0xB8;
constexpr std::uint8_t kPictureCode = 0x00;
// A group header follows its sequence header within this many bytes (the
// header, quantiser matrices and the first picture mark).
constexpr std::int64_t kHeaderReach = 400;
// A search for the next group gives up after this many bytes: a stretch of
// damaged bytes longer than that hides the groups in it.
constexpr std::int64_t kMaxScan = 8 * RecordingSeeker::kWindow;

bool StartCodeAt(const std::uint8_t* p, std::uint8_t code)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == code;
}

}  // namespace

RecordingSeeker::RecordingSeeker(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    std::uint8_t head[kTransportPacket + 1] = {};
    if (m_fd < 0 || !LooksLikeTransportStream(head, static_cast<std::size_t>(Read(0, head, sizeof head))))
        return;
    const std::vector<TransportPicture> first = TransportPictures(0, kWindow);
    m_firstPts = first.empty() ? 0 : first.front().pts;
}

// The pictures that begin in [offset, offset + size), read from the packet
// boundary at or before `offset`.
std::vector<TransportPicture> RecordingSeeker::TransportPictures(std::int64_t offset, std::int64_t size) const
{
    const std::int64_t from = offset - offset % static_cast<std::int64_t>(kTransportPacket);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(offset - from + size));
    const std::int64_t got = Read(from, buffer.data(), static_cast<std::int64_t>(buffer.size()));
    std::vector<TransportPicture> pictures;
    TransportVideoPayload(buffer.data(), static_cast<std::size_t>(std::max<std::int64_t>(0, got)), &pictures);
    for (TransportPicture& picture : pictures)
        picture.offset += static_cast<std::size_t>(from);
    return pictures;
}

std::optional<GroupPlace> RecordingSeeker::FirstTransportGroupFrom(std::int64_t offset, std::int64_t limit) const
{
    // Intra pictures lie up to ten seconds apart: the search reaches further.
    for (std::int64_t at = offset; at < limit && at < offset + 8 * kMaxScan; at += kWindow) {
        for (const TransportPicture& picture : TransportPictures(at, kWindow)) {
            const auto place = static_cast<std::int64_t>(picture.offset);
            if (picture.randomAccess && place >= offset) {
                const long long number = TimeStampDistance(*m_firstPts, picture.pts) / (90000 / 25);
                return GroupPlace{place, number, place};
            }
        }
    }
    return std::nullopt;
}

std::optional<long long> RecordingSeeker::LastTransportPicture() const
{
    const std::int64_t size = Size();
    const std::int64_t from = std::max<std::int64_t>(0, size - 4 * kWindow);
    const std::vector<TransportPicture> pictures = TransportPictures(from, size - from);
    if (pictures.empty())
        return std::nullopt;
    return TimeStampDistance(*m_firstPts, pictures.back().pts) / (90000 / 25);
}

RecordingSeeker::~RecordingSeeker()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

RecordingSeeker::RecordingSeeker(RecordingSeeker&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_firstPts(std::exchange(other.m_firstPts, std::nullopt))
{
}

RecordingSeeker& RecordingSeeker::operator=(RecordingSeeker&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_firstPts = std::exchange(other.m_firstPts, std::nullopt);
    }
    return *this;
}

std::int64_t RecordingSeeker::Size() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

std::int64_t RecordingSeeker::Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t size) const
{
    std::int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, buffer + done, static_cast<std::size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::optional<GroupPlace> RecordingSeeker::FirstGroupFrom(std::int64_t offset, std::int64_t limit) const
{
    if (m_firstPts)
        return FirstTransportGroupFrom(offset, limit);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kHeaderReach + kWindow + 8));
    for (std::int64_t at = offset; at < limit && at < offset + kMaxScan; at += kWindow) {
        // Each read reaches back for the sequence header and on for a header cut at the window's end.
        const std::int64_t from = std::max<std::int64_t>(0, at - kHeaderReach);
        const std::int64_t got = Read(from, buffer.data(), static_cast<std::int64_t>(buffer.size()));
        for (std::int64_t i = at - from; i + 8 <= got && i < at - from + kWindow; ++i) {
            if (!StartCodeAt(&buffer[static_cast<std::size_t>(i)], kGroupCode))
                continue;
            GroupPlace place{from + i, GroupHeaderPictures(&buffer[static_cast<std::size_t>(i)]), from + i};
            for (std::int64_t j = i - 4; j >= 0 && j >= i - kHeaderReach; --j)
                if (StartCodeAt(&buffer[static_cast<std::size_t>(j)], kSequenceCode)) {
                    place.offset = from + j;
                    break;
                }
            return place;
        }
        if (got < static_cast<std::int64_t>(buffer.size()))
            break;  // the end of the file
    }
    return std::nullopt;
}

std::optional<GroupPlace> RecordingSeeker::GroupOf(long long target) const
{
    std::int64_t high = Size();
    std::optional<GroupPlace> best = FirstGroupFrom(0, high);
    if (!best || best->number >= target)
        return best;
    std::int64_t low = best->header + 1;
    while (high - low > kWindow) {
        const std::int64_t middle = low + (high - low) / 2;
        const std::optional<GroupPlace> group = FirstGroupFrom(middle, high);
        if (group && group->number <= target) {
            best = group;
            low = group->header + 1;
        } else {
            high = middle;
        }
    }
    // The last stretch, group by group.
    for (std::optional<GroupPlace> group = FirstGroupFrom(best->header + 4, Size());
         group && group->number <= target && group->header < high + kWindow;
         group = FirstGroupFrom(group->header + 4, Size()))
        best = group;
    return best;
}

std::optional<long long> RecordingSeeker::LastPictureNumber() const
{
    if (m_firstPts)
        return LastTransportPicture();
    const std::int64_t size = Size();
    const std::int64_t from = std::max<std::int64_t>(0, size - 4 * kWindow);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size - from));
    const std::int64_t got = Read(from, buffer.data(), size - from);
    std::optional<long long> last;
    for (std::int64_t i = 0; i + 8 <= got; ++i) {
        const std::uint8_t* p = &buffer[static_cast<std::size_t>(i)];
        if (StartCodeAt(p, kGroupCode))
            last = GroupHeaderPictures(p) - 1;
        else if (last && StartCodeAt(p, kPictureCode))
            ++*last;  // pictures of the last group, in any order
    }
    if (!last && from > 0)  // no group in the tail: a long group of repeats, or damage
        if (const std::optional<GroupPlace> group = GroupOf(std::numeric_limits<long long>::max()))
            return group->number + PicturesFrom(group->header) - 1;
    return last;
}

// The pictures from `offset` to the end of the file.
long long RecordingSeeker::PicturesFrom(std::int64_t offset) const
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kWindow + 3));
    long long pictures = 0;
    for (std::int64_t at = offset;; at += kWindow) {
        const std::int64_t got = Read(at, buffer.data(), static_cast<std::int64_t>(buffer.size()));
        for (std::int64_t i = 0; i + 4 <= got && i < kWindow; ++i)
            pictures += StartCodeAt(&buffer[static_cast<std::size_t>(i)], kPictureCode) ? 1 : 0;
        if (got < static_cast<std::int64_t>(buffer.size()))
            return pictures;
    }
}
