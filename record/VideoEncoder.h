// CVideoEncoder: one camera's encoder. Stamped RGB frames (blue, green,
// red; rows bottom-up; 3 × width bytes a row) become a raw MPEG-1 video
// elementary stream in the camera's current recording file, or H.264 in an
// MPEG-TS stream (H264Writer) when that format is chosen for new files;
// each new file with its history row (handed to the history writer, never
// waited for).
// The stream has no B pictures, so a slot that repeats the previous picture
// is a copying P picture written by the recorder itself (RepeatPicture.h)
// and costs the codec nothing; an intra picture begins a group at least
// every kGopSize slots that bring a new picture.
//
// Init runs before streaming, EncodeFrame and NewFile on the streaming thread,
// Close after streaming stopped; the capture graph keeps them apart, so the
// object takes no lock.
#pragma once

#include "FfmpegPtr.h"
#include "PictureClock.h"
#include "H264Writer.h"
#include "RecordFormat.h"
#include "RecordState.h"
#include "RecordingTarget.h"
#include "RepeatPicture.h"
#include "TextFormat.h"

#include <atomic>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CVideoEncoder {
public:
    static constexpr int kBitRate = 400000;
    static constexpr int kFramesPerSecond = 25;
    static constexpr int kGopSize = 10;
    // A B picture would stand between a repeated picture and its copies.
    static constexpr int kMaxBFrames = 0;

    CVideoEncoder() = default;
    ~CVideoEncoder() { Close(); }
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;

    // Remembers the device index; opens the codec at this size unless it is
    // open already. Ends the process when there is no MPEG-1 encoder at all.
    void Init(int deviceIndex, int width, int height);
    // Encodes one frame, opening a recording file first if none is open.
    void EncodeFrame(const std::uint8_t* frame, int width, int height);
    // The same for the picture of the moment `pictureTime`: a file opened
    // for it starts at that moment (its name and its first picture mark).
    void EncodeFrame(const std::uint8_t* frame, int width, int height, PreciseTime pictureTime);
    // Shows the last picture once more (the camera was slower than the
    // recording's 25 a second): a copying picture, written once the codec
    // has given out the picture it copies.
    void RepeatLastPicture();
    // Closes the current file and starts a new one with its history row,
    // whose first picture shows `firstPicture` (by default the clock's now).
    // 1 when a file was opened, 0 when not.
    int NewFile();
    int NewFile(PreciseTime firstPicture);
    // Drains the codec, ends the file with the sequence end code, frees the codec.
    void Close();
    // The format of the file being written.
    RecordFormat FileFormat() const { return m_format; }
    // A file is being written, and another format is chosen for new ones.
    bool IsFormatOutdated() const { return m_target.IsOpen() && m_format != ChosenRecordFormat(); }

    void SetRecordingRoot(const std::string& root) { m_target.SetRoot(root); }
    // The clock that names new files (tests move it across midnight).
    void SetClock(std::function<TimeValue()> clock) { m_clock = std::move(clock); }
    // Pictures handed to the codec since construction.
    std::uint64_t FramesEncoded() const { return m_framesEncoded; }
    const std::string& RecordingRoot() const { return m_target.Root(); }
    int DeviceIndex() const { return m_deviceIndex; }
    bool IsInitialised() const { return m_initialised != 0; }
    // Path of the file being written; empty when none is open.
    const std::string& CurrentPath() const { return m_target.Path(); }
    // Whether the file grows, or why not; any thread may ask.
    RecordState State() const { return m_target.State(); }

private:
    bool ConvertFrame(const std::uint8_t* frame, int width, int height);
    void SendPicture(AVFrame* picture, bool intra);
    void SendToCodec(const AVFrame* picture);
    void WritePacket(AVPacket* packet);
    void WritePendingRepeats();
    AVFrame* WritablePicture();
    void RestartStream();
    void HandleTrouble(RecordingFile::Trouble trouble);
    void ReplaceRemovedFile();
    bool OpenTransportStream(PreciseTime firstPicture);
    void NoteSequenceHeader(const std::uint8_t* data, std::size_t size);
    void UpdateHeaderRate();
    static constexpr long long kRateUpdateSlots = 60 * kFramesPerSecond;
    static constexpr long long kProbedSlots = 10 * kFramesPerSecond;
    void FreeCodec();

    int m_initialised = 0;
    RecordingTarget m_target;
    CodecContextPtr m_context;
    std::array<FramePtr, 4> m_pictures;  // taking turns, see WritablePicture
    AVFrame* m_current = nullptr;  // the last converted picture
    FramePtr m_repeat;             // a second reference to it, sent as an intra repeat
    PacketPtr m_packet;
    // The codec gives out each picture when it gets the next one, so the
    // repeats of a picture wait for it here, then follow it into the file.
    int m_pendingRepeats = 0;
    std::vector<std::uint8_t> m_repeatPicture;  // a copying picture of this size
    std::vector<std::uint8_t> m_repeatBuffer;
    SlotNumbering m_numbering;      // of the pictures as they are written
    long long m_lastIntraSlot = 0;  // of the pictures as they are decided
    SwsContextPtr m_scaler;
    long long m_nextSlot = 0;  // the slot of the next picture decided
    PreciseTime m_pictureTime = -1;  // of the frame being encoded; -1: the clock's now
    std::string m_firstPictureMark;  // goes into the new file's first coded bytes
    struct HeaderPlace {
        std::uint64_t body;        // in the file, after the start code
        std::uint8_t lastByte;     // its 7th byte: two bits of the rate, then others
    };
    std::vector<HeaderPlace> m_headerPlaces;  // the sequence headers of the file's first seconds
    long long m_rateSlot = 0;     // the slot its bit rate was last set at
    std::uint64_t m_bitRate = 0;  // the last file's average, bit/s
    std::atomic<std::uint64_t> m_framesEncoded{0};
    std::function<TimeValue()> m_clock = CurrentTime;
    int m_deviceIndex = 0;
    RecordFormat m_format = RecordFormat::kMpeg1;  // of the file being written
    H264Writer m_h264;  // open while an H.264 file is written
    PreciseTime m_fileFirstPicture = 0;
};
