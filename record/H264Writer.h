// One camera's pictures as H.264 (libx264) in MPEG-TS, the space-saving
// recording format. Each picture's slot becomes its time stamp (1/25 s a
// slot), so a slot that repeats the previous picture is simply not coded:
// the stream's time goes on, and every player holds the picture. The first
// picture's time goes into the stream as an unregistered-user-data SEI
// message before the first picture, to the microsecond, beside the words
// "true colours". Pictures go out as soon as they are coded (no B pictures,
// no look-ahead), in 188-byte transport packets handed to a sink that
// writes them whole or not at all; a cut at any byte leaves every earlier
// picture decodable. The colours are tagged: BT.601 up to 576 lines,
// BT.709 above.
#pragma once

#include "FfmpegPtr.h"
#include "PictureClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct AVFormatContext;
struct AVIOContext;

class H264Writer {
public:
    // Receives the transport stream's bytes; false when they were not kept.
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;
    static constexpr int kPicturesPerSecond = kRecordingPicturesPerSecond;

    // libx264's speed preset, constant quality (lower: better, larger),
    // the longest distance between intra pictures, which a seek decodes at
    // most and which carry most of a still scene's bytes, and how far the
    // quality follows a picture's complexity (libx264's 0.6 spends more on
    // the intra pictures of a still scene than its stamp's change needs).
    struct Settings {
        const char* preset = "ultrafast";
        int crf = 36;
        int keyInterval = 5 * kPicturesPerSecond;
        float complexityFollow = 0.75f;
    };

    H264Writer();
    void SetSettings(const Settings& settings) { m_settings = settings; }
    ~H264Writer();
    H264Writer(const H264Writer&) = delete;
    H264Writer& operator=(const H264Writer&) = delete;

    // Opens the codec and the container for a new stream whose first
    // picture shows `firstPicture`; false with `error`.
    bool Open(int width, int height, PreciseTime firstPicture, Sink sink, std::string* error);
    bool IsOpen() const { return m_muxer != nullptr; }
    // Codes `picture` (YUV 4:2:0 of the opened size) as slot `slot`, which
    // is larger than the last one's; `intra` asks for an intra picture.
    bool Write(AVFrame* picture, long long slot, bool intra);
    // Drains the codec, ends the stream and frees everything.
    void Close();

    // The rate ceiling for a size, bit/s.
    static std::int64_t MaxBitRate(int width, int height);
    // The codec every recording of a size is coded with (pictures' time
    // stamps count slots); `flags` are added to the codec's (a global header).
    static CodecContextPtr OpenCodec(int width, int height, const Settings& settings, int flags, std::string* error);

private:
    struct MuxerFree {
        void operator()(AVFormatContext* f) const;
    };
    struct IoFree {
        void operator()(AVIOContext* io) const;
    };
    static int WriteBytes(void* opaque, std::uint8_t* data, int size);
    bool OpenMuxer(std::string* error);
    bool Drain(const AVFrame* picture);
    bool WritePacket(AVPacket* packet);

    CodecContextPtr m_codec;
    std::unique_ptr<AVIOContext, IoFree> m_io;
    std::unique_ptr<AVFormatContext, MuxerFree> m_muxer;
    PacketPtr m_packet;
    Sink m_sink;
    std::string m_mark;  // the SEI message, until the first picture carries it
    bool m_sinkFailed = false;
    Settings m_settings;
};
