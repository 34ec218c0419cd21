// Reading MPEG-TS recordings without a demuxer: the bytes of the video
// stream (its packets' payloads, in order) and the time stamps of its
// pictures, from 188-byte transport packets. Damaged or foreign packets
// are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

inline constexpr std::size_t kTransportPacket = 188;

// Whether bytes begin as a transport stream does (a sync byte every 188).
bool LooksLikeTransportStream(const std::uint8_t* data, std::size_t size);

// One picture's start in the stream: where its first transport packet
// lies, its time stamp (90 kHz), and whether a decoder may begin there.
struct TransportPicture {
    std::size_t offset = 0;
    std::int64_t pts = 0;
    bool randomAccess = false;
};

// The payloads of the video stream's packets, in order (packets of other
// streams and tables left out); the video stream is the first whose packet
// begins a video PES (00 00 01 E0..EF). `pictures` receives each PES start.
std::vector<std::uint8_t> TransportVideoPayload(const std::uint8_t* data, std::size_t size,
                                                std::vector<TransportPicture>* pictures = nullptr);

// The video stream's bytes of a transport stream fed in chunks cut
// anywhere: each packet's payload is handed on as it is complete, with the
// time stamp of the picture whose PES begins in it. A stream out of step
// (a cut, damage) is found again at the next sync byte.
class TransportDemux {
public:
    using Payload = std::function<bool(const std::uint8_t* data, std::size_t size, std::optional<std::int64_t> pts)>;

    // False when `out` asked to stop.
    bool Feed(const std::uint8_t* data, std::size_t size, const Payload& out);
    // A new stream (after a seek): partial packets are forgotten; the video
    // stream's number stays.
    void Reset()
    {
        m_carry.clear();
        m_counter = -1;
    }
    // How often the video stream broke so far: a packet lost (its
    // continuity counter skips), marked damaged, or bytes out of step.
    long long Breaks() const { return m_breaks; }

private:
    bool Packet(const std::uint8_t* p, const Payload& out);

    std::vector<std::uint8_t> m_carry;  // a packet begun in the last chunk
    int m_video = -1;
    int m_counter = -1;  // the video stream's last continuity counter
    long long m_breaks = 0;
};

// 90 kHz time stamps count 33 bits: the distance from `first` to `pts`,
// across a wrap.
std::int64_t TimeStampDistance(std::int64_t first, std::int64_t pts);
