#include "CaptureDevices.h"

#include "AddressSecrets.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

// The driver's name of a node that captures video; nothing for any other
// node (metadata nodes of the same camera among them).
bool CanCaptureVideo(const std::string& node, std::string* name)
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
    const auto* card = reinterpret_cast<const char*>(cap.card);
    *name = std::string(card, strnlen(card, sizeof cap.card));
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

}  // namespace

std::vector<V4l2Device> EnumerateV4l2Devices()
{
    // Tests point the scan at a folder of emulated nodes; nothing else sets it.
    const char* folder = std::getenv(kV4l2FolderVariable);
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder != nullptr ? folder : "/dev", ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("video", 0) != 0 || name.size() == 5 ||
            name.find_first_not_of("0123456789", 5) != std::string::npos)
            continue;
        nodes.emplace_back(std::atoi(name.c_str() + 5), e.path().string());
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<V4l2Device> devices;
    std::string name;
    for (const auto& node : nodes) {
        if (CanCaptureVideo(node.second, &name))
            devices.push_back({node.second, name});
    }
    return devices;
}

CaptureDeviceEntry ParseDeviceEntry(const std::string& text)
{
    const std::string item = Trim(text);
    const auto colon = item.find(':');
    CaptureDeviceEntry entry;
    if (colon == std::string::npos) {
        entry.url = item;
        return entry;
    }
    entry.format = item.substr(0, colon);
    entry.url = item.substr(colon + 1);
    const auto bar = entry.url.rfind('|');
    if (bar != std::string::npos) {
        entry.options = entry.url.substr(bar + 1);
        entry.url.erase(bar);
    }
    return entry;
}

// An entry without a format is written as its bare address only while that
// reads back the same: no colon in it, no options, no blanks at its ends.
std::string DeviceEntryText(const CaptureDeviceEntry& entry)
{
    if (entry.format.empty() && entry.options.empty() && entry.url.find(':') == std::string::npos &&
        Trim(entry.url) == entry.url)
        return entry.url;
    return AddressWithOptions(entry.format + ":" + entry.url, entry.options);
}

// The bar before empty options is written too when the address holds a bar
// or ends in blanks, which would otherwise be read as options or trimmed.
std::string AddressWithOptions(const std::string& address, const std::string& options)
{
    const bool keepBar = address.find('|') != std::string::npos ||
                         (!address.empty() && std::string(" \t\r\n").find(address.back()) != std::string::npos);
    return options.empty() && !keepBar ? address : address + "|" + options;
}

std::string RedactedDeviceText(const CaptureDeviceEntry& entry)
{
    CaptureDeviceEntry shown = entry;
    shown.url = RedactPassword(entry.url);
    return DeviceEntryText(shown);
}

std::vector<CaptureDeviceEntry> ParseDeviceList(const std::string& text)
{
    std::vector<CaptureDeviceEntry> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = Trim(text.substr(start, end - start));
        if (!item.empty())
            entries.push_back(ParseDeviceEntry(item));
        start = end + 1;
    }
    return entries;
}

bool DevicesFromEnvironment()
{
    return std::getenv(kCaptureDevicesVariable) != nullptr;
}

std::vector<CaptureDeviceEntry> EnumerateCaptureDevices()
{
    if (const char* list = std::getenv(kCaptureDevicesVariable))
        return ParseDeviceList(list);
    std::vector<CaptureDeviceEntry> devices;
    for (const V4l2Device& device : EnumerateV4l2Devices())
        devices.push_back({"v4l2", device.node, {}});
    return devices;
}
