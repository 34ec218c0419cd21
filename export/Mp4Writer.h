// The H.264 encoder and the MP4 muxer of an export: pictures in the true
// colours (packed blue, green, red, top-down) in, a file with a duration out.
#pragma once

#include "FfmpegPtr.h"
#include "TextFormat.h"

#include <memory>
#include <string>

struct AVFormatContext;

class Mp4Writer {
public:
    Mp4Writer() = default;
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // Opens `path` for a clip of width × height; false with `error`.
    bool Open(const std::string& path, int width, int height, TimeValue firstPicture, const std::string& title,
              std::string* error);
    bool IsOpen() const { return m_output != nullptr; }
    // One picture, 3 × width bytes a row in blue, green, red order.
    bool Write(const std::uint8_t* bgr, int stride, std::string* error);
    // Drains the encoder and writes the trailer; false with `error`.
    bool Finish(std::string* error);

private:
    bool Drain(bool flush, std::string* error);
    void Close();

    AVFormatContext* m_output = nullptr;  // owned; freed by Close
    bool m_headerWritten = false;
    CodecContextPtr m_encoder;
    FramePtr m_picture;
    PacketPtr m_packet;
    SwsContextPtr m_scaler;
    int m_streamIndex = 0;
    std::int64_t m_nextPts = 0;
};
