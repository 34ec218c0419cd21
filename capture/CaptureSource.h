// One opened capture device: libavformat reads it, libavcodec decodes what it
// sends (raw formats, MJPEG, ...) and libswscale turns every picture into the
// RGB frame of the pipeline (blue, green, red; rows bottom-up; 3 × width
// bytes a row). Virtual (lavfi) sources are paced to real time. Opening and
// reading run on the camera's own thread and are bounded: an open gives up
// after kOpenTimeout, and a source that delivers nothing for kStallTimeout
// (a network camera that stops sending, a USB camera that hangs) reads as
// an error, like a device that is gone.
#pragma once

#include "CaptureClock.h"
#include "CaptureDevices.h"
#include "OpenFailure.h"
#include "FfmpegPtr.h"
#include "PackedScale.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

// Resized: the camera's pictures changed their size; Width() and Height()
// give the new one, and the next read delivers the picture at that size.
enum class ReadStatus { Frame, Again, End, Error, Resized };

class CaptureSource {
public:
    static constexpr std::chrono::milliseconds kOpenTimeout{5000};
    static constexpr std::chrono::milliseconds kStallTimeout{5000};

    CaptureSource();
    ~CaptureSource();
    CaptureSource(const CaptureSource&) = delete;
    CaptureSource& operator=(const CaptureSource&) = delete;

    // Opens the device within kOpenTimeout, with the entry's input options
    // (RTSP over TCP unless they say otherwise); false with `error` on failure.
    bool Open(const CaptureDeviceEntry& device, std::string* error);
    // Why the last open failed.
    OpenFailure LastOpenFailure() const { return m_openFailure; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Reads the next picture into `frame` (3 × Width() × Height() bytes).
    // Again: nothing yet, ask again shortly. End: the stream is over.
    ReadStatus ReadFrame(std::uint8_t* frame);

    // When the last frame was captured, on the steady clock (CaptureClock):
    // its time stamp while the stream's stamps move with the clock, else
    // its arrival. So a network camera's burst of buffered frames keeps
    // the frames' spacing, and invented stamps never bend the time.
    std::chrono::steady_clock::time_point LastCaptureTime() const { return m_captureTime; }

    // Makes a pending open or read give up; callable from any thread.
    void RequestStop() { m_stop = true; }

private:
    struct FormatCloser {
        void operator()(AVFormatContext* f) const;
    };
    static int Interrupted(void* opaque);
    bool OpenInput(const CaptureDeviceEntry& device, std::string* error);
    bool OpenDecoder(std::string* error);
    bool LookUp(std::string* url, AVDictionary** options, std::string* error);
    void ExtendDeadline(std::chrono::milliseconds by);
    ReadStatus ReadPacket();
    bool Convert(std::uint8_t* frame);
    void TakeCaptureTime();
    bool IsStaleBacklog();
    void Pace();
    bool TakeNewSize();

    std::atomic<bool> m_stop{false};
    std::chrono::steady_clock::time_point m_deadline{};  // of the open, then of the next packet
    std::unique_ptr<AVFormatContext, FormatCloser> m_input;
    CodecContextPtr m_decoder;
    PacketPtr m_packet;
    FramePtr m_picture;
    SwsContextPtr m_scaler;
    PackedScaler m_packed;  // rows bottom-up at exactly 3 × width bytes
    int m_stream = -1;
    int m_width = 0;
    int m_height = 0;
    bool m_paced = false;
    bool m_draining = false;
    bool m_held = false;  // m_picture waits for the pipeline to take its new size
    CaptureClock m_clock;
    std::chrono::steady_clock::time_point m_captureTime{};
    // How long the last packet's read waited (a buffered one: hardly at all).
    std::chrono::steady_clock::duration m_readWait{};
    bool m_sawAgain = false;
    // After the process was stopped, a stream timed by arrival holds a
    // backlog whose frames would all seem to arrive now: they are skipped
    // until a packet has to be waited for again.
    std::uint64_t m_seenResumes = 0;
    bool m_skipBacklog = false;
    std::chrono::steady_clock::time_point m_backlogSince{};
    // The stream's usual gap between fresh frames, and the last fresh one.
    std::chrono::steady_clock::duration m_frameGap{std::chrono::milliseconds(40)};
    std::chrono::steady_clock::time_point m_lastFresh{};
    OpenFailure m_openFailure = OpenFailure::kNone;
};
