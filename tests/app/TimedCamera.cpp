#include "TimedCamera.h"

#include "PictureClock.h"
#include "ShellOutput.h"

#include "FfmpegPtr.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBits = 24;
constexpr int kBarWidth = 12;
constexpr int kBarsLeft = (TimedCamera::kWidth - kBits * kBarWidth) / 2;
constexpr int kBarsTop = 90;
constexpr int kBarsBottom = 150;

// The grey level of pixel (x, y) of a picture whose bars tell `ms`.
std::uint8_t BarLevel(std::int64_t ms, int x, int y)
{
    const int bit = (x - kBarsLeft) / kBarWidth;
    if (y < kBarsTop || y >= kBarsBottom || x < kBarsLeft || bit >= kBits)
        return 128;
    return (ms >> (kBits - 1 - bit)) & 1 ? 235 : 16;
}

// One grey picture with the bars of `ms`, as MJPEG.
std::vector<std::uint8_t> EncodePicture(std::int64_t ms)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecContextPtr c(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    c->width = frame->width = TimedCamera::kWidth;
    c->height = frame->height = TimedCamera::kHeight;
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    frame->format = c->pix_fmt;
    c->time_base = AVRational{1, 25};
    c->flags |= AV_CODEC_FLAG_QSCALE;
    if (avcodec_open2(c.get(), codec, nullptr) != 0 || av_frame_get_buffer(frame.get(), 0) != 0)
        return {};
    frame->quality = FF_QP2LAMBDA * 3;
    for (int y = 0; y < c->height; ++y) {
        for (int x = 0; x < c->width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = BarLevel(ms, x, y);
        if (y < c->height / 2)
            for (int p = 1; p <= 2; ++p)
                std::memset(frame->data[p] + y * frame->linesize[p], 128, static_cast<std::size_t>(c->width / 2));
    }
    if (avcodec_send_frame(c.get(), frame.get()) != 0 || avcodec_receive_packet(c.get(), packet.get()) != 0)
        return {};
    return std::vector<std::uint8_t>(packet->data, packet->data + packet->size);
}

bool SendAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

TimedCamera::TimedCamera(int port, int rate, std::int64_t epochUs, int pauseMs, int periodMs, bool raw)
    : m_port(port), m_rate(rate), m_epochUs(epochUs), m_pauseMs(pauseMs), m_periodMs(periodMs), m_raw(raw)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 4);
    m_thread = std::thread(&TimedCamera::Serve, this);
}

TimedCamera::~TimedCamera()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

std::string TimedCamera::Entry() const
{
    return m_raw ? "mjpeg:tcp://127.0.0.1:" + std::to_string(m_port)
                 : "mpjpeg:http://127.0.0.1:" + std::to_string(m_port) + "/cam.mjpg";
}

bool TimedCamera::InPause() const
{
    if (m_pauseMs <= 0 || m_periodMs <= 0)
        return false;
    return (CurrentPreciseTime() - m_epochUs) / 1000 % m_periodMs < m_pauseMs;
}

bool TimedCamera::SendPicture(int client)
{
    const std::vector<std::uint8_t> jpeg = EncodePicture((CurrentPreciseTime() - m_epochUs) / 1000);
    if (m_raw) {
        const bool sent = SendAll(client, jpeg.data(), jpeg.size());
        m_sent += sent ? 1 : 0;
        return sent;
    }
    char header[128];
    const int n = std::snprintf(header, sizeof header, "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\n\r\n",
                                jpeg.size());
    const bool sent = SendAll(client, header, static_cast<std::size_t>(n)) && SendAll(client, jpeg.data(), jpeg.size()) &&
                      SendAll(client, "\r\n", 2);
    m_sent += sent ? 1 : 0;
    return sent;
}

void TimedCamera::Serve()
{
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        bool open = true;
        if (!m_raw) {
            char request[2048];
            (void)::recv(client, request, sizeof request, 0);
            const char reply[] = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=frame\r\n\r\n";
            open = SendAll(client, reply, sizeof reply - 1);
        }
        auto next = std::chrono::steady_clock::now();
        while (open && !m_stop) {
            if (!InPause())
                open = SendPicture(client);
            next += std::chrono::microseconds(1000000 / m_rate);
            std::this_thread::sleep_until(next);
        }
        ::close(client);
    }
}

// Each bar is read from its middle, clear of the blur at its edges.
std::optional<std::int64_t> ReadBars(const std::uint8_t* grey, int width, int height)
{
    if (width != TimedCamera::kWidth || height != TimedCamera::kHeight)
        return std::nullopt;
    std::int64_t value = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        long sum = 0, samples = 0;
        for (int y = kBarsTop + 10; y < kBarsBottom - 10; y += 4)
            for (int x = kBarsLeft + bit * kBarWidth + 3; x < kBarsLeft + (bit + 1) * kBarWidth - 3; ++x, ++samples)
                sum += grey[y * width + x];
        const long mean = sum / samples;
        if (mean > 80 && mean < 170)
            return std::nullopt;  // neither bar nor gap: no bars here
        value = value << 1 | (mean >= 170 ? 1 : 0);
    }
    return value;
}

std::vector<std::vector<std::uint8_t>> GreyPictures(const std::string& path, int width, int height)
{
    std::vector<std::vector<std::uint8_t>> pictures;
    // A transport stream's slots that repeat a picture are not coded, nor
    // are they in a clip copied from one: the time stamps say where the
    // pictures stand, and the gaps are filled. A clip's last picture lasts
    // its own duration, which the tool does not fill: the clip's length does.
    const auto endsWith = [&path](const char* end) {
        const std::size_t n = std::strlen(end);
        return path.size() > n && path.compare(path.size() - n, n, end) == 0;
    };
    std::string timing = "-fps_mode passthrough";
    if (endsWith(".ts"))
        timing = "-fps_mode cfr -r 25";
    else if (endsWith(".mp4"))
        timing = "-vf tpad=stop_mode=clone:stop_duration=1 -fps_mode cfr -r 25 -frames:v " +
                 std::to_string(std::lround(25 * std::atof(ShellOutput("ffprobe -v error -show_entries format=duration "
                                                                        "-of csv=p=0 '" + path + "'").c_str())));
    const std::string command = "ffmpeg -loglevel error -i '" + path + "' " + timing + " -f rawvideo -pix_fmt gray - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return pictures;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height);
    while (std::fread(picture.data(), 1, picture.size(), pipe) == picture.size())
        pictures.push_back(picture);
    ::pclose(pipe);
    return pictures;
}
