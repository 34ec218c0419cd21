// Network cameras on the loopback address for the tests: an MJPEG stream
// served over HTTP by the ffmpeg tool (which can be paused, like a camera
// that stops sending), and a port that accepts connections and never answers.
#pragma once

#include <string>
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
