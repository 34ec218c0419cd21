// A V4L2 video capture device emulated in user space, for the tests only:
// the answers a driver gives to the ioctls a capture program uses, with
// mmap buffers, pictures due at the chosen rate and, on demand, a device that
// is unplugged, stalls, or is a metadata node.
//
// Configured by FAKE_V4L2: entries separated by ';', each a list of key=value
// separated by ',': path=/tmp/dev/video0, format=yuyv|mjpeg, size=320x240,
// rate=15, meta=1 (device_caps without VIDEO_CAPTURE), name=… . Controlled
// by files beside the node: "<path>.unplugged" (ENODEV from then on) and
// "<path>.stalled" (no picture while it exists, and no error).
#pragma once

#include <linux/videodev2.h>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FakeConfig {
    std::string path;
    std::string name = "Lumaro Test Camera";
    std::uint32_t pixelFormat = V4L2_PIX_FMT_YUYV;
    std::uint32_t width = 320;
    std::uint32_t height = 240;
    std::uint32_t rate = 25;
    bool meta = false;
};

// The configured device at `path`, from FAKE_V4L2 as it is now.
std::optional<FakeConfig> FakeConfigFor(const char* path);

class FakeDevice {
public:
    FakeDevice(const FakeConfig& config, bool nonBlocking);
    ~FakeDevice();

    // The ioctl's result as the kernel gives it: 0, or -1 with errno set.
    int Ioctl(unsigned long request, void* arg);
    // The memory of buffer `offset`, mapped for the caller; nullptr if none.
    void* Map(std::size_t length, long offset);
    bool Unmap(void* address);
    // poll(2) for this device: POLLIN once a picture is due, within `timeoutMs`.
    short Poll(short events, int timeoutMs);
    bool Unplugged() const;

private:
    struct Buffer {
        void* memory = nullptr;
        std::size_t length = 0;
        bool queued = false;
    };
    using Clock = std::chrono::steady_clock;

    int QueryCap(v4l2_capability* cap) const;
    int EnumFormat(v4l2_fmtdesc* desc) const;
    int Format(v4l2_format* format) const;
    int Parm(v4l2_streamparm* parm) const;
    int RequestBuffers(v4l2_requestbuffers* request);
    int QueryBuffer(v4l2_buffer* buffer) const;
    int Queue(v4l2_buffer* buffer);
    int Dequeue(v4l2_buffer* buffer);
    bool Stalled() const;
    bool PictureDue();
    std::size_t Render(std::uint8_t* out, std::size_t capacity);
    std::uint32_t ImageSize() const;
    Clock::duration Period() const { return std::chrono::microseconds(1000000 / m_config.rate); }

    FakeConfig m_config;
    bool m_nonBlocking;
    std::vector<Buffer> m_buffers;
    bool m_streaming = false;
    Clock::time_point m_nextDue;   // of the next picture
    std::uint32_t m_sequence = 0;  // pictures delivered since STREAMON
    // Pictures of the MJPEG format come from libavcodec's JPEG encoder.
    struct MjpegEncoder {
        AVCodecContext* context = nullptr;
        AVFrame* frame = nullptr;
        AVPacket* packet = nullptr;
        ~MjpegEncoder();
    };
    std::unique_ptr<MjpegEncoder> m_mjpeg;  // made on the first MJPEG picture
};
