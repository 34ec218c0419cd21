// The streaming thread's side of a capture source: it takes the packets
// the reader thread queued, decodes them, gives each picture the capture
// time of the packet it came from, leaves pictures out (never re-times
// them) when it falls behind, and turns each into the pipeline's RGB frame
// (blue, green, red; rows bottom-up; 3 × width bytes a row).
#pragma once

#include "FfmpegPtr.h"
#include "PackedScale.h"
#include "PacketQueue.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

// Resized: the camera's pictures changed their size; Width() and Height()
// give the new one, and the next read delivers the picture at that size.
enum class ReadStatus { Frame, Again, End, Error, Resized };

class PictureDecoder {
public:
    using Clock = std::chrono::steady_clock;

    // False with `error` when the codec cannot decode the stream.
    bool Open(const AVCodec* codec, const AVCodecParameters* par, std::string* error);
    // Reads the next picture into `frame` (3 × Width() × Height() bytes)
    // from `queue`. Again: nothing yet, ask again. End: the stream is over
    // or `stop` is set.
    ReadStatus Read(std::uint8_t* frame, PacketQueue& queue, const std::atomic<bool>& stop);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Each picture decodes on its own (no picture depends on another).
    bool StandAlone() const { return m_standAlone; }
    Clock::time_point CaptureTime() const { return m_captureTime; }
    Clock::duration Silence() const { return m_silence; }
    std::size_t LeftOut() const { return m_leftOutDecoded; }

private:
    struct Stamp {
        std::int64_t pts = 0;
        Clock::time_point time{};
        Clock::duration silence{};
    };
    ReadStatus FeedDecoder(PacketQueue& queue);
    bool TakeStamp(const PacketQueue& queue);
    bool Convert(std::uint8_t* frame);
    bool TakeNewSize();

    CodecContextPtr m_decoder;
    FramePtr m_picture;
    SwsContextPtr m_scaler;
    PackedScaler m_packed;  // rows bottom-up at exactly 3 × width bytes
    std::deque<Stamp> m_stamps;  // of the packets in the decoder
    int m_width = 0;
    int m_height = 0;
    bool m_standAlone = false;
    bool m_draining = false;
    bool m_held = false;  // m_picture waits for the pipeline to take its new size
    Clock::time_point m_captureTime{};
    Clock::duration m_silence{};
    Clock::duration m_pendingSilence{};  // of decoded pictures left out
    Clock::time_point m_lastDelivered{};
    std::size_t m_leftOutDecoded = 0;
};
