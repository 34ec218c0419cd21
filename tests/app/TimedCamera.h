// A network camera whose every picture shows when it was taken, in a form a
// test reads back without OCR: 24 black or white bars across the middle of
// a grey picture, the milliseconds since the camera's epoch in binary. It
// serves MJPEG over HTTP (or raw, the pictures back to back over TCP) on
// 127.0.0.1 from its own thread, at a chosen rate, and can pause (send
// nothing) for a while in every period.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TimedCamera {
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    // `pauseMs` of silence at the start of every `periodMs` (0: never).
    TimedCamera(int port, int rate, std::int64_t epochUs, int pauseMs = 0, int periodMs = 0, bool raw = false);
    ~TimedCamera();
    TimedCamera(const TimedCamera&) = delete;
    TimedCamera& operator=(const TimedCamera&) = delete;

    std::string Entry() const;
    int PicturesSent() const { return m_sent; }

private:
    void Serve();
    bool SendPicture(int client);
    bool InPause() const;

    int m_port;
    int m_rate;
    std::int64_t m_epochUs;
    int m_pauseMs;
    int m_periodMs;
    bool m_raw;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_sent{0};
    std::thread m_thread;  // the camera; joined by the destructor
};

// The milliseconds since the epoch that a grey picture's bars tell, or
// nothing when they are not readable.
std::optional<std::int64_t> ReadBars(const std::uint8_t* grey, int width, int height);

// Every picture of a video file as 8-bit grey, decoded by the ffmpeg tool.
std::vector<std::vector<std::uint8_t>> GreyPictures(const std::string& path, int width, int height);
