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

using Clock = CaptureSource::Clock;

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
constexpr std::size_t kByteChunk = 65536;

// MJPEG over HTTP (multipart) and over TCP are read as bytes and cut into
// pictures by their markers.
bool IsJpegStream(const std::string& format)
{
    return format == "mpjpeg" || format == "mjpeg";
}

}  // namespace

void CaptureSource::FormatCloser::operator()(AVFormatContext* f) const
{
    avformat_close_input(&f);
}

void CaptureSource::BytesCloser::operator()(AVIOContext* b) const
{
    avio_closep(&b);
}

CaptureSource::CaptureSource() = default;

CaptureSource::~CaptureSource()
{
    RequestStop();
    StopReading();
}

void CaptureSource::RequestStop()
{
    m_stop = true;
    m_reader.Queue().Wake();
}

void CaptureSource::StopReading()
{
    m_reader.Stop();
}

// A blocking open or read gives up on a stop and when its deadline passed.
int CaptureSource::Interrupted(void* opaque)
{
    auto* self = static_cast<CaptureSource*>(opaque);
    return self->m_stop || Clock::now().time_since_epoch().count() > self->m_deadline.load();
}

void CaptureSource::ExtendDeadline(std::chrono::milliseconds by)
{
    m_deadline = (Clock::now() + by).time_since_epoch().count();
}

bool CaptureSource::Open(const CaptureDeviceEntry& device, std::string* error, const std::string& readerName)
{
    RegisterDevicesOnce();
    ExtendDeadline(kOpenTimeout);
    const bool jpeg = IsJpegStream(device.format);
    if (jpeg ? !OpenByteStream(device, error) || !OpenJpegDecoder(error)
             : !OpenInput(device, error) || !OpenDecoder(error))
        return false;
    m_seenResumes = ProcessResumeCount();
    ExtendDeadline(kStallTimeout);
    m_reader.Start(readerName, [this](StampedPacket* out) { return ReadStamped(out); });
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
    return true;
}

// The bytes of an MJPEG camera, through FFmpeg's protocols (HTTP with its
// authentication, or TCP); the first whole picture gives the size.
bool CaptureSource::OpenByteStream(const CaptureDeviceEntry& device, std::string* error)
{
    DictionaryPtr options;
    if (!device.options.empty() && av_dict_parse_string(options.Address(), device.options.c_str(), "=", ",", 0) < 0) {
        *error = "bad input options '" + device.options + "'";
        return false;
    }
    std::string url = device.url;
    if (!LookUp(&url, options.Address(), error))
        return false;
    const AVIOInterruptCB interrupt{&CaptureSource::Interrupted, this};
    AVIOContext* bytes = nullptr;
    const int rc = avio_open2(&bytes, url.c_str(), AVIO_FLAG_READ, &interrupt, options.Address());
    m_openFailure = ClassifyOpenError(rc);
    if (rc < 0) {
        *error = AvErrorText(rc);
        return false;
    }
    m_bytes.reset(bytes);
    m_clock = CaptureClock(CaptureClock::Mode::Arrival);
    while (m_pictures.empty())
        if (!ReadBytes()) {
            m_openFailure = OpenFailure::kNoAnswer;
            *error = "no picture arrived";
            return false;
        }
    return true;
}

