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
    connect(m_toolbar, &CPlayerToolbar::snapshotClicked, this, &CVideoPlayDlg::OnSnapshot);
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
    std::fseek(m_file.get(), 0, SEEK_END);
    const long long size = ftello(m_file.get());
    m_fileSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    std::rewind(m_file.get());
    m_recording = IdentifyRecording(path);
    m_shownNumber = -1;
    m_toolbar->SetTimeText(QString());
    m_trackbar->setMaximum(static_cast<int>(kSeekRange));
    m_bResetStream = true;
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
    return kPlayStarted;
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
    } else {
        SetButtonImage(kImageStop);
    }
}

// The next chunk is read from the new offset; the parser and the decoder
// start afresh there, so no picture is built on references from elsewhere,
// and what is left of the old chunk is not shown.
void CVideoPlayDlg::OnSeek(int position)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_file)
        return;
    const double offset = std::trunc(static_cast<double>(m_fileSize) * position / kSeekRange);
    fseeko(m_file.get(), static_cast<off_t>(offset), SEEK_SET);
    m_bResetStream = true;
    if (m_state == Paused)
        m_stepRequested = true;  // a paused player shows the picture at the new place
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
void CVideoPlayDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        return e->ignore();
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
        painter.drawImage(VideoArea(), m_image);
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
void CVideoPlayDlg::PostTrackPosition(long long position)
{
    const int value = m_fileSize == 0 ? 0
        : static_cast<int>(std::min(std::trunc(static_cast<double>(position) / m_fileSize * kSeekRange), 1e9));
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
