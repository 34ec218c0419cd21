// The capture devices of this PC, in a stable order: a panel's position is an
// index into this list. LUMARO_CAPTURE_DEVICES, when set, replaces the V4L2
// enumeration with its own entries ("FORMAT:URL" separated by ';').
#pragma once

#include <string>
#include <vector>

struct CaptureDeviceEntry {
    std::string format;  // libavformat input format: v4l2, lavfi, rtsp, ...
    std::string url;     // what that format opens
    bool operator==(const CaptureDeviceEntry& o) const { return format == o.format && url == o.url; }
};

inline constexpr const char* kCaptureDevicesVariable = "LUMARO_CAPTURE_DEVICES";

// Entries of a device list text; blank entries are skipped, an entry without
// a format keeps its place (and fails to open).
std::vector<CaptureDeviceEntry> ParseDeviceList(const std::string& text);

// The V4L2 video capture nodes (/dev/videoN, metadata nodes left out) ordered
// by N, or the entries of LUMARO_CAPTURE_DEVICES when it is set.
std::vector<CaptureDeviceEntry> EnumerateCaptureDevices();
