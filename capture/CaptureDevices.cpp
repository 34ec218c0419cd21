#include "CaptureDevices.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool CanCaptureVideo(const std::string& node)
{
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability cap{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    ::close(fd);
    if (!ok)
        return false;
    const unsigned caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

std::vector<CaptureDeviceEntry> EnumerateV4l2()
{
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("video", 0) != 0 || name.size() == 5 ||
            name.find_first_not_of("0123456789", 5) != std::string::npos)
            continue;
        nodes.emplace_back(std::atoi(name.c_str() + 5), e.path().string());
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<CaptureDeviceEntry> devices;
    for (const auto& node : nodes) {
        if (CanCaptureVideo(node.second))
            devices.push_back({"v4l2", node.second});
    }
    return devices;
}

}  // namespace

std::vector<CaptureDeviceEntry> ParseDeviceList(const std::string& text)
{
    std::vector<CaptureDeviceEntry> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = Trim(text.substr(start, end - start));
        if (!item.empty()) {
            const auto colon = item.find(':');
            if (colon == std::string::npos)
                entries.push_back({std::string(), item});
            else
                entries.push_back({item.substr(0, colon), item.substr(colon + 1)});
        }
        start = end + 1;
    }
    return entries;
}

std::vector<CaptureDeviceEntry> EnumerateCaptureDevices()
{
    if (const char* list = std::getenv(kCaptureDevicesVariable))
        return ParseDeviceList(list);
    return EnumerateV4l2();
}
