// Finds a picture of a recording by its number without an index: every
// group of pictures begins with a sequence header and a group header whose
// time code is the number of its first picture from the file's start (the
// encoder starts afresh with each file), so a bisection over byte offsets
// finds the group of any picture of a day-long file in a few dozen reads.
// A transport-stream recording's groups begin at its intra pictures, whose
// packets say a decoder may begin there; their time stamps give their
// numbers. Reads the file through its own descriptor; the player's stream
// position is not touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TransportStream.h"

struct GroupPlace {
    std::int64_t offset = 0;  // of the sequence header before the group header (of an intra picture's packet)
    long long number = 0;     // of the group's first picture
    std::int64_t header = 0;  // of the group header itself
};

class RecordingSeeker {
public:
    static constexpr std::int64_t kWindow = 65536;

    RecordingSeeker() = default;
    explicit RecordingSeeker(const std::string& path);
    ~RecordingSeeker();
    RecordingSeeker(RecordingSeeker&& other) noexcept;
    RecordingSeeker& operator=(RecordingSeeker&& other) noexcept;
    RecordingSeeker(const RecordingSeeker&) = delete;
    RecordingSeeker& operator=(const RecordingSeeker&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    bool IsTransportStream() const { return m_firstPts.has_value(); }
    // A transport stream's first picture's time stamp.
    std::int64_t FirstPts() const { return m_firstPts.value_or(0); }
    // The last group that begins at or before picture `target`; the first
    // group when `target` lies before it; nothing when no group is found.
    std::optional<GroupPlace> GroupOf(long long target) const;
    // The number of the file's last picture as it stands now (a file being
    // written grows), or nothing without a group.
    std::optional<long long> LastPictureNumber() const;

private:
    std::int64_t Size() const;
    // The first group whose header lies at or after `offset`, searched up
    // to `limit`.
    std::optional<GroupPlace> FirstGroupFrom(std::int64_t offset, std::int64_t limit) const;
    std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t size) const;
    long long PicturesFrom(std::int64_t offset) const;
    std::optional<GroupPlace> FirstTransportGroupFrom(std::int64_t offset, std::int64_t limit) const;
    std::optional<long long> LastTransportPicture() const;
    std::vector<TransportPicture> TransportPictures(std::int64_t offset, std::int64_t size) const;

    int m_fd = -1;
    std::optional<std::int64_t> m_firstPts;  // set for a transport stream
};
