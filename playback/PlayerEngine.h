// PlayerEngine: plays one recording without a window. Its decoding thread
// reads the file in 4096-byte chunks, cuts them into pictures (either
// recording format: RecordingDecoder), decodes them and keeps the latest as an image, one
// picture every 40 ms (or faster at a higher speed). Everything the thread
// and the callers share (the file, the state, a seek's target, a step, the
// speed, the picture shown) lies under one mutex; what the thread has to
// tell (a picture shown, the end of the playback) goes into one queue of
// notices, and a wake callback says when the queue has something. The
// thread never waits for whoever shows the pictures.
#pragma once

#include "RecordingDecoder.h"
#include "PictureImage.h"
#include "PictureTime.h"
#include "PlayerNotices.h"
#include "PlayerEvent.h"
#include "RecordingSeeker.h"

#include <QImage>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum PlayState : std::int32_t { Playing = 1, Stopped = 2, Paused = 3 };

class PlayerEngine {
public:
    enum PlayResult { kPlayStarted = 0, kDecoderOpenFailed = 1, kNoDecoder = 2, kFileOpenFailed = 3 };
    static constexpr int kChunkSize = 4096;
    // Above this speed only intra pictures are decoded.
    static constexpr int kFullDecodeSpeed = 4;

    PlayerEngine() = default;
    ~PlayerEngine();
    PlayerEngine(const PlayerEngine&) = delete;
    PlayerEngine& operator=(const PlayerEngine&) = delete;

    // Called on the decoding thread when the queue of notices gets its
    // first one; it must not block (a window posts itself a call).
    void SetWake(std::function<void()> wake) { m_notices.SetWake(std::move(wake)); }
    // The notices since the last call, oldest first; pictures shown one
    // after another come as the last of them.
    std::vector<PlayerNotice> TakeNotices() { return m_notices.Take(); }

    // Opens `path` and plays it from its start; the thread starts unless
    // it runs. Codes as PlayResult.
    int Play(const std::string& path);
    // Playing: pauses. Paused: plays on. Ended with a file: plays it again.
    void TogglePause();
    // Shows picture `number` (clamped to the file): paused, that picture;
    // playing, playback goes on from it; ended, playback starts there.
    void SeekToPicture(long long number);
    // Paused: the next picture (Step) or the previous one (StepBack).
    // Playing: both pause.
    void Step();
    void StepBack();
    // 1, 2, 4, 8 or 16; other values are ignored.
    void SetSpeed(int speed);
    int Speed() const { return Locked(m_speed); }
    // The time between two pictures at 1×; 0 for measurements without pacing.
    void SetPacing(std::chrono::milliseconds pause);
    // Ends the playback and joins the thread; at once when none runs.
    void Stop();
    // Waits until the decoding thread has ended, at most `timeoutMs`.
    bool WaitForEnd(int timeoutMs) { return m_endEvent.Wait(timeoutMs); }

    PlayState State() const { return Locked(m_state); }
    bool HasFile() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_file != nullptr;
    }
    int Generation() const { return Locked(m_generation); }
    // The number of the picture shown from its file's start, or -1.
    long long ShownNumber() const { return Locked(m_shownNumber); }
    // The number of the file's last picture, read again from the file's
    // tail (a file being written grows).
    long long RefreshLastNumber();
    long long LastNumber() const { return Locked(m_lastNumber); }
    std::uint64_t PicturesShown() const { return Locked(m_picturesShown); }
    // The picture shown, in the scene's colours, and its number.
    QImage ShownPicture(long long* number) const;
    // The camera and start of the file being played, from its name, and its path.
    RecordingIdentity Recording() const { return Locked(m_recording); }
    std::string Path() const { return Locked(m_path); }

private:
    using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
    using Lock = std::unique_lock<std::mutex>;

    template <typename T>
    T Locked(const T& value) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return value;
    }
    void StartThread(Lock& lock);
    void EndLocked();
    void Run();
    bool ReadChunk(std::size_t* count);
    bool StartStream();
    bool GoesOnAfterEnd();
    void Finish();
    bool ShowPaced(const AVFrame* picture);
    bool ShowLast(const AVFrame* picture);
    bool Accept(const AVFrame* picture);
    bool Publish(const AVFrame* picture);
    bool WaitAfterPicture();
    void UpdateDecodeMode(const Lock& lock);
    void PaceLocked(Lock& lock);
    void SeekLocked(Lock& lock, long long number);
    long long RefreshLastLocked();

    // Shared, under m_lock.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;  // a state, a seek, a step or the speed changed
    PlayState m_state = Stopped;
    FilePtr m_file{nullptr, &std::fclose};
    RecordingSeeker m_seeker;
    RecordingIdentity m_recording;
    std::string m_path;
    bool m_trueColours = true;  // the file's mark says so; older files hold red and blue exchanged
    RecordingDecoder::Format m_format = RecordingDecoder::Format::kMpeg1;  // of the file being played
    std::int64_t m_firstPts = 0;
    bool m_resetStream = false;
    long long m_seekTarget = -1;  // pictures before it are decoded, not shown
    bool m_stepRequested = false;
    int m_speed = 1;
    int m_pacingMs = 40;
    long long m_lastNumber = 0;
    long long m_shownNumber = -1;
    int m_generation = 0;
    int m_endedGeneration = 0;  // the playback the thread's last end belongs to
    std::uint64_t m_picturesShown = 0;
    QImage m_image;
    long long m_imageNumber = -1;
    bool m_paceStarted = false;
    std::chrono::steady_clock::time_point m_nextPicture;

    PlayerNotices m_notices;

    // The decoding thread's own (the decoder is opened by Play before the
    // thread starts and closed after it is joined).
    RecordingDecoder m_decoder;
    PictureImage m_converter;
    std::uint8_t m_inbuf[kChunkSize + AV_INPUT_BUFFER_PADDING_SIZE] = {};
    long long m_pictureNumber = -1;
    long long m_lastPacedNumber = -1;
    bool m_intraOnly = false;
    bool m_awaitIntra = false;

    PlayerEvent m_endEvent{true};
    std::thread m_thread;  // joined by Stop, Play and the destructor
};
