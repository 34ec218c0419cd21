// The player's window side: file switching, the button, seeking, drawing.
#include "VideoPlayDlg.h"

#include "DialogUnits.h"
#include "Dialogs.h"
#include "ETBitmapButton.h"
#include "Images.h"
#include "PlayerToolbar.h"
#include "SeekBar.h"

#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr auto kFont = TemplateFont::SimSun9;
constexpr int kControlHeight = 19;
constexpr int kVideoMargin = 20;

QPixmap ButtonPixmap(int image)
{
    switch (image) {
    case CVideoPlayDlg::kImageStop:
        return QPixmap::fromImage(StopButtonImage());
    case CVideoPlayDlg::kImagePlay:
        return QPixmap::fromImage(PlayButtonImage());
    default:
        return QPixmap::fromImage(PauseButtonImage());
    }
}

}  // namespace

CVideoPlayDlg::CVideoPlayDlg(QWidget* parent) : QDialog(parent)
{
    if (parent != nullptr)
        setWindowFlags(Qt::Widget);
    resize(DluX(332), DluY(193, kFont));
    SetBackground(this, Qt::black);
    m_trackbar = new CSeekBar(static_cast<int>(kSeekRange), this);  // owned by the window
    m_trackbar->setGeometry(DluRect(0, 178, 322, 15, kFont));
    SetBackground(m_trackbar, QColor(212, 208, 200));
    m_btnPlay = new CETBitmapButton(this);
    m_btnPlay->unsetCursor();  // a plain bitmap button: no hand cursor here
    m_btnPlay->setText(QStringLiteral("Play"));
    m_btnPlay->setGeometry(DluRect(321, 177, 9, 16, kFont));
    SetButtonImage(kImagePause);
    m_toolbar = new CPlayerToolbar(this);  // owned by the window
    connect(m_toolbar, &CPlayerToolbar::speedChosen, this, &CVideoPlayDlg::SetSpeed);
    connect(m_toolbar, &CPlayerToolbar::stepClicked, this, &CVideoPlayDlg::OnStep);
    connect(m_toolbar, &CPlayerToolbar::stepBackClicked, this, &CVideoPlayDlg::OnStepBack);
    connect(m_toolbar, &CPlayerToolbar::jumpRequested, this, &CVideoPlayDlg::JumpToTimeOfDay);
    connect(m_trackbar, &CSeekBar::moveBy, this, &CVideoPlayDlg::JumpBy);
    connect(m_toolbar, &CPlayerToolbar::snapshotClicked, this, &CVideoPlayDlg::OnSnapshot);
    connect(m_toolbar, &CPlayerToolbar::eventAsked, this, &CVideoPlayDlg::eventAsked);
    connect(m_btnPlay, &QAbstractButton::clicked, this, &CVideoPlayDlg::OnPlayButton);
    connect(m_trackbar, &QSlider::sliderReleased, this, [this] { OnSeek(m_trackbar->value()); });
    connect(m_trackbar, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)  // keyboard, page and wheel moves end at once
            OnSeek(m_trackbar->sliderPosition());
    });
}

CVideoPlayDlg::~CVideoPlayDlg()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_state = Stopped;
    }
    if (m_thread.joinable())
        m_thread.join();
    ReleasePlayback();
}

int CVideoPlayDlg::PlayFile(const std::string& path)
{
    std::unique_lock<std::recursive_mutex> lock(m_lock);
    ++m_generation;
    SetButtonImage(kImagePause);
    if (!m_decoder.IsOpen()) {
        const int rc = InitDecoder();
        if (rc != kPlayStarted)
            return rc;
    }
    m_file.reset();
    m_file.reset(std::fopen(path.c_str(), "rb"));
    if (!m_file)
        return kFileOpenFailed;
    m_seeker = RecordingSeeker(path);
    m_recording = IdentifyRecording(path);
    m_path = path;
    m_trackbar->SetMarks({});
    RefreshLastNumber();
    m_shownNumber = -1;
    m_seekTarget = -1;
    m_toolbar->SetTimeText(QString());
    m_trackbar->setMaximum(static_cast<int>(kSeekRange));
    m_trackbar->setValue(0);
    m_bResetStream = true;
    StartThread(lock);
    return kPlayStarted;
}

// Starts the decoding thread unless it runs; called with m_lock held.
void CVideoPlayDlg::StartThread(std::unique_lock<std::recursive_mutex>& lock)
{
    if (m_state == Stopped) {
        if (m_thread.joinable()) {  // a thread that has ended or is about to
            lock.unlock();
            m_thread.join();
            lock.lock();
        }
        m_state = Playing;
        m_endEvent.Reset();  // set again by the thread as it ends
        m_thread = std::thread(&CVideoPlayDlg::DecodeThread, this);
    }
    m_state = Playing;
}

