#include "MotionTracker.h"

#include <algorithm>

std::optional<MotionSpan> MotionTracker::Add(const std::string& path, PreciseTime time, double share)
{
    std::optional<MotionSpan> ended;
    if (m_open && (path != m_open->path || time - m_open->end > kQuiet))
        ended = Close();
    if (share <= 0)
        return ended;
    if (!m_open)
        m_open = MotionSpan{m_camera, path, time, time, share};
    m_open->end = time;
    m_open->peak = std::max(m_open->peak, share);
    ++m_pictures;
    return ended;
}

std::optional<MotionSpan> MotionTracker::Finish()
{
    return Close();
}

std::optional<MotionSpan> MotionTracker::Close()
{
    std::optional<MotionSpan> span = std::move(m_open);
    const int pictures = m_pictures;
    m_open.reset();
    m_pictures = 0;
    if (pictures < kFewestPictures)
        return std::nullopt;
    return span;
}
