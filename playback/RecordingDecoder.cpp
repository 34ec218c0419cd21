#include "RecordingDecoder.h"

#include "PictureClock.h"

#include <algorithm>

AVCodecID RecordingDecoder::CodecId() const
{
    return m_format == Format::kTransport ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG1VIDEO;
}

int RecordingDecoder::Open(Format format, std::int64_t firstPts)
{
    Close();
    m_format = format;
    m_firstPts = firstPts;
    const AVCodec* decoder = avcodec_find_decoder(CodecId());
    if (decoder == nullptr)
        return kNoDecoder;
    CodecContextPtr context(avcodec_alloc_context3(decoder));
    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    m_parser.reset(av_parser_init(CodecId()));
    context->thread_count = 1;
    if (!context || !m_picture || !m_packet || !m_parser || avcodec_open2(context.get(), decoder, nullptr) < 0)
        return kOpenFailed;
    m_context = std::move(context);
    return kOpened;
}

void RecordingDecoder::Close()
{
    m_parser.reset();
    m_context.reset();
    m_picture.reset();
    m_packet.reset();
}

void RecordingDecoder::Reset()
{
    m_parser.reset(av_parser_init(CodecId()));
    m_numbering.Reset();
    m_demux.Reset();
    if (m_context)
        avcodec_flush_buffers(m_context.get());
}

void RecordingDecoder::SetIntraOnly(bool intraOnly)
{
    if (m_context)
        m_context->skip_frame = intraOnly ? AVDISCARD_NONKEY : AVDISCARD_DEFAULT;
}

// The decoder hands each picture's packet time stamp on to the picture in
// display order, so the number rides there.
long long RecordingDecoder::PictureNumber(const AVFrame* picture)
{
    return picture->pts == AV_NOPTS_VALUE ? PictureNumbering::kUnknown : picture->pts;
}

bool RecordingDecoder::Feed(const std::uint8_t* data, int size, const PictureSink& sink)
{
    if (m_format == Format::kMpeg1)
        return ParseVideo(data, size, AV_NOPTS_VALUE, sink);
    bool going = true;
    m_demux.Feed(data, static_cast<std::size_t>(std::max(0, size)),
                 [&](const std::uint8_t* video, std::size_t count, std::optional<std::int64_t> pts) {
                     // The parser reads past the end of what it is given.
                     m_payload.assign(video, video + count);
                     m_payload.resize(count + AV_INPUT_BUFFER_PADDING_SIZE, 0);
                     going = ParseVideo(m_payload.data(), static_cast<int>(count), pts.value_or(AV_NOPTS_VALUE), sink);
                     return going;
                 });
    return going;
}

// Video bytes into the parser; `pts` goes with the picture that begins in them.
bool RecordingDecoder::ParseVideo(const std::uint8_t* data, int size, std::int64_t pts, const PictureSink& sink)
{
    while (size > 0 && m_parser && m_context) {
        const int used = av_parser_parse2(m_parser.get(), m_context.get(), &m_packet->data, &m_packet->size,
                                          data, size, pts, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return true;  // the rest of this chunk is unusable
        data += used;
        size -= used;
        if (used > 0)
            pts = AV_NOPTS_VALUE;
        // A picture can come out of the parser's buffer without a byte taken.
        if (m_packet->size > 0 && !Decode(m_packet.get(), sink))
            return false;
        if (used == 0 && m_packet->size == 0)
            return true;
    }
    return true;
}

void RecordingDecoder::Drain(const PictureSink& sink, const PictureSink& last)
{
    if (!m_parser || !m_context)
        return;
    av_parser_parse2(m_parser.get(), m_context.get(), &m_packet->data, &m_packet->size, nullptr, 0,
                     AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (m_packet->size > 0 && !Decode(m_packet.get(), sink))
        return;
    Decode(nullptr, last);
}

// A damaged picture is skipped; only running out of memory ends decoding.
bool RecordingDecoder::Decode(AVPacket* packet, const PictureSink& sink)
{
    if (packet != nullptr && m_format == Format::kMpeg1) {
        const long long number = m_numbering.Number(packet->data, packet->size);
        packet->pts = number == PictureNumbering::kUnknown ? AV_NOPTS_VALUE : number;
    } else if (packet != nullptr) {
        const std::int64_t pts = m_parser->pts;
        packet->pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                            : TimeStampDistance(m_firstPts, pts) / (90000 / kRecordingPicturesPerSecond);
    }
    const int sent = avcodec_send_packet(m_context.get(), packet);
    if (sent == AVERROR(ENOMEM))
        return false;
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF)
        return true;
    for (;;) {
        const int rc = avcodec_receive_frame(m_context.get(), m_picture.get());
        if (rc == AVERROR(ENOMEM))
            return false;
        if (rc < 0)
            return true;
        const bool more = sink(m_picture.get());
        av_frame_unref(m_picture.get());
        if (!more)
            return false;
    }
}
