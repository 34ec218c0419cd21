#include "CameraSources.h"

#include "Settings.h"
#include "TextFormat.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The input format that reads an address, by its scheme.
const char* FormatForAddress(const std::string& url)
{
    if (StartsWith(url, "/dev/"))
        return "v4l2";
    if (StartsWith(url, "rtsp://") || StartsWith(url, "rtsps://"))
        return "rtsp";
    if (StartsWith(url, "http://") || StartsWith(url, "https://"))
        return "mpjpeg";
    if (StartsWith(url, "tcp://"))
        return "mjpeg";
    return nullptr;
}

std::string Trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::string CameraSourceKey(int deviceIndex)
{
    return StrFormat("camera_source_%d", deviceIndex + 1);
}

std::optional<CaptureDeviceEntry> ReadCameraSource(int deviceIndex)
{
    const std::string text = Trimmed(ReadSetting(CameraSourceKey(deviceIndex)));
    if (text.empty())
        return std::nullopt;
    return ParseDeviceEntry(text);
}

std::optional<std::string> SourceEntryForAddress(const std::string& address)
{
    const std::string text = Trimmed(address);
    if (text.empty())
        return std::string();
    if (text.find(';') != std::string::npos)
        return std::nullopt;  // one source, not a list
    const std::string url = text.substr(0, text.rfind('|'));
    if (const char* format = FormatForAddress(url))
        return std::string(format) + ":" + text;
    for (const char* known : {"v4l2:", "rtsp:", "mpjpeg:", "mjpeg:", "lavfi:"})
        if (StartsWith(text, known) && text.size() > std::string(known).size())
            return text;
    return std::nullopt;
}

std::string AddressForSourceEntry(const std::string& entryText)
{
    const CaptureDeviceEntry entry = ParseDeviceEntry(entryText);
    const char* format = FormatForAddress(entry.url);
    if (format == nullptr || entry.format != format)
        return Trimmed(entryText);
    return AddressWithOptions(entry.url, entry.options);
}

MotionSensitivity ReadMotionSensitivity(int deviceIndex)
{
    return ParseMotionSensitivity(ReadSetting(MotionSettingKey(deviceIndex))).value_or(MotionSensitivity::kMedium);
}

MotionSettings ReadMotionSettings(int deviceIndex)
{
    return {ReadMotionSensitivity(deviceIndex), ParseMotionZones(ReadSetting(MotionZoneKey(deviceIndex)))};
}
