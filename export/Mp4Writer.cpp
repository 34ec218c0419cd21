#include "Mp4Writer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <ctime>

namespace {

// ISO 8601 in UTC, as MP4 players read creation_time.
std::string UtcText(TimeValue time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[40] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return text;
}

}  // namespace

Mp4Writer::~Mp4Writer()
{
    Close();
}

void Mp4Writer::Close()
{
    if (m_output != nullptr) {
        avio_closep(&m_output->pb);
        avformat_free_context(m_output);
        m_output = nullptr;
    }
    m_encoder.reset();
}

bool Mp4Writer::Open(const std::string& path, int width, int height, TimeValue firstPicture, const std::string& title,
                     std::string* error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr)
        codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        *error = "no H.264 encoder in this FFmpeg";
        return false;
    }
    int rc = avformat_alloc_output_context2(&m_output, nullptr, "mp4", path.c_str());
    AVStream* stream = rc >= 0 ? avformat_new_stream(m_output, nullptr) : nullptr;
    m_encoder.reset(avcodec_alloc_context3(codec));
    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (rc < 0 || stream == nullptr || !m_encoder || !m_picture || !m_packet) {
        *error = "cannot prepare the MP4 file: " + (rc < 0 ? AvErrorText(rc) : std::string("out of memory"));
        return false;
    }
    AVCodecContext* c = m_encoder.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, 25};
    c->framerate = AVRational{25, 1};
    c->gop_size = 50;
    c->max_b_frames = 0;  // no reordering delay: the first picture is at time 0 in every player
    c->thread_count = 1;
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "crf", "20", 0);
    if ((rc = avcodec_open2(c, codec, nullptr)) < 0 || (rc = avcodec_parameters_from_context(stream->codecpar, c)) < 0) {
        *error = "cannot open the H.264 encoder: " + AvErrorText(rc);
        return false;
    }
    stream->time_base = c->time_base;
    m_streamIndex = stream->index;
    av_dict_set(&m_output->metadata, "creation_time", UtcText(firstPicture).c_str(), 0);
    av_dict_set(&m_output->metadata, "title", title.c_str(), 0);
    m_picture->format = c->pix_fmt;
    m_picture->width = width;
    m_picture->height = height;
    if ((rc = av_frame_get_buffer(m_picture.get(), 0)) < 0 ||
        (rc = avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
        (rc = avformat_write_header(m_output, nullptr)) < 0) {
        *error = "cannot write " + path + ": " + AvErrorText(rc);
        return false;
    }
    m_headerWritten = true;
    return true;
}

bool Mp4Writer::Write(const std::uint8_t* bgr, int stride, std::string* error)
{
    AVCodecContext* c = m_encoder.get();
    SwsContext* scaler = CachedScaler(m_scaler, c->width, c->height, AV_PIX_FMT_BGR24, c->width, c->height,
                                      AV_PIX_FMT_YUV420P, SWS_BICUBIC);
    if (scaler == nullptr || av_frame_make_writable(m_picture.get()) < 0) {
        *error = "out of memory";
        return false;
    }
    const std::uint8_t* src[1] = {bgr};
    const int srcStride[1] = {stride};
    sws_scale(scaler, src, srcStride, 0, c->height, m_picture->data, m_picture->linesize);
    m_picture->pts = m_nextPts++;
    const int rc = avcodec_send_frame(c, m_picture.get());
    if (rc < 0) {
        *error = "H.264 encoding failed: " + AvErrorText(rc);
        return false;
    }
    return Drain(false, error);
}

bool Mp4Writer::Drain(bool flush, std::string* error)
{
    if (flush)
        avcodec_send_frame(m_encoder.get(), nullptr);
    for (;;) {
        int rc = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0) {
            *error = "H.264 encoding failed: " + AvErrorText(rc);
            return false;
        }
        m_packet->stream_index = m_streamIndex;
        m_packet->duration = 1;  // one picture: the clip's last one counts in its duration too
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, m_output->streams[m_streamIndex]->time_base);
        rc = av_interleaved_write_frame(m_output, m_packet.get());  // takes the packet's data
        if (rc < 0) {
            *error = "cannot write the clip: " + AvErrorText(rc);
            return false;
        }
    }
}

bool Mp4Writer::Finish(std::string* error)
{
    if (!m_headerWritten)
        return false;
    if (!Drain(true, error))
        return false;
    const int rc = av_write_trailer(m_output);
    if (rc < 0) {
        *error = "cannot finish the clip: " + AvErrorText(rc);
        return false;
    }
    const int closed = avio_closep(&m_output->pb);
    if (closed < 0) {
        *error = "cannot finish the clip: " + AvErrorText(closed);
        return false;
    }
    return true;
}
