#include "RecordTimeline.h"

#include <cmath>

int RecordTimeline::PicturesFor(Clock::time_point t)
{
    constexpr std::chrono::microseconds kSlot{1000000 / kPicturesPerSecond};
    if (!m_started || t < m_origin) {
        m_started = true;
        m_origin = t;
        m_fed = 1;
        return 1;
    }
    // The nearest slot, so that a steady camera's jitter neither drops nor
    // repeats a picture.
    const double slots = std::chrono::duration<double>(t - m_origin) / kSlot;
    const std::int64_t due = static_cast<std::int64_t>(std::floor(slots + 0.5)) + 1;
    const std::int64_t pictures = due - m_fed;
    if (pictures <= 0)
        return 0;
    if (pictures - 1 > kMaxRepeats) {  // a gap: the next picture follows on, the gap is left out
        m_origin += (pictures - 1) * kSlot;
        ++m_fed;
        return 1;
    }
    m_fed = due;
    return static_cast<int>(pictures);
}
