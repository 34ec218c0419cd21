#include "CaptureClock.h"

#include <cstring>

namespace {

using std::chrono::microseconds;

// A stamp that goes back further than this starts a new count (a camera
// that restarted its stream).
constexpr std::int64_t kStampRestartUs = 1000000;

}  // namespace

CaptureClock::Clock::time_point CaptureClock::TimeOf(std::optional<std::int64_t> stampUs, Clock::time_point arrival)
{
    if (!stampUs || m_mode == Mode::Arrival)
        return Monotonic(arrival);
    if (!m_haveBase || *stampUs < m_lastStamp - kStampRestartUs) {
        m_haveBase = true;
        m_firstStamp = *stampUs;
        m_base = arrival;
    }
    m_lastStamp = *stampUs;
    return m_mode == Mode::Paced ? Paced(*stampUs, arrival) : Stamped(*stampUs, arrival);
}

// A frame cannot have been taken after it arrived: the stamps' place on
// the clock moves back whenever one would be. What is left is how late
// the frame arrived, which for true stamps stays small.
CaptureClock::Clock::time_point CaptureClock::Stamped(std::int64_t stampUs, Clock::time_point arrival)
{
    const microseconds offset(stampUs - m_firstStamp);
    if (arrival - offset < m_base)
        m_base = arrival - offset;
    const Clock::time_point stamped = m_base + offset;
    if (arrival - stamped > kMaxLag) {
        m_mode = Mode::Arrival;
        return Monotonic(arrival);
    }
    return Monotonic(stamped);
}

CaptureClock::Clock::time_point CaptureClock::Paced(std::int64_t stampUs, Clock::time_point arrival)
{
    const Clock::time_point stamped = m_base + microseconds(stampUs - m_firstStamp);
    if (arrival - stamped > kMaxPacedLag) {
        m_firstStamp = stampUs;
        m_base = arrival;
        return Monotonic(arrival);
    }
    return Monotonic(stamped);
}

CaptureClock::Clock::time_point CaptureClock::Monotonic(Clock::time_point t)
{
    if (t < m_last)
        return m_last;
    m_last = t;
    return t;
}

bool ReaderInventsStamps(const char* format)
{
    if (format == nullptr)
        return false;
    // Readers of bare picture streams number the pictures at a rate they
    // assume; none of them sees when a picture was taken.
    for (const char* name : {"mpjpeg", "mjpeg", "jpeg_pipe", "image2pipe", "mpegvideo", "h264", "hevc", "m4v"})
        if (std::strcmp(format, name) == 0)
            return true;
    return false;
}