void CVideoPlayDlg::RefreshLastNumber()
{
    m_lastNumber = std::max(0LL, m_seeker.LastPictureNumber().value_or(0));
}

PlayState CVideoPlayDlg::State() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_state;
}

void CVideoPlayDlg::OnPlayButton()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_state == Playing) {
        m_state = Paused;
        SetButtonImage(kImagePlay);
    } else if (m_state == Paused) {
        m_state = Playing;
        SetButtonImage(kImagePause);
    } else if (m_file) {
        SeekToPicture(0);  // the end of the file was reached: play it again
    } else {
        SetButtonImage(kImageStop);
    }
}

void CVideoPlayDlg::OnClose()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_state = Stopped;
    }
    if (m_thread.joinable())
        m_thread.join();  // at once when no thread runs, e.g. after a failed PlayFile
}

// The player is part of the history dialog: Escape is the dialog's, which
// closes and ends the playback the normal way.
// Space pauses and plays on where nothing else takes it (the trackbar); a
// focused button takes it as a press.
void CVideoPlayDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        return e->ignore();
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier)
        return OnPlayButton();
    QDialog::keyPressEvent(e);
}

void CVideoPlayDlg::closeEvent(QCloseEvent* e)
{
    OnClose();
    QDialog::closeEvent(e);
}

QImage CVideoPlayDlg::LastPicture() const
{
    long long number = -1;
    return ShownPicture(&number);
}

QRect CVideoPlayDlg::VideoArea() const
{
    return QRect(0, 0, width(), std::max(0, height() - kVideoMargin - CPlayerToolbar::kHeight));
}

void CVideoPlayDlg::paintEvent(QPaintEvent*)
{
    m_repaintPending = false;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    std::lock_guard<std::mutex> lock(m_imageLock);
    if (!m_image.isNull())
        painter.drawImage(PictureRect(VideoArea(), m_image.size()), m_image);
}

// The picture keeps its shape: as large as the area allows, centred, the
// rest black (people and cars are not to look wider than they are).
QRect CVideoPlayDlg::PictureRect(const QRect& area, const QSize& picture)
{
    if (picture.isEmpty() || area.isEmpty())
        return area;
    const QSize size = picture.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

void CVideoPlayDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    const int buttonWidth = m_btnPlay->width();
    m_trackbar->setGeometry(0, height() - kControlHeight, width() - buttonWidth, kControlHeight);
    m_btnPlay->setGeometry(width() - buttonWidth, height() - kControlHeight, buttonWidth, kControlHeight);
    m_toolbar->setGeometry(0, height() - kVideoMargin - CPlayerToolbar::kHeight, width(), CPlayerToolbar::kHeight);
}

void CVideoPlayDlg::SetButtonImage(int image)
{
    m_buttonImage = image;
    m_btnPlay->SetImage(ButtonPixmap(image));
    m_btnPlay->update();
}

// The decoding thread never waits for the window: it posts.
void CVideoPlayDlg::PostTrackPosition(long long number)
{
    // A file being written grows while it plays: its tail is read again
    // once a second of pictures has passed its last known one.
    if (number > m_lastNumber + kRecordingPicturesPerSecond) {
        std::lock_guard<std::recursive_mutex> lock(m_lock);  // PlayFile may be changing the file
        RefreshLastNumber();
    }
    if (number > m_lastNumber)
        m_lastNumber = number;
    const long long last = std::max(1LL, m_lastNumber.load());
    const int value = static_cast<int>(std::clamp(number, 0LL, last) * kSeekRange / last);
    QMetaObject::invokeMethod(this, [this, value] {
        if (!m_trackbar->isSliderDown())
            m_trackbar->setValue(value);
    }, Qt::QueuedConnection);
}

void CVideoPlayDlg::PostButtonImage(int image)
{
    const int generation = m_generation;
    QMetaObject::invokeMethod(this, [this, image, generation] {
        if (generation == m_generation)  // not overtaken by a newer PlayFile
            SetButtonImage(image);
    }, Qt::QueuedConnection);
}

void CVideoPlayDlg::PostRepaint()
{
    if (m_repaintPending.exchange(true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        update(VideoArea());
        UpdateTimeLabel();
    }, Qt::QueuedConnection);
}

QList<QWidget*> CVideoPlayDlg::FocusChain() const
{
    return QList<QWidget*>{m_trackbar, m_btnPlay} + m_toolbar->FocusChain();
}
