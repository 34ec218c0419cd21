// One camera's way to the remote view. While a viewer asks for pictures
// (within the last few seconds), the streaming thread hands over a stamped
// picture of at most 960 × 540 now and then (at most ten a second, and
// only once the last one was asked for); while nobody watches it costs the
// streaming thread one look at a clock. A picture is made a JPEG once, by the
// first viewer that asks for it, and every other viewer gets the same bytes:
// the work follows the cameras watched, not the viewers. The interface
// thread keeps the camera's name and recording mark here for the page.
#pragma once

#include "LiveShot.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class LiveTap {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kWatchSpan{3};
    static constexpr std::chrono::milliseconds kPace{100};
    static constexpr std::chrono::seconds kFresh{2};
    static constexpr int kLargestWidth = 960;
    static constexpr int kLargestHeight = 540;
    static constexpr int kQuality = 70;

    explicit LiveTap(std::string name) : m_name(std::move(name)) {}
    // Interface thread: the camera's name as its panel says it.
    void SetName(std::string name);

    // The size a picture of `frame` is handed over at: its own, or halved
    // until it fits, then fitted, keeping its shape.
    static QSize PictureSize(QSize frame);

    // Streaming thread: whether to hand a picture over now.
    bool Wanted(Clock::time_point now) const;
    // Streaming thread: a 32-bit image to draw the next picture into.
    QImage ImageToDraw(QSize size);
    void Put(QImage image, std::string time, Clock::time_point now);

    // Interface thread: the mark the panel shows.
    void SetMark(bool recording, std::string text);

    // A viewer's thread: counts as watching; the newest picture as a JPEG
    // when it is newer than `after` and fresh, else a shot without bytes.
    LiveShot Take(std::uint64_t after, Clock::time_point now);
    LiveState State(Clock::time_point now) const;

private:
    static std::int64_t Ticks(Clock::time_point t) { return t.time_since_epoch().count(); }

    std::string m_name;  // guarded by m_mutex
    std::atomic<std::int64_t> m_askedAt{0};   // Clock ticks; 0: never
    std::atomic<std::int64_t> m_putAt{0};
    std::atomic<bool> m_taken{true};          // the last picture went to a viewer
    mutable std::mutex m_mutex;               // the picture and the mark
    QImage m_image;
    QImage m_spare;
    std::uint64_t m_number = 0;
    std::string m_time;
    bool m_recording = false;
    std::string m_mark;
    std::mutex m_encodeMutex;                 // one JPEG at a time, kept
    std::uint64_t m_jpegNumber = 0;
    std::shared_ptr<const std::string> m_jpeg;
};
