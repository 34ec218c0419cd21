// CVideoPlayDlg: the player inside the history dialog. It shows what its
// PlayerEngine plays: the picture on screen (letterboxed), the 0..10000
// trackbar standing for the time from the file's first picture to its
// last, the play button, and a row above the trackbar with the picture's
// time, a jump to a time of day, the speed, steps and a snapshot. The
// engine's decoding thread tells it of each picture through one queue of
// notices, which the window reads on its own thread.
#pragma once

#include "PlayerEngine.h"

#include <QDialog>
#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CETBitmapButton;
class CPlayerToolbar;
class CSeekBar;

class CVideoPlayDlg : public QDialog {
    Q_OBJECT
public:
    enum PlayResult {
        kPlayStarted = PlayerEngine::kPlayStarted,
        kDecoderOpenFailed = PlayerEngine::kDecoderOpenFailed,
        kNoDecoder = PlayerEngine::kNoDecoder,
        kFileOpenFailed = PlayerEngine::kFileOpenFailed
    };
    enum ButtonImage { kImageStop = 151, kImagePause = 152, kImagePlay = 153 };
    static constexpr unsigned kSeekRange = 10000;
    static constexpr int kFullDecodeSpeed = PlayerEngine::kFullDecodeSpeed;

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
    // While paused: the next picture. While playing: pauses.
    void OnStep();
    void OnClose() { m_engine.Stop(); }

    PlayState State() const { return m_engine.State(); }
    int ButtonImageId() const { return m_buttonImage; }
    CSeekBar* Trackbar() const { return m_trackbar; }
    // Its controls in the order Tab visits them: the trackbar, the play
    // button, then the row of tools.
    QList<QWidget*> FocusChain() const;
    std::uint64_t PicturesShown() const { return m_engine.PicturesShown(); }
    // The last picture shown, in the scene's colours.
    QImage LastPicture() const;
    // The time between two shown pictures, kept by a clock; 40 ms (25 a
    // second), 0 for measurements without pacing.
    void SetPacing(std::chrono::milliseconds pause) { m_engine.SetPacing(pause); }
    // Playback speed 1, 2, 4, 8 or 16; other values are ignored.
    void SetSpeed(int speed);
    int Speed() const { return m_engine.Speed(); }
    // Asks where, then saves the picture on screen as PNG.
    void OnSnapshot();
    // Saves the picture on screen, in the scene's colours, as PNG at `path`.
    bool SaveSnapshot(const QString& path, QString* error);
    // The time of the picture on screen as the row above the trackbar shows it.
    QString TimeText() const;
    // The number of the picture on screen from its file's start, or -1.
    long long ShownPictureNumber() const { return m_engine.ShownNumber(); }
    // The moment the picture on screen shows, and the recording's camera
    // (0 when its name does not say).
    std::optional<PreciseTime> ShownMoment() const;
    int RecordingCamera() const { return m_engine.Recording().camera; }
    // The number of the file's last picture when playback began or last
    // looked (a file being written grows).
    long long LastPictureNumber() const { return m_engine.LastNumber(); }
    CPlayerToolbar* Toolbar() const { return m_toolbar; }
    // The file's path while one is played.
    std::string PlayingPath() const { return m_engine.Path(); }
    // Marks on the trackbar where these moments of the file lie (those in it).
    void MarkMoments(const std::vector<PreciseTime>& moments);
    // Waits until the decoding thread has ended, at most `timeoutMs`.
    bool WaitForEnd(int timeoutMs) { return m_engine.WaitForEnd(timeoutMs); }

signals:
    // 上一个事件 or 下一个事件 was pressed.
    void eventAsked(bool next);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ConnectControls();
    void ShowNotices();
    void ShowPicture(long long number);
    long long PictureOfTimeOfDay(const RecordingIdentity& recording, const std::vector<PreciseTime>& moments,
                                 long long last) const;
    bool SavePicture(const QImage& picture, long long number, const QString& path, QString* error) const;
    void SetButtonImage(int image);
    // The button's image for the engine's state: pause while playing, play
    // while paused; an end is told by the engine's notice.
    void SyncButtonImage();
    QRect VideoArea() const;
    // Where a picture of `picture`'s size is drawn in `area`, keeping its shape.
    static QRect PictureRect(const QRect& area, const QSize& picture);

    int m_buttonImage = kImagePause;
    CETBitmapButton* m_btnPlay = nullptr;
    CSeekBar* m_trackbar = nullptr;
    CPlayerToolbar* m_toolbar = nullptr;
    QImage m_shown;  // the picture drawn, taken from the engine at its notice
    // Declared last: its thread is joined before the window's parts go.
    PlayerEngine m_engine;
};
