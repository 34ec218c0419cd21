// Turns the bytes of an MPEG-1 video elementary stream, fed in chunks cut
// anywhere, into pictures: the MPEG-1 video parser finds the picture
// boundaries, the decoder decodes them. Damaged pictures are skipped. Each
// picture carries its number from the start of the file (PictureNumber).
#pragma once

#include "FfmpegPtr.h"
#include "PictureNumbering.h"

#include <cstdint>
#include <functional>

class Mpeg1StreamDecoder {
public:
    enum OpenResult { kOpened = 0, kOpenFailed = 1, kNoDecoder = 2 };
    // Receives each picture; answers false to stop decoding.
    using PictureSink = std::function<bool(const AVFrame* picture)>;

    int Open();
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

private:
    bool Decode(AVPacket* packet, const PictureSink& sink);

    CodecContextPtr m_context;
    ParserPtr m_parser;
    FramePtr m_picture;
    PacketPtr m_packet;
    PictureNumbering m_numbering;
};
