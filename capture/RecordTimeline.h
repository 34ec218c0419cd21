// The recording's own clock: 25 pictures to a second of wall-clock time,
// whatever rate the camera delivers at. Each frame's capture time says how
// many pictures it makes: none when its picture slot was filled already (a
// faster camera: the frame is left out), else one, after repeats of the
// previous picture for the slots since it (a slower camera). A gap longer
// than about a second is not filled: the timeline starts again after it.
#pragma once

#include <chrono>
#include <cstdint>

class RecordTimeline {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPicturesPerSecond = 25;
    static constexpr int kMaxRepeats = kPicturesPerSecond;

    // Pictures for the frame captured at `t`: 0, or 1 plus the repeats of
    // the previous picture.
    int PicturesFor(Clock::time_point t);

private:
    Clock::time_point m_origin{};
    std::int64_t m_fed = 0;  // pictures since m_origin
    bool m_started = false;
};
