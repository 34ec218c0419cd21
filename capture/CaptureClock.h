// When a captured frame was taken, on the steady clock. A source's own time
// stamps keep a network camera's burst of buffered frames at its spacing,
// but many readers invent them (FFmpeg's MJPEG readers stamp 25 frames a
// second whatever arrives). So stamps count only while they move with the
// arrival times, measured per stream: they are laid on the clock so that
// none is later than its frame's arrival, and a stream whose stamps then
// fall behind the arrivals by more than kMaxLag is timed by arrival from
// there on, as is a stream whose reader is known to invent them. A virtual
// camera is paced by its stamps, so they are its time, until it cannot draw
// its pictures in time: a picture later than its stamp is timed by when it
// was made, and the pacing goes on from there, as a real camera would.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

class CaptureClock {
public:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Stamps, Arrival, Paced };
    static constexpr std::chrono::milliseconds kMaxLag{500};
    // A paced source this far behind its stamps is timed by arrival from then on.
    static constexpr std::chrono::milliseconds kMaxPacedLag{100};

    explicit CaptureClock(Mode mode = Mode::Stamps) : m_mode(mode) {}

    // The time of a frame that arrived at `arrival` with its own stamp
    // (microseconds, any origin) or none. Never earlier than the last one.
    Clock::time_point TimeOf(std::optional<std::int64_t> stampUs, Clock::time_point arrival);
    Mode CurrentMode() const { return m_mode; }

private:
    Clock::time_point Stamped(std::int64_t stampUs, Clock::time_point arrival);
    Clock::time_point Paced(std::int64_t stampUs, Clock::time_point arrival);
    Clock::time_point Monotonic(Clock::time_point t);

    Mode m_mode;
    bool m_haveBase = false;
    std::int64_t m_firstStamp = 0;
    std::int64_t m_lastStamp = 0;
    Clock::time_point m_base{};  // where the first stamp lies on the clock
    Clock::time_point m_last{};
};

// Whether the input format named `format` (libavformat's name) invents its
// time stamps from a nominal rate instead of reading them from the source.
bool ReaderInventsStamps(const char* format);
