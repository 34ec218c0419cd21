#include "CaptureSource.h"

#include "HostLookup.h"
#include "ProcessResume.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

void RegisterDevicesOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        avdevice_register_all();
        WatchProcessResume();
        // A missing camera is retried every second; the capture layer reports
        // each failure once itself, so the libraries' own lines would only repeat it.
        if (av_log_get_level() > AV_LOG_FATAL)
            av_log_set_level(AV_LOG_FATAL);
    });
}

// An options dictionary with one owner.
class DictionaryPtr {
public:
    DictionaryPtr() = default;
    ~DictionaryPtr() { av_dict_free(&m_dict); }
    DictionaryPtr(const DictionaryPtr&) = delete;
    DictionaryPtr& operator=(const DictionaryPtr&) = delete;
    AVDictionary** Address() { return &m_dict; }

private:
    AVDictionary* m_dict = nullptr;
};

constexpr auto kPacingStep = std::chrono::milliseconds(10);
// A read that returns sooner found its packet buffered already.
constexpr auto kWaitedRead = std::chrono::milliseconds(2);
constexpr auto kLongestFrameGap = std::chrono::seconds(1);

}  // namespace

void CaptureSource::FormatCloser::operator()(AVFormatContext* f) const
{
    avformat_close_input(&f);
}

CaptureSource::CaptureSource() = default;
CaptureSource::~CaptureSource() = default;

// A blocking open or read gives up on a stop and when its deadline passed.
int CaptureSource::Interrupted(void* opaque)
{
    auto* self = static_cast<CaptureSource*>(opaque);
    return self->m_stop || std::chrono::steady_clock::now() > self->m_deadline;
}

void CaptureSource::ExtendDeadline(std::chrono::milliseconds by)
{
    m_deadline = std::chrono::steady_clock::now() + by;
}

bool CaptureSource::Open(const CaptureDeviceEntry& device, std::string* error)
{
    RegisterDevicesOnce();
    ExtendDeadline(kOpenTimeout);
    if (!OpenInput(device, error) || !OpenDecoder(error))
        return false;
    ExtendDeadline(kStallTimeout);
    return true;
}

bool CaptureSource::OpenInput(const CaptureDeviceEntry& device, std::string* error)
{
    const AVInputFormat* format = av_find_input_format(device.format.c_str());
    if (format == nullptr) {
        *error = "unknown capture format '" + device.format + "'";
        return false;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        *error = "out of memory";
        return false;
    }
    raw->interrupt_callback = AVIOInterruptCB{&CaptureSource::Interrupted, this};
    // A V4L2 read must never outlive a stop: EAGAIN means "no frame yet".
    if (device.format == "v4l2")
        raw->flags |= AVFMT_FLAG_NONBLOCK;
    DictionaryPtr options;
    if (device.format == "rtsp")
        av_dict_set(options.Address(), "rtsp_transport", "tcp", 0);  // through firewalls and NAT
    if (!device.options.empty() && av_dict_parse_string(options.Address(), device.options.c_str(), "=", ",", 0) < 0) {
        avformat_free_context(raw);
        *error = "bad input options '" + device.options + "'";
        return false;
    }
    // A virtual camera draws straight in the pipeline's pixel format, so the
    // frame needs no colour conversion, only the flip to bottom-up rows.
    std::string url = device.format == "lavfi" ? device.url + ",format=bgr24" : device.url;
    if (!LookUp(&url, options.Address(), error)) {
        avformat_free_context(raw);
        return false;
    }
    const int rc = avformat_open_input(&raw, url.c_str(), format, options.Address());  // frees raw on failure
    m_openFailure = ClassifyOpenError(rc);
    if (rc < 0) {
        *error = AvErrorText(rc);
        return false;
    }
    m_input.reset(raw);
    m_paced = device.format == "lavfi";
    m_clock = CaptureClock(m_paced                                      ? CaptureClock::Mode::Paced
                           : ReaderInventsStamps(m_input->iformat->name) ? CaptureClock::Mode::Arrival
                                                                         : CaptureClock::Mode::Stamps);
    m_seenResumes = ProcessResumeCount();
    return true;
}

// The camera's host name, looked up before FFmpeg gets the address.
bool CaptureSource::LookUp(std::string* url, AVDictionary** options, std::string* error)
{
    std::string hostHeader;
    switch (LookUpHost(url, &hostHeader, m_stop, m_deadline)) {
    case HostLookup::kNotFound:
        m_openFailure = OpenFailure::kNoAddress;
        *error = "the host name could not be looked up";
        return false;
    case HostLookup::kStopped:
        m_openFailure = OpenFailure::kNoAnswer;
        *error = "stopped while looking up the host name";
        return false;
    case HostLookup::kFound:
        if (!hostHeader.empty())
            av_dict_set(options, "headers", hostHeader.c_str(), AV_DICT_APPEND);
        return true;
    case HostLookup::kNoName:
        break;
    }
    return true;
}