// The camera's host name, looked up before FFmpeg gets the address.
bool CaptureSource::LookUp(std::string* url, AVDictionary** options, std::string* error)
{
    std::string hostHeader;
    const Clock::time_point deadline{Clock::duration(m_deadline.load())};
    switch (LookUpHost(url, &hostHeader, m_stop, deadline)) {
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
    return SetUpDecoder(avcodec_find_decoder(par->codec_id), par, error);
}

bool CaptureSource::OpenJpegDecoder(std::string* error)
{
    const auto& first = m_pictures.front().bytes;
    const auto size = JpegPictureSize(first.data(), first.size());
    if (!size) {
        *error = "the camera's first picture gives no size";
        return false;
    }
    CodecParametersPtr par(avcodec_parameters_alloc());
    if (!par) {
        *error = "out of memory";
        return false;
    }
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_MJPEG;
    par->width = size->first;
    par->height = size->second;
    return SetUpDecoder(avcodec_find_decoder(AV_CODEC_ID_MJPEG), par.get(), error);
}

// ---- The reader thread ----

PacketReader::Read CaptureSource::ReadStamped(StampedPacket* out)
{
    out->packet.reset(av_packet_alloc());
    if (!out->packet)
        return PacketReader::Read::Error;
    Clock::time_point arrival{};
    const PacketReader::Read read =
        m_bytes ? ReadPicture(out->packet.get(), &arrival) : ReadDemuxed(out->packet.get(), &arrival);
    if (read != PacketReader::Read::Packet)
        return read;
    if (IsStaleBacklog(arrival))
        return PacketReader::Read::Skip;
    std::optional<std::int64_t> stamp;
    if (m_input && out->packet->pts != AV_NOPTS_VALUE)
        stamp = av_rescale_q(out->packet->pts, m_input->streams[m_stream]->time_base, AVRational{1, 1000000});
    out->captureTime = m_clock.TimeOf(stamp, arrival);
    if (m_paced)
        Pace(out->captureTime);
    const Clock::time_point taken = m_paced ? out->captureTime : arrival;
    out->silence = m_lastArrival == Clock::time_point{} ? Clock::duration{} : taken - m_lastArrival;
    m_lastArrival = taken;
    return PacketReader::Read::Packet;
}

// One packet of the video stream from the demuxer; others are skipped.
PacketReader::Read CaptureSource::ReadDemuxed(AVPacket* packet, Clock::time_point* arrival)
{
    const auto started = Clock::now();
    const int rc = av_read_frame(m_input.get(), packet);
    if (rc == AVERROR(EAGAIN)) {  // a non-blocking device with nothing yet; for too long is a stall
        m_sawAgain = true;
        return Clock::now().time_since_epoch().count() > m_deadline.load() ? PacketReader::Read::Error
                                                                             : PacketReader::Read::Again;
    }
    if (rc < 0)
        return m_stop || rc == AVERROR_EOF ? PacketReader::Read::End : PacketReader::Read::Error;
    *arrival = Clock::now();
    ExtendDeadline(kStallTimeout);
    m_readWait = m_sawAgain ? Clock::duration(kStallTimeout) : *arrival - started;
    m_sawAgain = false;
    return packet->stream_index == m_stream ? PacketReader::Read::Packet : PacketReader::Read::Skip;
}

// The next whole JPEG picture, timed by the arrival of its first byte.
PacketReader::Read CaptureSource::ReadPicture(AVPacket* packet, Clock::time_point* arrival)
{
    m_readWait = {};
    while (m_pictures.empty())
        if (!ReadBytes())
            return m_stop ? PacketReader::Read::End : PacketReader::Read::Error;
    JpegSplitter::Picture& picture = m_pictures.front();
    const int size = static_cast<int>(picture.bytes.size());
    if (av_new_packet(packet, size) < 0)
        return PacketReader::Read::Error;
    std::memcpy(packet->data, picture.bytes.data(), picture.bytes.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    *arrival = picture.firstByte;
    m_pictures.erase(m_pictures.begin());
    return PacketReader::Read::Packet;
}

// Whatever bytes have arrived (waiting for some), cut into pictures; false
// at the end of the stream, an error, a stall or a stop.
bool CaptureSource::ReadBytes()
{
    m_chunk.resize(kByteChunk);
    const auto started = Clock::now();
    const int n = avio_read_partial(m_bytes.get(), m_chunk.data(), static_cast<int>(m_chunk.size()));
    if (n <= 0)
        return false;
    const auto now = Clock::now();
    m_readWait = std::max(m_readWait, now - started);
    ExtendDeadline(kStallTimeout);
    m_splitter.Feed(m_chunk.data(), static_cast<std::size_t>(n), now, &m_pictures);
    return true;
}

// The frame being read when the process stopped and those buffered during
// the stop are old, though they arrive now. A fresh packet has to be
// waited for: its read takes a good part of the stream's gap between
// frames, where a buffered one comes at once. The reader does nothing but
// read, so this holds on a busy PC too. A fresh frame taken for a buffered
// one costs nothing but its slot, which the previous picture fills.
bool CaptureSource::IsStaleBacklog(Clock::time_point arrival)
{
    if (m_clock.CurrentMode() != CaptureClock::Mode::Arrival)
        return false;
    const std::uint64_t resumes = ProcessResumeCount();
    if (resumes != m_seenResumes) {
        m_seenResumes = resumes;
        m_skipBacklog = true;
        m_backlogSince = arrival;
        return true;
    }
    if (!m_skipBacklog) {  // the stream's pace, from its fresh frames
        if (m_lastFresh != Clock::time_point{})
            m_frameGap = std::min<Clock::duration>((m_frameGap * 7 + (arrival - m_lastFresh)) / 8, kLongestFrameGap);
        m_lastFresh = arrival;
        return false;
    }
    if (m_readWait >= std::max<Clock::duration>(kWaitedRead, m_frameGap / 2) || arrival - m_backlogSince > kStallTimeout) {
        m_skipBacklog = false;
        m_lastFresh = arrival;
    }
    return m_skipBacklog;
}

// Holds a virtual camera's picture back until its capture time is due.
void CaptureSource::Pace(Clock::time_point due)
{
    while (!m_stop && Clock::now() < due)
        std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), kPacingStep));
}

ReadStatus CaptureSource::ReadFrame(std::uint8_t* frame)
{
    return m_decoding.Read(frame, m_reader.Queue(), m_stop);
}

bool CaptureSource::SetUpDecoder(const AVCodec* codec, const AVCodecParameters* par, std::string* error)
{
    return m_decoding.Open(codec, par, error);
}
