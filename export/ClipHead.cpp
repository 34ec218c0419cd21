#include "ClipHead.h"

#include "H264Units.h"
#include "H264Writer.h"

#include <algorithm>

std::vector<std::uint8_t> ClipHead::RecorderParameterSets(int width, int height)
{
    std::string error;
    const CodecContextPtr codec = H264Writer::OpenCodec(width, height, H264Writer::Settings{},
                                                        AV_CODEC_FLAG_GLOBAL_HEADER, &error);
    if (!codec || codec->extradata == nullptr)
        return {};
    return ParameterSets(codec->extradata, static_cast<std::size_t>(codec->extradata_size));
}

bool ClipHead::Open(int width, int height, std::string* error)
{
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    m_decoder.reset(h264 != nullptr ? avcodec_alloc_context3(h264) : nullptr);
    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_decoder || !m_picture || !m_packet) {
        *error = "no H.264 decoder in this FFmpeg";
        return false;
    }
    m_decoder->thread_count = 1;  // a picture out for each in
    const int rc = avcodec_open2(m_decoder.get(), h264, nullptr);
    if (rc < 0) {
        *error = "cannot open the H.264 decoder: " + AvErrorText(rc);
        return false;
    }
    m_encoder = H264Writer::OpenCodec(width, height, H264Writer::Settings{}, 0, error);
    return m_encoder != nullptr;
}

// Leaves the decoded picture in m_picture; false when none came out.
bool ClipHead::Decode(const std::vector<std::uint8_t>& unit)
{
    av_packet_unref(m_packet.get());
    if (av_new_packet(m_packet.get(), static_cast<int>(unit.size())) < 0)
        return false;
    std::copy(unit.begin(), unit.end(), m_packet->data);
    av_frame_unref(m_picture.get());
    return avcodec_send_packet(m_decoder.get(), m_packet.get()) >= 0 &&
           avcodec_receive_frame(m_decoder.get(), m_picture.get()) >= 0;
}

void ClipHead::Lead(const std::vector<std::uint8_t>& unit)
{
    Decode(unit);
}

bool ClipHead::Encode(const std::vector<std::uint8_t>& unit, long long number, std::int64_t stamp, const Out& out)
{
    if (!Decode(unit))
        return true;  // damaged beyond decoding: the picture before it stays on
    return EncodeLast(number, stamp, out);
}

bool ClipHead::EncodeLast(long long number, std::int64_t stamp, const Out& out)
{
    if (m_picture->data[0] == nullptr)
        return true;
    m_picture->pts = number;
    m_picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(m_encoder.get(), m_picture.get()) < 0)
        return false;
    m_stamps.push_back(stamp);
    return Drain(out);
}

bool ClipHead::Drain(const Out& out)
{
    for (;;) {
        const int rc = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0 || m_stamps.empty())
            return false;
        std::vector<std::uint8_t> bytes(m_packet->data, m_packet->data + m_packet->size);
        const bool refresh = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        const std::int64_t stamp = m_stamps.front();
        m_stamps.pop_front();
        av_packet_unref(m_packet.get());
        if (!out(std::move(bytes), stamp, refresh))
            return false;
    }
}

bool ClipHead::Finish(const Out& out)
{
    if (!m_encoder)
        return true;
    const bool ok = avcodec_send_frame(m_encoder.get(), nullptr) >= 0 && Drain(out);
    m_encoder.reset();
    m_decoder.reset();
    return ok;
}
