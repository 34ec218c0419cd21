// The H.264 encoder and the MP4 muxer of an export: pictures in the true
// colours (packed blue, green, red, top-down) with their times in, or a
// recording's own H.264 pictures copied as they are, a file to hand over
// out: its index before the pictures (it plays while it arrives),
// the colour description of what the pictures are (BT.601 / SMPTE 170M,
// limited range), the first picture's time in UTC (creation_time) and in
// local time with its offset (date), the program in its encoder tag.
#pragma once

#include "FfmpegPtr.h"
#include "PictureClock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;

class Mp4Writer {
public:
    Mp4Writer() = default;
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    struct Tags {
        PreciseTime firstPicture = 0;
        std::string title;
        std::string encoder;
    };

    // Time stamps count in hundredths of a second from the first picture.
    static constexpr int kTimeScale = 100;

    // What a copied clip's pictures are: the recording's parameter sets
    // (Annex B) and what its pictures decode to.
    struct CopiedStream {
        std::vector<std::uint8_t> parameterSets;
        int width = 0;
        int height = 0;
        AVColorRange range = AVCOL_RANGE_MPEG;
        AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
        AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
        AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
    };

    // Opens `path` for a clip of width × height; false with `error`.
    bool Open(const std::string& path, int width, int height, const Tags& tags, std::string* error);
    // Opens `path` for a clip whose pictures are copied (WriteCoded).
    bool OpenCopy(const std::string& path, const CopiedStream& stream, const Tags& tags, std::string* error);
    bool IsOpen() const { return m_output != nullptr; }
    // The clip's picture size, once open.
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // One picture, 3 × width bytes a row in blue, green, red order, shown
    // from `pts` (kTimeScale units, rising from picture to picture).
    bool Write(const std::uint8_t* bgr, int stride, std::int64_t pts, std::string* error);
    // One coded picture (Annex B) of the copied stream, shown from `pts` for
    // `duration`. A refresh picture is a place players may seek to.
    bool WriteCoded(const std::uint8_t* data, std::size_t size, std::int64_t pts, std::int64_t duration, bool refresh,
                    std::string* error);
    // Drains the encoder and writes the trailer; false with `error`.
    bool Finish(std::string* error);

private:
    bool Drain(bool flush, std::string* error);
    bool MakeOutput(const std::string& path, std::string* error);
    bool OpenEncoder(const AVCodec* codec, int width, int height, std::string* error);
    bool WriteHeader(const std::string& path, const Tags& tags, std::string* error);
    bool WritePacket(std::string* error);
    void Close();

    AVFormatContext* m_output = nullptr;  // owned; freed by Close
    bool m_headerWritten = false;
    CodecContextPtr m_encoder;
    FramePtr m_picture;
    PacketPtr m_packet;
    SwsContextPtr m_scaler;
    int m_streamIndex = 0;
    int m_width = 0;
    int m_height = 0;
};
