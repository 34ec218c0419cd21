#include "Mp4Writer.h"

#include "TextFormat.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

constexpr std::int64_t kPictureDuration = Mp4Writer::kTimeScale / kRecordingPicturesPerSecond;

// The whole second of `time` as ISO 8601 without a zone, in UTC or local
// time; `offset` receives the local time's offset from UTC in seconds.
std::string IsoSeconds(PreciseTime time, bool local, long* offset = nullptr)
{
    const std::time_t t = static_cast<std::time_t>(WholeSeconds(time));
    std::tm parts{};
    if (local)
        localtime_r(&t, &parts);
    else
        gmtime_r(&t, &parts);
    if (offset != nullptr)
        *offset = parts.tm_gmtoff;
    char text[40] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

// In UTC to the microsecond, as MP4 players read creation_time.
std::string UtcText(PreciseTime time)
{
    return StrFormat("%s.%06dZ", IsoSeconds(time, false).c_str(),
                     static_cast<int>(time - WholeSeconds(time) * kMicrosPerSecond));
}

// In local time with its offset from UTC, "2026-12-08T14:05:00.40+08:00".
std::string LocalText(PreciseTime time)
{
    long offset = 0;
    const std::string seconds = IsoSeconds(time, true, &offset);
    const long minutes = std::labs(offset) / 60;
    return StrFormat("%s.%02d%c%02ld:%02ld", seconds.c_str(), Hundredths(time), offset < 0 ? '-' : '+', minutes / 60,
                     minutes % 60);
}

// The pictures are BT.601 at limited range: what the recorder's conversion
// makes and what the clip's conversion from packed colours keeps.
void DescribeColours(AVCodecContext* c)
{
    c->color_range = AVCOL_RANGE_MPEG;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    c->colorspace = AVCOL_SPC_SMPTE170M;
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

bool Mp4Writer::OpenEncoder(const AVCodec* codec, int width, int height, std::string* error)
{
    AVCodecContext* c = m_encoder.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, kTimeScale};
    c->framerate = AVRational{kRecordingPicturesPerSecond, 1};
    c->gop_size = 50;
    c->max_b_frames = 0;  // no reordering delay: the first picture is at time 0 in every player
    c->thread_count = 1;
    DescribeColours(c);
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "crf", "20", 0);
    AVStream* stream = m_output->streams[m_streamIndex];
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc >= 0)
        rc = avcodec_parameters_from_context(stream->codecpar, c);
    if (rc < 0) {
        *error = "cannot open the H.264 encoder: " + AvErrorText(rc);
        return false;
    }
    stream->time_base = c->time_base;
    stream->avg_frame_rate = c->framerate;
    return true;
}

bool Mp4Writer::MakeOutput(const std::string& path, std::string* error)
{
    int rc = avformat_alloc_output_context2(&m_output, nullptr, "mp4", path.c_str());
    AVStream* stream = rc >= 0 ? avformat_new_stream(m_output, nullptr) : nullptr;
    m_packet.reset(av_packet_alloc());
    if (rc < 0 || stream == nullptr || !m_packet) {
        *error = "cannot prepare the MP4 file: " + (rc < 0 ? AvErrorText(rc) : std::string("out of memory"));
        return false;
    }
    m_streamIndex = stream->index;
    return true;
}



bool Mp4Writer::WriteHeader(const std::string& path, const Tags& tags, std::string* error)
{
    const AVCodecParameters* par = m_output->streams[m_streamIndex]->codecpar;
    m_width = par->width;
    m_height = par->height;
    av_dict_set(&m_output->metadata, "creation_time", UtcText(tags.firstPicture).c_str(), 0);
    av_dict_set(&m_output->metadata, "date", LocalText(tags.firstPicture).c_str(), 0);
    av_dict_set(&m_output->metadata, "title", tags.title.c_str(), 0);
    av_dict_set(&m_output->metadata, "encoding_tool", tags.encoder.c_str(), 0);  // the MP4's encoder tag
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    int rc = avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc >= 0)
        rc = avformat_write_header(m_output, &options);
    av_dict_free(&options);
    if (rc < 0) {
        *error = "cannot write " + path + ": " + AvErrorText(rc);
        return false;
    }
    m_headerWritten = true;
    return true;
}

