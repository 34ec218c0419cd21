#include "FakeDevice.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

FakeConfig ParseConfig(const std::string& entry)
{
    FakeConfig config;
    for (const std::string& pair : Split(entry, ',')) {
        const auto eq = pair.find('=');
        const std::string key = pair.substr(0, eq), value = eq == std::string::npos ? "" : pair.substr(eq + 1);
        if (key == "path")
            config.path = value;
        else if (key == "name")
            config.name = value;
        else if (key == "format")
            config.pixelFormat = value == "mjpeg" ? V4L2_PIX_FMT_MJPEG : V4L2_PIX_FMT_YUYV;
        else if (key == "size")
            std::sscanf(value.c_str(), "%ux%u", &config.width, &config.height);
        else if (key == "rate")
            config.rate = std::max(1, std::atoi(value.c_str()));
        else if (key == "meta")
            config.meta = value == "1";
    }
    return config;
}

// The kernel's own mmap and munmap: inside the preload library the C
// library's names are its own interposers.
void* MapAnonymous(std::size_t length)
{
    return reinterpret_cast<void*>(::syscall(SYS_mmap, nullptr, length, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
}

void UnmapMemory(void* address, std::size_t length)
{
    ::syscall(SYS_munmap, address, length);
}

bool FileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

int Fail(int error)
{
    errno = error;
    return -1;
}

void CopyText(std::uint8_t* out, std::size_t size, const std::string& text)
{
    std::memset(out, 0, size);
    std::memcpy(out, text.data(), std::min(size - 1, text.size()));
}

}  // namespace

// Read again whenever the variable changed: a test may set it after the
// process started (and after its first open).
std::optional<FakeConfig> FakeConfigFor(const char* path)
{
    static std::mutex mutex;
    static std::string seen;
    static std::vector<FakeConfig> configs;
    const char* text = std::getenv("FAKE_V4L2");
    if (path == nullptr || text == nullptr)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex);
    if (seen != text) {
        seen = text;
        configs.clear();
        for (const std::string& entry : Split(seen, ';'))
            if (!entry.empty())
                configs.push_back(ParseConfig(entry));
    }
    for (const FakeConfig& config : configs)
        if (config.path == path)
            return config;
    return std::nullopt;
}

FakeDevice::FakeDevice(const FakeConfig& config, bool nonBlocking) : m_config(config), m_nonBlocking(nonBlocking) {}

FakeDevice::~FakeDevice()
{
    for (Buffer& buffer : m_buffers)
        if (buffer.memory != nullptr)
            UnmapMemory(buffer.memory, buffer.length);
}

bool FakeDevice::Unplugged() const
{
    return FileExists(m_config.path + ".unplugged");
}

bool FakeDevice::Stalled() const
{
    return FileExists(m_config.path + ".stalled");
}

std::uint32_t FakeDevice::ImageSize() const
{
    return m_config.width * m_config.height * 2;  // YUYV; an upper bound for MJPEG
}

