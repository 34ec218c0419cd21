// The capture devices of this PC, in a stable order: a panel's position is an
// index into this list. LUMARO_CAPTURE_DEVICES, when set, replaces the V4L2
// enumeration with its own entries ("FORMAT:URL" separated by ';').
#pragma once

#include <string>
#include <vector>

struct CaptureDeviceEntry {
    std::string format;  // libavformat input format: v4l2, lavfi, rtsp, mpjpeg, ...
    std::string url;     // what that format opens
    // Input options after a '|' in the entry, "name=value" separated by ','
    // (video_size=1280x720,framerate=15,input_format=mjpeg).
    std::string options;
    bool operator==(const CaptureDeviceEntry& o) const
    {
        return format == o.format && url == o.url && options == o.options;
    }
};

// One entry as it is written in LUMARO_CAPTURE_DEVICES and in the settings:
// "FORMAT:URL" or "FORMAT:URL|OPTIONS". An entry without a format keeps its
// place and fails to open.
CaptureDeviceEntry ParseDeviceEntry(const std::string& text);
std::string DeviceEntryText(const CaptureDeviceEntry& entry);
// "ADDRESS|OPTIONS", or ADDRESS alone while that reads back the same.
std::string AddressWithOptions(const std::string& address, const std::string& options);

// The entry for printing and messages: a password in the address is hidden.
std::string RedactedDeviceText(const CaptureDeviceEntry& entry);

inline constexpr const char* kCaptureDevicesVariable = "LUMARO_CAPTURE_DEVICES";
// For tests only: the folder scanned for videoN nodes instead of /dev.
inline constexpr const char* kV4l2FolderVariable = "LUMARO_V4L2_DIR";

// Entries of a device list text; blank entries are skipped, an entry without
// a format keeps its place (and fails to open).
std::vector<CaptureDeviceEntry> ParseDeviceList(const std::string& text);

// The V4L2 video capture nodes (/dev/videoN, metadata nodes left out) ordered
// by N, or the entries of LUMARO_CAPTURE_DEVICES when it is set.
std::vector<CaptureDeviceEntry> EnumerateCaptureDevices();
// LUMARO_CAPTURE_DEVICES is set: it replaces every camera of the settings too.
bool DevicesFromEnvironment();

// The V4L2 capture nodes with the names their drivers give them.
struct V4l2Device {
    std::string node;
    std::string name;
};
std::vector<V4l2Device> EnumerateV4l2Devices();
