// Reading MPEG-TS recordings without a demuxer: the bytes of the video
// stream (its packets' payloads, in order) and the time stamps of its
// pictures, from 188-byte transport packets. Damaged or foreign packets
// are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
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
