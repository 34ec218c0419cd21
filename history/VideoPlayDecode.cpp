// The player's decoding side: the decoder set-up and the decoding thread.
#include "VideoPlayDlg.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstring>

int CVideoPlayDlg::InitDecoder()
{
    std::memset(m_inbuf + kChunkSize, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    m_decoder = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
    if (m_decoder == nullptr)
        return kNoDecoder;
    m_context.reset(avcodec_alloc_context3(m_decoder));
    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    m_parser.reset(av_parser_init(AV_CODEC_ID_MPEG1VIDEO));
    if (!m_context || !m_picture || !m_packet || !m_parser ||
        avcodec_open2(m_context.get(), m_decoder, nullptr) < 0) {
        m_context.reset();
        return kDecoderOpenFailed;
    }
    return kPlayStarted;
}

int CVideoPlayDlg::DecodeThread()
{
    for (;;) {
        std::size_t count = 0;
        if (!ReadChunk(&count)) {
            FinishPlayback(false);
            break;
        }
        if (count > 0) {
            if (!FeedChunk(count)) {
                FinishPlayback(false);
                break;
            }
            continue;
        }
        Drain();
        if (FinishPlayback(true))
            break;
    }
    m_endEvent.Set();
    return 0;
}

// Under the lock: false when playback is to end (stopped, or no file since
// a PlayFile could not open its file).
bool CVideoPlayDlg::ReadChunk(std::size_t* count)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_state == Stopped || !m_file)
        return false;
    if (m_bResetStream) {
        ResetStream();
        m_bResetStream = false;
    }
    *count = std::fread(m_inbuf, 1, kChunkSize, m_file.get());
    std::memset(m_inbuf + *count, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    PostTrackPosition(ftello(m_file.get()));
    return true;
}

// The end of a playback, unless a new file or a seek came in while the
// last pictures were drained: then the thread goes on with it.
bool CVideoPlayDlg::FinishPlayback(bool atEndOfFile)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (atEndOfFile && m_bResetStream && m_state != Stopped && m_file)
        return false;
    PostButtonImage(kImageStop);
    m_state = Stopped;
    return true;
}

void CVideoPlayDlg::ResetStream()
{
    m_parser.reset(av_parser_init(AV_CODEC_ID_MPEG1VIDEO));
    avcodec_flush_buffers(m_context.get());
}

// Cuts the chunk into pictures and decodes them; false when playback ends.
bool CVideoPlayDlg::FeedChunk(std::size_t count)
{
    const std::uint8_t* data = m_inbuf;
    int left = static_cast<int>(count);
    while (left > 0 && m_parser) {
        const int used = av_parser_parse2(m_parser.get(), m_context.get(), &m_packet->data, &m_packet->size,
                                          data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return true;  // the rest of this chunk is unusable
        data += used;
        left -= used;
        if (m_packet->size > 0 && !DecodePacket(m_packet.get(), true))
            return false;
    }
    return true;
}

// A damaged picture is skipped; only running out of memory ends playback.
bool CVideoPlayDlg::DecodePacket(const AVPacket* packet, bool paced)
{
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
        DisplayFrame(m_picture.get(), m_picture->width, m_picture->height);
        av_frame_unref(m_picture.get());
        if (paced && !PollAfterPicture())
            return false;
    }
}

// At the end of the file: the parser's last picture, then the one the
// decoder holds back; no pause follows the very last.
void CVideoPlayDlg::Drain()
{
    if (!m_parser)
        return;
    av_parser_parse2(m_parser.get(), m_context.get(), &m_packet->data, &m_packet->size, nullptr, 0,
                     AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (m_packet->size > 0 && !DecodePacket(m_packet.get(), true))
        return;
    DecodePacket(nullptr, false);
}

bool CVideoPlayDlg::PollAfterPicture()
{
    for (;;) {
        PlayState state;
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            state = m_state;
        }
        if (state == Stopped)
            return false;
        if (state != Paused)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (const int pause = m_pacingMs; pause > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    else
        std::this_thread::yield();
    return true;
}

void CVideoPlayDlg::DisplayFrame(const AVFrame* picture, int width, int height)
{
    if (m_back.width() != width || m_back.height() != height)
        m_back = QImage(width, height, QImage::Format_BGR888);
    if (m_back.isNull() || !ConvertFrameToRGB(width, height, picture, &m_back))
        return;
    {
        std::lock_guard<std::mutex> lock(m_imageLock);
        std::swap(m_image, m_back);
    }
    ++m_picturesShown;
    PostRepaint();
}

// The decoder's picture as packed RGB into an image that reads its bytes as
// blue, green, red: recordings hold the scene with red and blue exchanged,
// so this shows it in its true colours.
bool CVideoPlayDlg::ConvertFrameToRGB(int width, int height, const AVFrame* picture, QImage* output)
{
    SwsContext* scaler = CachedScaler(m_scaler, width, height, static_cast<AVPixelFormat>(picture->format),
                                      width, height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    if (scaler == nullptr)
        return false;
    std::uint8_t* dst[4] = {output->bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(output->bytesPerLine()), 0, 0, 0};
    sws_scale(scaler, picture->data, picture->linesize, 0, height, dst, dstStride);
    return true;
}

void CVideoPlayDlg::ReleasePlayback()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_file.reset();
    m_parser.reset();
    m_context.reset();
    m_picture.reset();
    m_packet.reset();
    m_scaler.reset();
    m_bDecoderOpen = false;
}
