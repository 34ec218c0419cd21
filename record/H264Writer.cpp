#include "H264Writer.h"

#include "H264Units.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

namespace {

constexpr int kIoBuffer = 188 * 64;

}  // namespace

void H264Writer::MuxerFree::operator()(AVFormatContext* f) const
{
    avformat_free_context(f);
}

void H264Writer::IoFree::operator()(AVIOContext* io) const
{
    av_freep(&io->buffer);
    avio_context_free(&io);
}

H264Writer::H264Writer() = default;

H264Writer::~H264Writer()
{
    Close();
}

std::int64_t H264Writer::MaxBitRate(int width, int height)
{
    // 2 Mbit/s at 1080p, in proportion to the pixels, never under 256 kbit/s.
    return std::max<std::int64_t>(256000, static_cast<std::int64_t>(width) * height * 2000000 / (1920 * 1080));
}

bool H264Writer::Open(int width, int height, PreciseTime firstPicture, Sink sink, std::string* error)
{
    Close();
    m_sink = std::move(sink);
    m_sinkFailed = false;
    m_mark = H264FirstPictureMark(firstPicture);
    m_packet.reset(av_packet_alloc());
    if (!m_packet) {
        *error = "out of memory";
        return false;
    }
    m_codec = OpenCodec(width, height, m_settings, 0, error);
    if (m_codec && OpenMuxer(error))
        return true;
    Close();
    return false;
}

CodecContextPtr H264Writer::OpenCodec(int width, int height, const Settings& settings, int flags, std::string* error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    CodecContextPtr context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    if (!context) {
        *error = codec == nullptr ? "no H.264 encoder (libx264)" : "out of memory";
        return nullptr;
    }
    AVCodecContext* c = context.get();
    c->flags |= flags;
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, kPicturesPerSecond};
    c->framerate = AVRational{kPicturesPerSecond, 1};
    c->gop_size = settings.keyInterval;
    c->qcompress = settings.complexityFollow;
    c->max_b_frames = 0;
    c->thread_count = 1;  // four cameras share the cores; one thread each costs least
    c->rc_max_rate = MaxBitRate(width, height);
    c->rc_buffer_size = static_cast<int>(2 * c->rc_max_rate);
    c->color_range = AVCOL_RANGE_MPEG;
    const bool hd = height > 576;
    c->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    c->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    c->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    av_opt_set(c->priv_data, "preset", settings.preset, 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    av_opt_set_int(c->priv_data, "crf", settings.crf, 0);
    if ((flags & AV_CODEC_FLAG_GLOBAL_HEADER) == 0)
        av_opt_set(c->priv_data, "x264-params", "repeat-headers=1", 0);
    const int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        *error = "cannot open the H.264 encoder: " + AvErrorText(rc);
        return nullptr;
    }
    return context;
}

bool H264Writer::OpenMuxer(std::string* error)
{
    AVFormatContext* muxer = nullptr;
    int rc = avformat_alloc_output_context2(&muxer, nullptr, "mpegts", nullptr);
    m_muxer.reset(muxer);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBuffer));
    m_io.reset(buffer != nullptr ? avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, &H264Writer::WriteBytes,
                                                      nullptr)
                                 : nullptr);
    if (m_io == nullptr)
        av_free(buffer);
    AVStream* stream = m_muxer && m_io ? avformat_new_stream(m_muxer.get(), nullptr) : nullptr;
    if (rc < 0 || stream == nullptr) {
        *error = rc < 0 ? "cannot make the transport stream: " + AvErrorText(rc) : "out of memory";
        return false;
    }
    m_muxer->pb = m_io.get();
    m_muxer->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    stream->time_base = m_codec->time_base;
    avcodec_parameters_from_context(stream->codecpar, m_codec.get());
    rc = avformat_write_header(m_muxer.get(), nullptr);
    if (rc < 0) {
        *error = "cannot begin the transport stream: " + AvErrorText(rc);
        return false;
    }
    return true;
}

int H264Writer::WriteBytes(void* opaque, std::uint8_t* data, int size)
{
    auto* self = static_cast<H264Writer*>(opaque);
    if (!self->m_sinkFailed && !self->m_sink(data, static_cast<std::size_t>(size)))
        self->m_sinkFailed = true;
    return self->m_sinkFailed ? AVERROR(EIO) : size;
}

bool H264Writer::Write(AVFrame* picture, long long slot, bool intra)
{
    if (!IsOpen())
        return false;
    picture->pts = slot;
    picture->pict_type = intra ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return Drain(picture);
}

// Sends `picture` (null: the end) and writes what the codec gives out.
bool H264Writer::Drain(const AVFrame* picture)
{
    if (avcodec_send_frame(m_codec.get(), picture) < 0)
        return false;
    for (;;) {
        const int rc = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (rc < 0)
            return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
        const bool written = WritePacket(m_packet.get());
        av_packet_unref(m_packet.get());
        if (!written)
            return false;
    }
}

bool H264Writer::WritePacket(AVPacket* packet)
{
    if (!m_mark.empty()) {
        const auto size = static_cast<std::size_t>(packet->size);
        const std::size_t place = FirstSlice(packet->data, size);
        const int grow = static_cast<int>(m_mark.size());
        if (av_grow_packet(packet, grow) < 0)
            return false;
        std::memmove(packet->data + place + grow, packet->data + place, size - place);
        std::memcpy(packet->data + place, m_mark.data(), m_mark.size());
        m_mark.clear();
    }
    AVStream* stream = m_muxer->streams[0];
    av_packet_rescale_ts(packet, m_codec->time_base, stream->time_base);
    packet->stream_index = 0;
    return av_interleaved_write_frame(m_muxer.get(), packet) >= 0 && !m_sinkFailed;
}

void H264Writer::Close()
{
    if (m_muxer && m_codec && !m_sinkFailed) {
        Drain(nullptr);
        av_write_trailer(m_muxer.get());
    }
    m_muxer.reset();
    m_io.reset();
    m_codec.reset();
    m_packet.reset();
}
