// Motion events of one camera: an event begins at the first moving picture
// and ends after 3 s without motion, at its last moving picture; it keeps
// the largest share of the picture that moved. An event belongs to the
// recording its first picture went into, so one that runs on across a new
// file ends with the old file and another begins in the new one. A blip of
// fewer than three moving pictures is no event.
#pragma once

#include "PictureClock.h"

#include <optional>
#include <string>

struct MotionSpan {
    int camera = 0;  // 1 to 4
    std::string path;  // the recording
    PreciseTime start = 0;
    PreciseTime end = 0;
    double peak = 0;
};

class MotionTracker {
public:
    static constexpr PreciseTime kQuiet = 3 * kMicrosPerSecond;
    static constexpr int kFewestPictures = 3;

    explicit MotionTracker(int camera = 1) : m_camera(camera) {}
    void SetCamera(int camera) { m_camera = camera; }

    // One recorded picture of `path` at `time` with the share that moved
    // (0: still). An event that ended with it, if any.
    std::optional<MotionSpan> Add(const std::string& path, PreciseTime time, double share);
    // The recording stopped: the event under way ends now, if any.
    std::optional<MotionSpan> Finish();

private:
    std::optional<MotionSpan> Close();

    int m_camera;
    std::optional<MotionSpan> m_open;
    int m_pictures = 0;  // moving pictures of the open event
};
