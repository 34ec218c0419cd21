// CVideoPlayDlg: the player inside the history dialog. A decoding thread
// reads the recording in 4096-byte chunks, cuts them into pictures with the
// MPEG-1 video parser, decodes and hands each picture to the window, one at
// least every 40 ms. The 0..10000 trackbar stands for the time from the
// file's first picture to its last; a seek finds its picture's group by a
// bisection over the file (RecordingSeeker). A row above the trackbar shows
// the time of the picture on screen and offers a jump to a time of day,
// fast playback, a step back or forward while paused and a snapshot.
#pragma once

#include "Mpeg1StreamDecoder.h"
#include "PackedScale.h"
#include "PictureTime.h"
#include "PlayerEvent.h"
#include "RecordingSeeker.h"

#include <QDialog>
#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class CETBitmapButton;
class CPlayerToolbar;
class CSeekBar;

enum PlayState : std::int32_t { Playing = 1, Stopped = 2, Paused = 3 };

class CVideoPlayDlg : public QDialog {
    Q_OBJECT
public:
    enum PlayResult { kPlayStarted = 0, kDecoderOpenFailed = 1, kNoDecoder = 2, kFileOpenFailed = 3 };
    enum ButtonImage { kImageStop = 151, kImagePause = 152, kImagePlay = 153 };
    static constexpr int kChunkSize = 4096;
    static constexpr unsigned kSeekRange = 10000;
    // Above this speed only intra pictures are decoded.
    static constexpr int kFullDecodeSpeed = 4;

    explicit CVideoPlayDlg(QWidget* parent = nullptr);
    ~CVideoPlayDlg() override;

    int PlayFile(const std::string& path);
    void OnPlayButton();
    // The trackbar's thumb released at `position` (0..10000 of the file's time).
    void OnSeek(int position);
    // Shows picture `number` of the file (the first or last when out of
    // range): paused, that picture; playing, playback goes on from it; after
    // the end of the file, playback starts again there.
    void SeekToPicture(long long number);
    // Moves `seconds` back (negative) or forward from the picture on screen.
    void JumpBy(int seconds);
    // Goes to the time of day "HH:MM:SS" of the recording's day; false, with
    // a message, for a time that is not a time or not in the recording.
    bool JumpToTimeOfDay(const QString& text);
    // While paused: the previous picture. While playing: pauses.
    void OnStepBack();
    void OnClose();

