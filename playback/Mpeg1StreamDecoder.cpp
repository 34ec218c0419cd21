#include "Mpeg1StreamDecoder.h"

int Mpeg1StreamDecoder::Open()
{
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
    if (decoder == nullptr)
        return kNoDecoder;
    CodecContextPtr context(avcodec_alloc_context3(decoder));
    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    m_parser.reset(av_parser_init(AV_CODEC_ID_MPEG1VIDEO));
    if (!context || !m_picture || !m_packet || !m_parser || avcodec_open2(context.get(), decoder, nullptr) < 0)
        return kOpenFailed;
    m_context = std::move(context);
    return kOpened;
}

void Mpeg1StreamDecoder::Close()
{
    m_parser.reset();
    m_context.reset();
    m_picture.reset();
    m_packet.reset();
}

void Mpeg1StreamDecoder::Reset()
{
    m_parser.reset(av_parser_init(AV_CODEC_ID_MPEG1VIDEO));
    m_numbering.Reset();
    if (m_context)
        avcodec_flush_buffers(m_context.get());
}

void Mpeg1StreamDecoder::SetIntraOnly(bool intraOnly)
{
    if (m_context)
        m_context->skip_frame = intraOnly ? AVDISCARD_NONKEY : AVDISCARD_DEFAULT;
}

// The decoder hands each picture's packet time stamp on to the picture in
// display order, so the number rides there.
long long Mpeg1StreamDecoder::PictureNumber(const AVFrame* picture)
{
    return picture->pts == AV_NOPTS_VALUE ? PictureNumbering::kUnknown : picture->pts;
}

bool Mpeg1StreamDecoder::Feed(const std::uint8_t* data, int size, const PictureSink& sink)
{
    while (size > 0 && m_parser && m_context) {
        const int used = av_parser_parse2(m_parser.get(), m_context.get(), &m_packet->data, &m_packet->size,
                                          data, size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return true;  // the rest of this chunk is unusable
        data += used;
        size -= used;
        // A picture can come out of the parser's buffer without a byte taken.
        if (m_packet->size > 0 && !Decode(m_packet.get(), sink))
            return false;
        if (used == 0 && m_packet->size == 0)
            return true;
    }
    return true;
}

void Mpeg1StreamDecoder::Drain(const PictureSink& sink, const PictureSink& last)
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
bool Mpeg1StreamDecoder::Decode(AVPacket* packet, const PictureSink& sink)
{
    if (packet != nullptr) {
        const long long number = m_numbering.Number(packet->data, packet->size);
        packet->pts = number == PictureNumbering::kUnknown ? AV_NOPTS_VALUE : number;
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
