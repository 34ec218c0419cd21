// Network cameras on the loopback address for the tests: an MJPEG stream
// served over HTTP by the ffmpeg tool (which can be paused, like a camera
// that stops sending), and a port that accepts connections and never answers.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <sys/types.h>

// A free TCP port on 127.0.0.1.
int FreeLoopbackPort();

class MjpegHttpCamera {
public:
    explicit MjpegHttpCamera(int port, int rate = 25);
    ~MjpegHttpCamera();
    MjpegHttpCamera(const MjpegHttpCamera&) = delete;
    MjpegHttpCamera& operator=(const MjpegHttpCamera&) = delete;

    // The device entry that reads it.
    std::string Entry(const std::string& userInfo = {}) const;
    void Pause();   // keeps the connection, sends nothing
    void Resume();
    void Kill();

private:
    int m_port;
    pid_t m_pid = -1;
};

// An RTSP camera: GStreamer's RTSP server (python3-gi) serving JPEG over
// RTP at rtsp://127.0.0.1:PORT/live. Available() is false where Debian's
// packages for it are missing.
class RtspCamera {
public:
    static bool Available();
    explicit RtspCamera(int port);
    ~RtspCamera();
    RtspCamera(const RtspCamera&) = delete;
    RtspCamera& operator=(const RtspCamera&) = delete;

    std::string Entry() const;

private:
    int m_port;
    pid_t m_pid = -1;
};

// A camera that refuses every request with HTTP 401, as one does when the
// password is wrong, and counts the tries: bursts of requests more than
// 300 ms apart (one open asks more than once).
class RefusingCamera {
public:
    explicit RefusingCamera(int port);
    ~RefusingCamera();
    RefusingCamera(const RefusingCamera&) = delete;
    RefusingCamera& operator=(const RefusingCamera&) = delete;

    int Tries() const { return m_tries; }
    int Requests() const { return m_requests; }

private:
    void Serve();

    int m_fd = -1;
    std::atomic<int> m_tries{0};
    std::atomic<int> m_requests{0};
    std::chrono::steady_clock::time_point m_last{};  // of the last request; the serving thread's
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // "refusing-camera"; joined by the destructor
};

// Accepts connections (the kernel does, into the listening socket's queue)
// and never sends a byte.
class SilentServer {
public:
    explicit SilentServer(int port);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

private:
    int m_fd = -1;
};
