// Cuts a byte stream of JPEG pictures into whole pictures by the JPEG
// markers themselves: raw MJPEG over TCP, or the body of an HTTP multipart
// stream, whose part headers lie between the pictures and are passed over.
// A picture is whole at its end marker FF D9, so it is handed on the moment
// its last byte arrives, not when the next one begins; it keeps the time
// its first byte arrived. A picture that breaks the marker syntax, or grows
// past kMaxPicture, is dropped, and the search goes on for the next start.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class JpegSplitter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxPicture = 32u << 20;

    struct Picture {
        std::vector<std::uint8_t> bytes;  // from FF D8 to FF D9
        Clock::time_point firstByte{};
    };

    // Bytes that arrived at `arrival`; each picture they complete is added to `out`.
    void Feed(const std::uint8_t* data, std::size_t size, Clock::time_point arrival, std::vector<Picture>* out);

private:
    enum class State { Seek, Marker, Length, Segment, Entropy, EntropyMarker };

    std::size_t Step(const std::uint8_t* data, std::size_t size, Clock::time_point arrival, std::vector<Picture>* out);
    std::size_t SeekStart(const std::uint8_t* data, std::size_t size, Clock::time_point arrival);
    void TakeMarker(std::uint8_t marker, Clock::time_point arrival, std::vector<Picture>* out);
    void Drop();

    State m_state = State::Seek;
    bool m_sawFF = false;                // Seek: the last byte was FF
    Clock::time_point m_ffArrival{};     // when that FF arrived
    std::uint8_t m_marker = 0;           // of the segment being read
    int m_lengthBytes = 0;               // of its length read so far
    std::size_t m_remaining = 0;         // of its body
    Picture m_picture;
};

// Width and height from a JPEG picture's frame header (SOFn), if it has one.
std::optional<std::pair<int, int>> JpegPictureSize(const std::uint8_t* data, std::size_t size);
