// One opened capture device. The device is opened on the camera's streaming
// thread; from then on a reader thread of its own only reads the device's
// packets and stamps each with its capture time as it arrives (CaptureClock:
// the stream's own stamps while they move with the clock, else the arrival
// of the picture's first byte), so a busy PC never makes a picture late.
// The streaming thread takes the packets, decodes them and turns each
// picture into the RGB frame of the pipeline (PictureDecoder). MJPEG over HTTP or TCP is cut into pictures by
// their own markers, so each is handed on when its last byte arrives.
// Virtual (lavfi) sources are paced to real time. An open gives up after
// kOpenTimeout, and a source that delivers nothing for kStallTimeout (a
// network camera that stops sending, a USB camera that hangs) reads as an
// error, like a device that is gone.
#pragma once

#include "CaptureClock.h"
#include "CaptureDevices.h"
#include "FfmpegPtr.h"
#include "JpegSplitter.h"
#include "OpenFailure.h"
#include "PacketReader.h"
#include "PictureDecoder.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVIOContext;

class CaptureSource {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kOpenTimeout{5000};
    static constexpr std::chrono::milliseconds kStallTimeout{5000};

    CaptureSource();
    ~CaptureSource();
    CaptureSource(const CaptureSource&) = delete;
    CaptureSource& operator=(const CaptureSource&) = delete;

    // Opens the device within kOpenTimeout, with the entry's input options
    // (RTSP over TCP unless they say otherwise), and starts its reader
    // thread named `readerName`; false with `error` on failure.
    bool Open(const CaptureDeviceEntry& device, std::string* error, const std::string& readerName = "camera-read");
    // Why the last open failed.
    OpenFailure LastOpenFailure() const { return m_openFailure; }
    int Width() const { return m_decoding.Width(); }
    int Height() const { return m_decoding.Height(); }

    // Reads the next picture into `frame` (3 × Width() × Height() bytes).
    // Again: nothing yet, ask again. End: the stream is over.
    ReadStatus ReadFrame(std::uint8_t* frame);

    // When the last frame was captured, on the steady clock.
    Clock::time_point LastCaptureTime() const { return m_decoding.CaptureTime(); }
    // How long the camera sent nothing before the last frame, the pictures
    // left out since the frame before it included.
    Clock::duration LastSilence() const { return m_decoding.Silence(); }
    // Pictures left out so far because the streaming thread was behind.
    std::size_t PicturesLeftOut() const { return m_reader.Queue().LeftOut() + m_decoding.LeftOut(); }

    // Makes a pending open or read give up; callable from any thread.
    void RequestStop();
    // Stops and joins the reader thread (RequestStop first); safe to call twice.
    void StopReading();

private:
    struct FormatCloser {
        void operator()(AVFormatContext* f) const;
    };
    struct BytesCloser {
        void operator()(AVIOContext* b) const;
    };
    static int Interrupted(void* opaque);
    void ExtendDeadline(std::chrono::milliseconds by);
    bool OpenInput(const CaptureDeviceEntry& device, std::string* error);
    bool OpenByteStream(const CaptureDeviceEntry& device, std::string* error);
    bool LookUp(std::string* url, AVDictionary** options, std::string* error);
    bool OpenDecoder(std::string* error);
    bool OpenJpegDecoder(std::string* error);
    bool SetUpDecoder(const AVCodec* codec, const AVCodecParameters* par, std::string* error);

    // Reader thread.
    PacketReader::Read ReadStamped(StampedPacket* out);
    PacketReader::Read ReadDemuxed(AVPacket* packet, Clock::time_point* arrival);
    PacketReader::Read ReadPicture(AVPacket* packet, Clock::time_point* arrival);
    bool ReadBytes();
    bool IsStaleBacklog(Clock::time_point arrival);
    void Pace(Clock::time_point due);

    std::atomic<bool> m_stop{false};
    std::atomic<Clock::rep> m_deadline{0};  // of the open, then of the next packet
    std::unique_ptr<AVFormatContext, FormatCloser> m_input;  // a demuxed device
    std::unique_ptr<AVIOContext, BytesCloser> m_bytes;       // or an MJPEG byte stream
    int m_stream = -1;
    bool m_paced = false;
    OpenFailure m_openFailure = OpenFailure::kNone;

    // Reader thread only.
    CaptureClock m_clock;
    JpegSplitter m_splitter;
    std::vector<JpegSplitter::Picture> m_pictures;  // whole, not yet handed on
    std::vector<std::uint8_t> m_chunk;
    Clock::time_point m_lastArrival{};
    Clock::duration m_readWait{};  // how long the last read waited (a buffered one: hardly at all)
    bool m_sawAgain = false;
    // After the process was stopped, a stream timed by arrival holds a
    // backlog whose frames would all seem to arrive now: they are skipped
    // until a packet has to be waited for again.
    std::uint64_t m_seenResumes = 0;
    bool m_skipBacklog = false;
    Clock::time_point m_backlogSince{};
    Clock::duration m_frameGap{std::chrono::milliseconds(40)};  // between fresh frames
    Clock::time_point m_lastFresh{};

    PictureDecoder m_decoding;  // the streaming thread's

    PacketReader m_reader;  // last: joined before what it reads is closed
};