bool CaptureSource::OpenDecoder(std::string* error)
{
    int rc = m_input->nb_streams > 0 && m_input->streams[0]->codecpar->width > 0
                 ? 0
                 : avformat_find_stream_info(m_input.get(), nullptr);
    if (rc >= 0)
        rc = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (rc < 0) {
        *error = "no video stream: " + AvErrorText(rc);
        return false;
    }
    m_stream = rc;
    const AVCodecParameters* par = m_input->streams[m_stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr || par->width <= 0 || par->height <= 0) {
        *error = "no decoder for the device's format";
        return false;
    }
    m_decoder.reset(avcodec_alloc_context3(codec));
    m_packet.reset(av_packet_alloc());
    m_picture.reset(av_frame_alloc());
    if (!m_decoder || !m_packet || !m_picture ||
        avcodec_parameters_to_context(m_decoder.get(), par) < 0) {
        *error = "out of memory";
        return false;
    }
    m_decoder->thread_count = 1;
    rc = avcodec_open2(m_decoder.get(), codec, nullptr);
    if (rc < 0) {
        *error = "cannot open the decoder: " + AvErrorText(rc);
        return false;
    }
    m_width = par->width;
    m_height = par->height;
    return true;
}

ReadStatus CaptureSource::ReadFrame(std::uint8_t* frame)
{
    for (;;) {
        if (m_stop)
            return ReadStatus::End;
        const int rc = m_held ? 0 : avcodec_receive_frame(m_decoder.get(), m_picture.get());
        if (rc == 0 && !m_held) {
            TakeCaptureTime();
            if (IsStaleBacklog()) {
                av_frame_unref(m_picture.get());
                continue;
            }
            if (m_paced)
                Pace();
        }
        if (rc == 0) {
            m_held = TakeNewSize();
            if (m_held)
                return ReadStatus::Resized;
            const bool converted = Convert(frame);
            av_frame_unref(m_picture.get());
            if (converted)
                return ReadStatus::Frame;
            continue;
        }
        if (rc == AVERROR_EOF)
            return ReadStatus::End;
        if (rc != AVERROR(EAGAIN))
            return ReadStatus::Error;
        const ReadStatus packet = ReadPacket();
        if (packet != ReadStatus::Frame)
            return packet;
    }
}

// Feeds the decoder one packet of the video stream. Frame means "fed".
ReadStatus CaptureSource::ReadPacket()
{
    if (m_draining)
        return ReadStatus::End;
    const auto started = std::chrono::steady_clock::now();
    const int rc = av_read_frame(m_input.get(), m_packet.get());
    if (rc == AVERROR(EAGAIN)) {  // a non-blocking device with nothing yet; for too long is a stall
        m_sawAgain = true;
        return std::chrono::steady_clock::now() > m_deadline ? ReadStatus::Error : ReadStatus::Again;
    }
    if (rc >= 0) {
        ExtendDeadline(kStallTimeout);
        m_readWait = m_sawAgain ? std::chrono::steady_clock::duration(kStallTimeout)
                                : std::chrono::steady_clock::now() - started;
        m_sawAgain = false;
    }
    if (rc < 0) {
        // End of stream or a lost device: drain what the decoder still holds.
        m_draining = true;
        avcodec_send_packet(m_decoder.get(), nullptr);
        return ReadStatus::Frame;
    }
    // A damaged packet (MJPEG from a flaky camera) is refused and skipped.
    if (m_packet->stream_index == m_stream)
        avcodec_send_packet(m_decoder.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    return ReadStatus::Frame;
}

bool CaptureSource::Convert(std::uint8_t* frame)
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
bool CaptureSource::TakeNewSize()
{
    const int width = m_picture->width;
    const int height = m_picture->height;
    if (width <= 0 || height <= 0 || (width == m_width && height == m_height))
        return false;
    m_width = width;
    m_height = height;
    return true;
}

void CaptureSource::TakeCaptureTime()
{
    const std::int64_t pts = m_picture->best_effort_timestamp;
    std::optional<std::int64_t> stamp;
    if (pts != AV_NOPTS_VALUE)
        stamp = av_rescale_q(pts, m_input->streams[m_stream]->time_base, AVRational{1, 1000000});
    m_captureTime = m_clock.TimeOf(stamp, std::chrono::steady_clock::now());
}

// The frame being decoded when the process stopped and those buffered
// during the stop are old, though they arrive now. A fresh packet has to be
// waited for: its read takes a good part of the stream's gap between
// frames, where a buffered one comes at once (on a busy PC, a few
// milliseconds). A fresh frame taken for a buffered one costs nothing but
// its slot, which the previous picture fills.
bool CaptureSource::IsStaleBacklog()
{
    if (m_clock.CurrentMode() != CaptureClock::Mode::Arrival)
        return false;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t resumes = ProcessResumeCount();
    if (resumes != m_seenResumes) {
        m_seenResumes = resumes;
        m_skipBacklog = true;
        m_backlogSince = now;
        return true;
    }
    if (!m_skipBacklog) {  // the stream's pace, from its fresh frames
        if (m_lastFresh != std::chrono::steady_clock::time_point{})
            m_frameGap = std::min<std::chrono::steady_clock::duration>((m_frameGap * 7 + (now - m_lastFresh)) / 8,
                                                                       kLongestFrameGap);
        m_lastFresh = now;
        return false;
    }
    if (m_readWait >= std::max<std::chrono::steady_clock::duration>(kWaitedRead, m_frameGap / 2) ||
        now - m_backlogSince > kStallTimeout) {
        m_skipBacklog = false;
        m_lastFresh = now;
    }
    return m_skipBacklog;
}

// Holds a virtual camera's picture back until its capture time is due.
void CaptureSource::Pace()
{
    const auto due = m_captureTime;
    while (!m_stop && std::chrono::steady_clock::now() < due)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(due - std::chrono::steady_clock::now(), kPacingStep));
}
