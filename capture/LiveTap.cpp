#include "LiveTap.h"

#include "JpegEncode.h"

QSize LiveTap::PictureSize(QSize frame)
{
    while (frame.width() > kLargestWidth * 2 || frame.height() > kLargestHeight * 2)
        frame /= 2;
    if (frame.width() > kLargestWidth || frame.height() > kLargestHeight)
        frame = frame.scaled(kLargestWidth, kLargestHeight, Qt::KeepAspectRatio);
    return frame.expandedTo(QSize(1, 1));
}

// A picture no viewer took yet is not followed by another before a second
// has passed: a slow viewer is not paid for at the camera's rate.
bool LiveTap::Wanted(Clock::time_point now) const
{
    const std::int64_t asked = m_askedAt.load(std::memory_order_relaxed);
    if (asked == 0 || Ticks(now) - asked >= Clock::duration(kWatchSpan).count())
        return false;
    const std::int64_t since = Ticks(now) - m_putAt.load(std::memory_order_relaxed);
    if (since < Clock::duration(kPace).count())
        return false;
    return m_taken.load(std::memory_order_relaxed) || since >= Clock::duration(std::chrono::seconds(1)).count();
}

QImage LiveTap::ImageToDraw(QSize size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() == size && m_spare.isDetached())
        return std::move(m_spare);
    return QImage(size, QImage::Format_RGB32);
}

void LiveTap::Put(QImage image, std::string time, Clock::time_point now)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_spare = std::move(m_image);
        m_image = std::move(image);
        m_time = std::move(time);
        ++m_number;
    }
    m_putAt = Ticks(now);
    m_taken = false;
}

void LiveTap::SetName(std::string name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_name = std::move(name);
}

void LiveTap::SetMark(bool recording, std::string text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = recording;
    m_mark = std::move(text);
}

LiveShot LiveTap::Take(std::uint64_t after, Clock::time_point now)
{
    m_askedAt = Ticks(now);
    LiveShot shot;
    QImage image;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool fresh = Ticks(now) - m_putAt.load() < Clock::duration(kFresh).count();
        if (m_number <= after || !fresh || m_image.isNull())
            return shot;
        image = m_image;  // shared, never drawn into again
        shot.number = m_number;
        shot.time = m_time;
        shot.ageMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration(Ticks(now) - m_putAt.load()))
                         .count();
    }
    std::lock_guard<std::mutex> lock(m_encodeMutex);
    if (m_jpegNumber != shot.number) {
        auto jpeg = std::make_shared<std::string>();
        if (!EncodeJpeg(image, kQuality, jpeg.get()))
            return LiveShot{};
        m_jpeg = std::move(jpeg);
        m_jpegNumber = shot.number;
    }
    shot.jpeg = m_jpeg;
    m_taken = true;
    return shot;
}

LiveState LiveTap::State(Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool fresh = m_number > 0 && Ticks(now) - m_putAt.load() < Clock::duration(kFresh).count();
    return LiveState{m_name, m_recording, m_mark, m_time, fresh};
}
