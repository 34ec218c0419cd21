// The fake device's pictures: a bar that moves one step a picture over a
// grey ramp, and the picture number as sixteen black or white blocks along
// the top (most significant first), so a test can read which picture it got.
#include "FakeDevice.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

FakeDevice::MjpegEncoder::~MjpegEncoder()
{
    avcodec_free_context(&context);
    av_frame_free(&frame);
    av_packet_free(&packet);
}

namespace {

// Luma of picture `n` at (x, y).
std::uint8_t Luma(std::uint32_t n, std::uint32_t x, std::uint32_t y, std::uint32_t width)
{
    const std::uint32_t block = width / 16;
    if (y < block && x / block < 16)
        return ((n >> (15 - x / block)) & 1) ? 235 : 16;
    if ((x + width - (n * 4) % width) % width < 12)
        return 200;
    return static_cast<std::uint8_t>(40 + x * 120 / width);
}

void DrawYuyv(std::uint8_t* out, std::uint32_t n, std::uint32_t width, std::uint32_t height)
{
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = out + (static_cast<std::size_t>(y) * width + x) * 2;
            p[0] = Luma(n, x, y, width);
            p[1] = 128;  // U for even x, V for odd x: grey
        }
}

}  // namespace

std::size_t FakeDevice::Render(std::uint8_t* out, std::size_t capacity)
{
    const std::uint32_t n = m_sequence;
    if (m_config.pixelFormat == V4L2_PIX_FMT_YUYV) {
        DrawYuyv(out, n, m_config.width, m_config.height);
        return ImageSize();
    }
    if (!m_mjpeg) {
        m_mjpeg = std::make_unique<MjpegEncoder>();
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        m_mjpeg->context = avcodec_alloc_context3(codec);
        m_mjpeg->context->width = static_cast<int>(m_config.width);
        m_mjpeg->context->height = static_cast<int>(m_config.height);
        m_mjpeg->context->pix_fmt = AV_PIX_FMT_YUVJ422P;
        m_mjpeg->context->time_base = AVRational{1, static_cast<int>(m_config.rate)};
        avcodec_open2(m_mjpeg->context, codec, nullptr);
        m_mjpeg->frame = av_frame_alloc();
        m_mjpeg->frame->format = AV_PIX_FMT_YUVJ422P;
        m_mjpeg->frame->width = m_mjpeg->context->width;
        m_mjpeg->frame->height = m_mjpeg->context->height;
        av_frame_get_buffer(m_mjpeg->frame, 0);
        m_mjpeg->packet = av_packet_alloc();
    }
    AVFrame* f = m_mjpeg->frame;
    av_frame_make_writable(f);
    for (std::uint32_t y = 0; y < m_config.height; ++y) {
        for (std::uint32_t x = 0; x < m_config.width; ++x)
            f->data[0][y * f->linesize[0] + x] = Luma(n, x, y, m_config.width);
        std::memset(f->data[1] + y * f->linesize[1], 128, m_config.width / 2);
        std::memset(f->data[2] + y * f->linesize[2], 128, m_config.width / 2);
    }
    f->pts = n;
    std::size_t size = 0;
    if (avcodec_send_frame(m_mjpeg->context, f) == 0 && avcodec_receive_packet(m_mjpeg->context, m_mjpeg->packet) == 0) {
        size = std::min<std::size_t>(capacity, static_cast<std::size_t>(m_mjpeg->packet->size));
        std::memcpy(out, m_mjpeg->packet->data, size);
        av_packet_unref(m_mjpeg->packet);
    }
    return size;
}