    PlayState State() const;
    int ButtonImageId() const { return m_buttonImage; }
    CSeekBar* Trackbar() const { return m_trackbar; }
    // Its controls in the order Tab visits them: the trackbar, the play
    // button, then the row of tools.
    QList<QWidget*> FocusChain() const;
    std::uint64_t PicturesShown() const { return m_picturesShown; }
    // The last picture handed to the window, in the scene's colours.
    QImage LastPicture() const;
    // The time between two shown pictures, kept by a clock; 40 ms (25 a
    // second), 0 for measurements without pacing.
    void SetPacing(std::chrono::milliseconds pause) { m_pacingMs = static_cast<int>(pause.count()); }
    // Playback speed 1, 2, 4, 8 or 16; other values are ignored.
    void SetSpeed(int speed);
    int Speed() const { return m_speed; }
    // While paused: the next picture. While playing: pauses.
    void OnStep();
    // Asks where, then saves the picture on screen as PNG.
    void OnSnapshot();
    // Saves the picture on screen, in the scene's colours, as PNG at `path`.
    bool SaveSnapshot(const QString& path, QString* error);
    // The time of the picture on screen as the row above the trackbar shows it.
    QString TimeText() const;
    // The number of the picture on screen from its file's start, or -1.
    long long ShownPictureNumber() const { return m_shownNumber; }
    // The moment the picture on screen shows, and the recording's camera
    // (0 when its name does not say).
    std::optional<PreciseTime> ShownMoment() const;
    int RecordingCamera() const { return m_recording.camera; }
    // The number of the file's last picture when playback began or last
    // looked (a file being written grows).
    long long LastPictureNumber() const { return m_lastNumber; }
    CPlayerToolbar* Toolbar() const { return m_toolbar; }
    // The file's path while one is played.
    const std::string& PlayingPath() const { return m_path; }
    // Marks on the trackbar where these moments of the file lie (those in it).
    void MarkMoments(const std::vector<PreciseTime>& moments);

signals:
    // 上一个事件 or 下一个事件 was pressed.
    void eventAsked(bool next);

public:
    // Waits until the decoding thread has ended, at most `timeoutMs`.
    bool WaitForEnd(int timeoutMs) { return m_endEvent.Wait(timeoutMs); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    long long PictureOfTimeOfDay(const std::vector<PreciseTime>& moments) const;
    using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

    int InitDecoder();
    int DecodeThread();
    bool ReadChunk(std::size_t* count);
    bool FinishPlayback(bool atEndOfFile);
    void WaitWhilePausedAtEnd();
    bool IsBeforeSeekTarget(long long number);
    bool ShowPaced(const AVFrame* picture);
    bool ShowLast(const AVFrame* picture);
    bool AcceptPicture(const AVFrame* picture);
    bool PollAfterPicture();
    bool TakeStep();
    void UpdateDecodeMode();
    void WaitForNextPicture(long long number);
    void UpdateTimeLabel();
    // The picture on screen and its number, taken together.
    QImage ShownPicture(long long* number) const;
    bool SavePicture(const QImage& picture, long long number, const QString& path, QString* error) const;
    void DisplayFrame(const AVFrame* picture, int width, int height);
    bool ConvertFrameToRGB(int width, int height, const AVFrame* picture, QImage* output);
    void ReleasePlayback();
    void StartThread(std::unique_lock<std::recursive_mutex>& lock);
    void RefreshLastNumber();
    void PostTrackPosition(long long number);
    void PostRepaint();
    void PostButtonImage(int image);
    void SetButtonImage(int image);
    QRect VideoArea() const;
    // Where a picture of `picture`'s size is drawn in `area`, keeping its shape.
    static QRect PictureRect(const QRect& area, const QSize& picture);

    Mpeg1StreamDecoder m_decoder;
    SwsContextPtr m_scaler;
    PackedScaler m_packed;
    FilePtr m_file{nullptr, &std::fclose};
    std::uint8_t m_inbuf[kChunkSize + AV_INPUT_BUFFER_PADDING_SIZE] = {};
    RecordingSeeker m_seeker;
    std::atomic<long long> m_lastNumber{0};  // the file's last picture, for the trackbar's scale
    // After a seek, pictures before this one are decoded but not shown.
    std::atomic<long long> m_seekTarget{-1};
    bool m_bResetStream = false;
    PlayState m_state = Stopped;
    mutable std::recursive_mutex m_lock;
    PlayerEvent m_endEvent{true};
    std::thread m_thread;  // the decoding thread; joined before anything it uses goes
    std::atomic<int> m_pacingMs{40};
    // The decoding thread's clock of the pictures' times.
    bool m_paceStarted = false;
    std::chrono::steady_clock::time_point m_nextPicture;
    std::atomic<std::uint64_t> m_picturesShown{0};
    std::atomic<int> m_generation{0};  // counts PlayFile calls
    std::atomic<bool> m_repaintPending{false};
    std::atomic<int> m_speed{1};
    std::atomic<bool> m_stepRequested{false};
    std::atomic<long long> m_shownNumber{-1};
    // The decoding thread's own: the number of the picture being shown, the
    // last one paced, and whether only intra pictures are decoded (and the
    // next full picture must wait for an intra one).
    long long m_pictureNumber = -1;
    long long m_lastPacedNumber = -1;
    bool m_intraOnly = false;
    bool m_awaitIntra = false;
    RecordingIdentity m_recording;  // camera and start of the file, from its name
    std::string m_path;

    mutable std::mutex m_imageLock;
    QImage m_image;  // latest picture, guarded by m_imageLock
    long long m_imageNumber = -1;  // m_image's picture number, guarded by m_imageLock
    QImage m_back;   // the decoding thread's picture in the making
    int m_buttonImage = kImagePause;
    CETBitmapButton* m_btnPlay = nullptr;
    CSeekBar* m_trackbar = nullptr;
    CPlayerToolbar* m_toolbar = nullptr;
};
