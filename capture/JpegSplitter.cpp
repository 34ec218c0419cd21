#include "JpegSplitter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kStart = 0xD8;       // SOI
constexpr std::uint8_t kEnd = 0xD9;         // EOI
constexpr std::uint8_t kScanStart = 0xDA;   // SOS: coded data follows its header

// Markers that stand alone, without a length: the restarts and TEM.
bool StandsAlone(std::uint8_t marker)
{
    return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01;
}

// SOF0 to SOF15 without DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameHeader(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

void JpegSplitter::Feed(const std::uint8_t* data, std::size_t size, Clock::time_point arrival,
                        std::vector<Picture>* out)
{
    while (size > 0) {
        const std::size_t used = Step(data, size, arrival, out);
        data += used;
        size -= used;
        if (m_state != State::Seek && m_picture.bytes.size() > kMaxPicture)
            Drop();
    }
}

void JpegSplitter::Drop()
{
    m_picture.bytes.clear();
    m_state = State::Seek;
    m_sawFF = false;
}

// Looks for FF D8 outside a picture; the FF may end the previous chunk.
std::size_t JpegSplitter::SeekStart(const std::uint8_t* data, std::size_t size, Clock::time_point arrival)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (m_sawFF && data[i] == kStart) {
            m_picture.bytes.assign({0xFF, kStart});
            m_picture.firstByte = m_ffArrival;
            m_state = State::Marker;
            m_sawFF = false;
            return i + 1;
        }
        m_sawFF = data[i] == 0xFF;
        if (m_sawFF)
            m_ffArrival = arrival;
    }
    return size;
}

// One stretch of bytes of the current state; returns how many it used.
std::size_t JpegSplitter::Step(const std::uint8_t* data, std::size_t size, Clock::time_point arrival,
                               std::vector<Picture>* out)
{
    auto& bytes = m_picture.bytes;
    switch (m_state) {
    case State::Seek:
        return SeekStart(data, size, arrival);
    case State::Marker:  // FF, any fill bytes FF, then the marker's code
        bytes.push_back(data[0]);
        if (data[0] == 0xFF)
            m_sawFF = true;
        else if (!m_sawFF)
            Drop();  // no marker where one must be
        else
            TakeMarker(data[0], arrival, out);
        return 1;
    case State::Length:
        bytes.push_back(data[0]);
        m_remaining = m_remaining << 8 | data[0];
        if (++m_lengthBytes < 2)
            return 1;
        if (m_remaining < 2) {
            Drop();  // a length counts its own two bytes
            return 1;
        }
        m_remaining -= 2;
        m_state = m_remaining > 0 ? State::Segment : m_marker == kScanStart ? State::Entropy : State::Marker;
        return 1;
    case State::Segment: {
        const std::size_t n = std::min(size, m_remaining);
        bytes.insert(bytes.end(), data, data + n);
        m_remaining -= n;
        if (m_remaining == 0)
            m_state = m_marker == kScanStart ? State::Entropy : State::Marker;
        return n;
    }
    case State::Entropy: {  // coded data up to the next FF
        const auto* ff = static_cast<const std::uint8_t*>(std::memchr(data, 0xFF, size));
        const std::size_t n = ff == nullptr ? size : static_cast<std::size_t>(ff - data) + 1;
        bytes.insert(bytes.end(), data, data + n);
        if (ff != nullptr)
            m_state = State::EntropyMarker;
        return n;
    }
    case State::EntropyMarker:  // FF 00 is a coded FF, FF Dn a restart; anything else a marker
        bytes.push_back(data[0]);
        if (data[0] == 0x00 || (data[0] >= 0xD0 && data[0] <= 0xD7))
            m_state = State::Entropy;
        else if (data[0] != 0xFF)
            TakeMarker(data[0], arrival, out);
        return 1;
    }
    return size;
}

void JpegSplitter::TakeMarker(std::uint8_t marker, Clock::time_point arrival, std::vector<Picture>* out)
{
    m_sawFF = false;
    if (marker == kEnd) {
        out->push_back(std::move(m_picture));
        m_picture = Picture{};
        m_state = State::Seek;
    } else if (marker == kStart) {  // a new picture before this one ended: it begins here
        m_picture.bytes.assign({0xFF, kStart});
        m_picture.firstByte = arrival;
        m_state = State::Marker;
    } else if (marker == 0x00) {
        Drop();  // no marker where one must be
    } else if (StandsAlone(marker)) {
        m_state = State::Marker;
    } else {
        m_marker = marker;
        m_lengthBytes = 0;
        m_remaining = 0;
        m_state = State::Length;
    }
}

std::optional<std::pair<int, int>> JpegPictureSize(const std::uint8_t* data, std::size_t size)
{
    if (size < 4 || data[0] != 0xFF || data[1] != kStart)
        return std::nullopt;
    for (std::size_t i = 2; i + 4 <= size;) {
        if (data[i] != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = data[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (StandsAlone(marker)) {
            i += 2;
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(data[i + 2]) << 8 | data[i + 3];
        if (IsFrameHeader(marker) && length >= 7 && i + 9 <= size) {
            const int height = data[i + 5] << 8 | data[i + 6];
            const int width = data[i + 7] << 8 | data[i + 8];
            return width > 0 && height > 0 ? std::optional(std::make_pair(width, height)) : std::nullopt;
        }
        if (marker == kScanStart || marker == kEnd || length < 2)
            return std::nullopt;
        i += 2 + length;
    }
    return std::nullopt;
}
