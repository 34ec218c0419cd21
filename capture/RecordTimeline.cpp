#include "RecordTimeline.h"

#include <cmath>

namespace {
constexpr std::chrono::microseconds kSlot{1000000 / RecordTimeline::kPicturesPerSecond};
}

RecordTimeline::Placement RecordTimeline::Place(Clock::time_point t, Clock::duration silence)
{
    return PlaceFrame(t, silence);
}

RecordTimeline::Placement RecordTimeline::Place(Clock::time_point t)
{
    return PlaceFrame(t, std::nullopt);
}

RecordTimeline::Placement RecordTimeline::PlaceFrame(Clock::time_point t, std::optional<Clock::duration> silence)
{
    if (!m_started) {
        m_started = true;
        m_origin = t;
        m_fed = 1;
        return {1, false, t};
    }
    // The nearest slot, so that a steady camera's jitter neither drops nor
    // repeats a picture.
    const double slots = std::chrono::duration<double>(t - m_origin) / kSlot;
    const std::int64_t due = static_cast<std::int64_t>(std::floor(slots + 0.5)) + 1;
    const std::int64_t pictures = due - m_fed;
    if (pictures <= 0)
        return {};
    const bool silent = silence ? *silence > kStallLimit : pictures - 1 > kMaxRepeats;
    if (silent) {  // too long a silence of the camera: a new file from this frame on
        m_origin = t;
        m_fed = 1;
        return {1, true, t};
    }
    m_fed = due;
    return {static_cast<int>(pictures), false,
            m_origin + std::chrono::duration_cast<Clock::duration>(kSlot * (due - 1))};
}
