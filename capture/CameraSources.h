// The camera chosen for each of the four positions in the settings: stored in
// soft_set as camera_source_1 … camera_source_4, each written like an entry
// of LUMARO_CAPTURE_DEVICES ("FORMAT:URL|OPTIONS"), empty for automatic (the
// V4L2 device at that position). The environment variable, when set, still
// replaces all four (tests and demos).
#pragma once

#include "CaptureDevices.h"

#include "MotionDetector.h"

#include <optional>
#include <string>

std::string CameraSourceKey(int deviceIndex);

// The stored source of a position; nullopt for automatic.
std::optional<CaptureDeviceEntry> ReadCameraSource(int deviceIndex);
// The stored motion sensitivity of a position; medium when empty or unreadable.
MotionSensitivity ReadMotionSensitivity(int deviceIndex);
// Its sensitivity and the zones left out.
MotionSettings ReadMotionSettings(int deviceIndex);

// What the user types, as an entry's text: a V4L2 node (/dev/video2), an
// RTSP address (rtsp://…), an MJPEG stream over HTTP (http://…) or raw MJPEG
// over TCP (tcp://…), or an entry written out ("v4l2:/dev/video0|video_size=
// 640x480"); input options may follow a '|'. Empty for automatic; nullopt for
// text that names no source.
std::optional<std::string> SourceEntryForAddress(const std::string& address);
// The address shown for a stored entry: the inverse of the above.
std::string AddressForSourceEntry(const std::string& entryText);
