#include "PictureDecoder.h"

#include <algorithm>
#include <cstring>

namespace {

// How long the streaming thread waits for a packet before it looks at its stop.
constexpr auto kTakeWait = std::chrono::milliseconds(100);
// A decoded picture is left out while newer packets wait, but never for
// longer than this since the last one shown.
constexpr auto kLongestLeftOut = std::chrono::milliseconds(250);
constexpr std::size_t kMaxStamps = 64;

}  // namespace

bool PictureDecoder::Open(const AVCodec* codec, const AVCodecParameters* par, std::string* error)
{
    if (codec == nullptr || par->width <= 0 || par->height <= 0) {
        *error = "no decoder for the device's format";
        return false;
    }
    m_decoder.reset(avcodec_alloc_context3(codec));
    m_picture.reset(av_frame_alloc());
    if (!m_decoder || !m_picture || avcodec_parameters_to_context(m_decoder.get(), par) < 0) {
        *error = "out of memory";
        return false;
    }
    m_decoder->thread_count = 1;
    const int rc = avcodec_open2(m_decoder.get(), codec, nullptr);
    if (rc < 0) {
        *error = "cannot open the decoder: " + AvErrorText(rc);
        return false;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(par->codec_id);
    m_standAlone = par->codec_id == AV_CODEC_ID_WRAPPED_AVFRAME ||
                   (descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0);
    m_width = par->width;
    m_height = par->height;
    return true;
}

ReadStatus PictureDecoder::Read(std::uint8_t* frame, PacketQueue& queue, const std::atomic<bool>& stop)
{
    for (;;) {
        if (stop)
            return ReadStatus::End;
        if (!m_held) {
            const int rc = avcodec_receive_frame(m_decoder.get(), m_picture.get());
            if (rc == AVERROR(EAGAIN)) {
                const ReadStatus fed = FeedDecoder(queue);
                if (fed != ReadStatus::Frame)
                    return fed;
                continue;
            }
            if (rc == AVERROR_EOF)
                return ReadStatus::End;
            if (rc < 0)
                return ReadStatus::Error;
            if (!TakeStamp(queue)) {
                av_frame_unref(m_picture.get());
                continue;
            }
        }
        m_held = TakeNewSize();
        if (m_held)
            return ReadStatus::Resized;
        const bool converted = Convert(frame);
        av_frame_unref(m_picture.get());
        if (converted)
            return ReadStatus::Frame;
    }
}

// Hands the decoder the next packet; Frame means "fed".
ReadStatus PictureDecoder::FeedDecoder(PacketQueue& queue)
{
    if (m_draining)
        return ReadStatus::End;
    StampedPacket packet;
    switch (queue.Take(kTakeWait, m_standAlone, &packet)) {
    case PacketQueue::Took::Nothing:
        return ReadStatus::Again;
    case PacketQueue::Took::End:
    case PacketQueue::Took::Error:
        // End of stream or a lost device: drain what the decoder still holds.
        m_draining = true;
        avcodec_send_packet(m_decoder.get(), nullptr);
        return ReadStatus::Frame;
    case PacketQueue::Took::Packet:
        break;
    }
    if (m_stamps.size() >= kMaxStamps)
        m_stamps.pop_front();
    m_stamps.push_back(Stamp{packet.packet->pts, packet.captureTime, packet.silence});
    // A damaged packet (MJPEG from a flaky camera) is refused and skipped.
    if (avcodec_send_packet(m_decoder.get(), packet.packet.get()) < 0)
        m_stamps.pop_back();
    return ReadStatus::Frame;
}

// The decoded picture's capture time, from the packet it came from (by its
// time stamp when the decoder reorders, else the oldest in the decoder).
// False when it is left out: a picture that depends on others is decoded
// whatever happens, but shown and recorded only if no newer one waits.
bool PictureDecoder::TakeStamp(const PacketQueue& queue)
{
    if (m_stamps.empty())
        return false;
    const std::int64_t pts = m_picture->best_effort_timestamp;
    auto it = std::find_if(m_stamps.begin(), m_stamps.end(), [pts](const Stamp& s) { return s.pts == pts; });
    if (pts == AV_NOPTS_VALUE || it == m_stamps.end())
        it = m_stamps.begin();
    const Stamp stamp = *it;
    m_stamps.erase(it);
    const auto now = Clock::now();
    if (!m_standAlone && queue.HasWaiting() && now - m_lastDelivered < kLongestLeftOut) {
        m_pendingSilence = std::max(m_pendingSilence, stamp.silence);
        ++m_leftOutDecoded;
        return false;
    }
    m_captureTime = stamp.time;
    m_silence = std::max(stamp.silence, m_pendingSilence);
    m_pendingSilence = {};
    m_lastDelivered = now;
    return true;
}

bool PictureDecoder::Convert(std::uint8_t* frame)
{
    const AVFrame* p = m_picture.get();
    const int stride = 3 * m_width;
    if (p->format == AV_PIX_FMT_BGR24 && p->width == m_width && p->height == m_height) {
        // Already the pipeline's pixels: only the rows turn bottom-up.
        for (int y = 0; y < m_height; ++y)
            std::memcpy(frame + static_cast<std::size_t>(m_height - 1 - y) * stride,
                        p->data[0] + static_cast<std::ptrdiff_t>(y) * p->linesize[0], static_cast<std::size_t>(stride));
        return true;
    }
    SwsContext* s = CachedScaler(m_scaler, p->width, p->height, static_cast<AVPixelFormat>(p->format),
                                 m_width, m_height, AV_PIX_FMT_BGR24, SWS_BICUBIC);
    if (s == nullptr)
        return false;
    m_packed.Scale(s, p, m_width, m_height, frame + static_cast<std::size_t>(m_height - 1) * stride, -stride);
    return true;
}

// A camera whose pictures change their size (a new resolution chosen in its
// own settings) is shown and recorded at the new size, not squeezed into
// the old one.
bool PictureDecoder::TakeNewSize()
{
    const int width = m_picture->width;
    const int height = m_picture->height;
    if (width <= 0 || height <= 0 || (width == m_width && height == m_height))
        return false;
    m_width = width;
    m_height = height;
    return true;
}
