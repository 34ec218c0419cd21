// The recording's own clock: 25 pictures to a second of wall-clock time,
// whatever rate the camera delivers at, so that picture n of a file shows
// the moment (its first picture + n / 25 s). Each frame's capture time says
// how many pictures it makes: none when its picture slot was filled already
// (a faster camera, or a backlog: the frame is left out), else one, after
// repeats of the previous picture for the slots since it (a slower camera,
// a pause). A silence of the camera longer than the stall limit is not
// filled: it ends the file, and the frame after it begins a new one. A gap
// that is only the program's own delay (a busy PC: the frames between were
// left out) is filled however long it is, so the file never splits.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

class RecordTimeline {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPicturesPerSecond = 25;
    static constexpr std::chrono::seconds kStallLimit{5};
    static constexpr int kMaxRepeats = kPicturesPerSecond * static_cast<int>(kStallLimit.count());

    struct Placement {
        int pictures = 0;       // 0, or 1 plus the repeats of the previous picture
        bool newFile = false;   // a silence ended the file; this frame begins the next
        Clock::time_point slot{};  // the moment the frame's picture stands for
    };

    // The frame captured at `t`, after the camera was silent for `silence`
    // (the time since its previous frame arrived, frames left out included).
    Placement Place(Clock::time_point t, Clock::duration silence);
    // The same when the gap since the previous frame is all silence.
    Placement Place(Clock::time_point t);
    // Pictures for the frame captured at `t` (Place(t).pictures).
    int PicturesFor(Clock::time_point t) { return Place(t).pictures; }

private:
    Placement PlaceFrame(Clock::time_point t, std::optional<Clock::duration> silence);

    Clock::time_point m_origin{};
    std::int64_t m_fed = 0;  // pictures since m_origin
    bool m_started = false;
};
