// Turns the bytes of a recording, fed in chunks cut anywhere, into
// pictures. An MPEG-1 recording is a video elementary stream: the MPEG-1
// video parser finds the picture boundaries, the decoder decodes them, and
// each picture's number comes from its group's time code. An H.264
// recording is a transport stream: its video bytes are taken out of the
// packets, the H.264 parser and decoder do the rest, and each picture's
// number is its time stamp's distance from the file's first picture in
// slots of 1/25 s. Damaged pictures are skipped. Each picture carries its
// number from the start of the file (PictureNumber).
#pragma once

#include "FfmpegPtr.h"
#include "PictureNumbering.h"
#include "TransportStream.h"

#include <cstdint>
#include <functional>
#include <vector>

class RecordingDecoder {
public:
    enum OpenResult { kOpened = 0, kOpenFailed = 1, kNoDecoder = 2 };
    // Receives each picture; answers false to stop decoding.
    using PictureSink = std::function<bool(const AVFrame* picture)>;

    enum class Format { kMpeg1, kTransport };

    // `firstPts`: a transport stream's first picture's time stamp, which
    // numbers its pictures.
    int Open(Format format = Format::kMpeg1, std::int64_t firstPts = 0);
    Format StreamFormat() const { return m_format; }
    std::int64_t FirstPts() const { return m_firstPts; }
    bool IsOpen() const { return m_context != nullptr; }
    void Close();
    // Forgets the stream so far: the next bytes start a new one.
    void Reset();
    // `data` must be followed by AV_INPUT_BUFFER_PADDING_SIZE readable bytes.
    // False when the sink asked to stop or the decoder ran out of memory.
    bool Feed(const std::uint8_t* data, int size, const PictureSink& sink);
    // The end of the stream: the parser's last picture, then the decoder's.
    // `last` receives the very last ones, which are not followed by a pause.
    void Drain(const PictureSink& sink, const PictureSink& last);
    // Only intra pictures are decoded while set; the others are skipped.
    void SetIntraOnly(bool intraOnly);
    // The number of a picture from the sink, or PictureNumbering::kUnknown
    // before the stream's first group of pictures.
    static long long PictureNumber(const AVFrame* picture);
    // Whether the decoder found damage in a picture and hid it.
    static bool Concealed(const AVFrame* picture)
    {
        return picture->decode_error_flags != 0 || (picture->flags & AV_FRAME_FLAG_CORRUPT) != 0;
    }

private:
    bool Decode(AVPacket* packet, const PictureSink& sink);
    bool ParseVideo(const std::uint8_t* data, int size, std::int64_t pts, const PictureSink& sink);
    AVCodecID CodecId() const;

    CodecContextPtr m_context;
    ParserPtr m_parser;
    FramePtr m_picture;
    PacketPtr m_packet;
    PictureNumbering m_numbering;
    Format m_format = Format::kMpeg1;
    TransportDemux m_demux;
    std::int64_t m_firstPts = 0;
    std::vector<std::uint8_t> m_payload;  // a transport packet's video bytes and their padding
};