bool Mp4Writer::Open(const std::string& path, int width, int height, const Tags& tags, std::string* error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr)
        codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        *error = "no H.264 encoder in this FFmpeg";
        return false;
    }
    if (!MakeOutput(path, error))
        return false;
    m_encoder.reset(avcodec_alloc_context3(codec));
    m_picture.reset(av_frame_alloc());
    if (!m_encoder || !m_picture) {
        *error = "out of memory";
        return false;
    }
    if (!OpenEncoder(codec, width, height, error))
        return false;
    m_picture->format = AV_PIX_FMT_YUV420P;
    m_picture->width = width;
    m_picture->height = height;
    const int rc = av_frame_get_buffer(m_picture.get(), 0);
    if (rc < 0) {
        *error = "cannot write " + path + ": " + AvErrorText(rc);
        return false;
    }
    return WriteHeader(path, tags, error);
}

bool Mp4Writer::OpenCopy(const std::string& path, const CopiedStream& copied, const Tags& tags, std::string* error)
{
    if (!MakeOutput(path, error))
        return false;
    AVStream* stream = m_output->streams[m_streamIndex];
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_H264;
    par->width = copied.width;
    par->height = copied.height;
    par->format = AV_PIX_FMT_YUV420P;
    par->color_range = copied.range;
    par->color_primaries = copied.primaries;
    par->color_trc = copied.transfer;
    par->color_space = copied.space;
    par->extradata = static_cast<std::uint8_t*>(av_mallocz(copied.parameterSets.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (par->extradata == nullptr) {
        *error = "out of memory";
        return false;
    }
    std::copy(copied.parameterSets.begin(), copied.parameterSets.end(), par->extradata);
    par->extradata_size = static_cast<int>(copied.parameterSets.size());
    stream->time_base = AVRational{1, kTimeScale};
    stream->avg_frame_rate = AVRational{kRecordingPicturesPerSecond, 1};
    return WriteHeader(path, tags, error);
}

bool Mp4Writer::WriteCoded(const std::uint8_t* data, std::size_t size, std::int64_t pts, std::int64_t duration,
                           bool refresh, std::string* error)
{
    av_packet_unref(m_packet.get());
    const int rc = av_new_packet(m_packet.get(), static_cast<int>(size));
    if (rc < 0) {
        *error = "out of memory";
        return false;
    }
    std::copy(data, data + size, m_packet->data);
    m_packet->pts = m_packet->dts = pts;  // no reordering: the recorder codes no B pictures
    m_packet->duration = duration;
    m_packet->flags = refresh ? AV_PKT_FLAG_KEY : 0;
    const AVRational clock{1, kTimeScale};
    av_packet_rescale_ts(m_packet.get(), clock, m_output->streams[m_streamIndex]->time_base);
    return WritePacket(error);
}

bool Mp4Writer::Write(const std::uint8_t* bgr, int stride, std::int64_t pts, std::string* error)
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
    m_picture->pts = pts;
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
        m_packet->duration = kPictureDuration;  // the clip's last picture counts in its duration too
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, m_output->streams[m_streamIndex]->time_base);
        if (!WritePacket(error))
            return false;
    }
}

bool Mp4Writer::WritePacket(std::string* error)
{
    m_packet->stream_index = m_streamIndex;
    const int rc = av_interleaved_write_frame(m_output, m_packet.get());  // takes the packet's data
    if (rc < 0) {
        *error = "cannot write the clip: " + AvErrorText(rc);
        return false;
    }
    return true;
}

bool Mp4Writer::Finish(std::string* error)
{
    if (!m_headerWritten)
        return false;
    if (m_encoder && !Drain(true, error))
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