int FakeDevice::Ioctl(unsigned long request, void* arg)
{
    if (Unplugged())
        return Fail(ENODEV);
    switch (request) {
    case VIDIOC_QUERYCAP:
        return QueryCap(static_cast<v4l2_capability*>(arg));
    case VIDIOC_ENUM_FMT:
        return EnumFormat(static_cast<v4l2_fmtdesc*>(arg));
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
        return Format(static_cast<v4l2_format*>(arg));
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* size = static_cast<v4l2_frmsizeenum*>(arg);
        if (size->index != 0 || size->pixel_format != m_config.pixelFormat)
            return Fail(EINVAL);
        size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        size->discrete = {m_config.width, m_config.height};
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* interval = static_cast<v4l2_frmivalenum*>(arg);
        if (interval->index != 0 || interval->pixel_format != m_config.pixelFormat ||
            interval->width != m_config.width || interval->height != m_config.height)
            return Fail(EINVAL);
        interval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        interval->discrete = {1, m_config.rate};
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM:
        return Parm(static_cast<v4l2_streamparm*>(arg));
    case VIDIOC_G_INPUT:
        *static_cast<int*>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<int*>(arg) == 0 ? 0 : Fail(EINVAL);
    case VIDIOC_ENUMINPUT: {
        auto* input = static_cast<v4l2_input*>(arg);
        if (input->index != 0)
            return Fail(EINVAL);
        CopyText(input->name, sizeof input->name, "Camera 1");
        input->type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    case VIDIOC_REQBUFS:
        return RequestBuffers(static_cast<v4l2_requestbuffers*>(arg));
    case VIDIOC_QUERYBUF:
        return QueryBuffer(static_cast<v4l2_buffer*>(arg));
    case VIDIOC_QBUF:
        return Queue(static_cast<v4l2_buffer*>(arg));
    case VIDIOC_DQBUF:
        return Dequeue(static_cast<v4l2_buffer*>(arg));
    case VIDIOC_STREAMON:
        m_streaming = true;
        m_sequence = 0;
        m_nextDue = Clock::now();
        return 0;
    case VIDIOC_STREAMOFF:
        m_streaming = false;
        for (Buffer& buffer : m_buffers)
            buffer.queued = false;
        return 0;
    default:
        return Fail(ENOTTY);  // what a webcam's driver says to analogue TV ioctls (G_STD, …)
    }
}

int FakeDevice::QueryCap(v4l2_capability* cap) const
{
    std::memset(cap, 0, sizeof *cap);
    CopyText(cap->driver, sizeof cap->driver, "fakev4l2");
    CopyText(cap->card, sizeof cap->card, m_config.name);
    CopyText(cap->bus_info, sizeof cap->bus_info, "platform:fake-" + m_config.path);
    cap->version = 0x060100;
    cap->device_caps = m_config.meta ? V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING
                                     : V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    return 0;
}

int FakeDevice::EnumFormat(v4l2_fmtdesc* desc) const
{
    if (desc->index != 0 || desc->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || m_config.meta)
        return Fail(EINVAL);
    desc->pixelformat = m_config.pixelFormat;
    desc->flags = m_config.pixelFormat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
    CopyText(desc->description, sizeof desc->description,
             m_config.pixelFormat == V4L2_PIX_FMT_MJPEG ? "Motion-JPEG" : "YUYV 4:2:2");
    return 0;
}

// One size and one format: S_FMT and TRY_FMT answer with them, as a driver
// adjusts a request it cannot meet.
int FakeDevice::Format(v4l2_format* format) const
{
    if (format->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || m_config.meta)
        return Fail(EINVAL);
    v4l2_pix_format& pix = format->fmt.pix;
    pix.width = m_config.width;
    pix.height = m_config.height;
    pix.pixelformat = m_config.pixelFormat;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = m_config.pixelFormat == V4L2_PIX_FMT_MJPEG ? 0 : m_config.width * 2;
    pix.sizeimage = ImageSize();
    pix.colorspace = V4L2_COLORSPACE_SRGB;
    return 0;
}

int FakeDevice::Parm(v4l2_streamparm* parm) const
{
    if (parm->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return Fail(EINVAL);
    parm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    parm->parm.capture.timeperframe = {1, m_config.rate};
    return 0;
}

int FakeDevice::RequestBuffers(v4l2_requestbuffers* request)
{
    if (request->memory != V4L2_MEMORY_MMAP || request->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return Fail(EINVAL);
    if (m_streaming)
        return Fail(EBUSY);
    for (Buffer& buffer : m_buffers)
        if (buffer.memory != nullptr)
            UnmapMemory(buffer.memory, buffer.length);
    request->count = request->count == 0 ? 0 : std::clamp<std::uint32_t>(request->count, 2, 8);
    m_buffers.assign(request->count, Buffer{});
    request->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    return 0;
}

int FakeDevice::QueryBuffer(v4l2_buffer* buffer) const
{
    if (buffer->index >= m_buffers.size())
        return Fail(EINVAL);
    buffer->length = ImageSize();
    buffer->m.offset = buffer->index * 0x100000u;  // a page-aligned cookie per buffer
    buffer->flags = m_buffers[buffer->index].queued ? V4L2_BUF_FLAG_QUEUED : 0;
    return 0;
}

void* FakeDevice::Map(std::size_t length, long offset)
{
    const std::size_t index = static_cast<std::size_t>(offset) / 0x100000u;
    if (index >= m_buffers.size() || length < ImageSize())
        return nullptr;
    Buffer& buffer = m_buffers[index];
    if (buffer.memory == nullptr) {
        buffer.memory = MapAnonymous(length);
        buffer.length = length;
    }
    return buffer.memory == MAP_FAILED ? nullptr : buffer.memory;
}

bool FakeDevice::Unmap(void* address)
{
    for (Buffer& buffer : m_buffers)
        if (buffer.memory == address) {
            UnmapMemory(buffer.memory, buffer.length);
            buffer.memory = nullptr;
            return true;
        }
    return false;
}

int FakeDevice::Queue(v4l2_buffer* buffer)
{
    if (buffer->index >= m_buffers.size())
        return Fail(EINVAL);
    m_buffers[buffer->index].queued = true;
    return 0;
}

// A picture is due at the rate, counted from STREAMON; a device that fell
// behind (a stall) goes on from now instead of catching up in a burst.
bool FakeDevice::PictureDue()
{
    const auto now = Clock::now();
    if (!m_streaming || Stalled() || now < m_nextDue)
        return false;
    m_nextDue = std::max(m_nextDue + Period(), now - Period());
    return true;
}

int FakeDevice::Dequeue(v4l2_buffer* buffer)
{
    if (!m_streaming)
        return Fail(EINVAL);
    while (!PictureDue()) {
        if (m_nonBlocking)
            return Fail(EAGAIN);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (Unplugged())
            return Fail(ENODEV);
    }
    auto queued = std::find_if(m_buffers.begin(), m_buffers.end(), [](const Buffer& b) { return b.queued && b.memory; });
    if (queued == m_buffers.end())
        return Fail(EAGAIN);
    queued->queued = false;
    buffer->index = static_cast<std::uint32_t>(queued - m_buffers.begin());
    buffer->bytesused = static_cast<std::uint32_t>(Render(static_cast<std::uint8_t*>(queued->memory), queued->length));
    buffer->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    buffer->field = V4L2_FIELD_NONE;
    buffer->sequence = m_sequence++;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    buffer->timestamp = {now.tv_sec, now.tv_nsec / 1000};
    buffer->length = ImageSize();
    buffer->m.offset = buffer->index * 0x100000u;
    return 0;
}

short FakeDevice::Poll(short events, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 1 << 30 : timeoutMs);
    for (;;) {
        if (Unplugged())
            return POLLERR | POLLHUP;
        if (m_streaming && !Stalled() && Clock::now() >= m_nextDue)
            return static_cast<short>(events & (POLLIN | POLLRDNORM));
        if (Clock::now() >= deadline)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
