#include "VideoPlayDlg.h"

#include "DialogUnits.h"
#include "Dialogs.h"
#include "ETBitmapButton.h"
#include "Images.h"
#include "PlayerToolbar.h"
#include "SeekBar.h"

#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
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
    ConnectControls();
    // The decoding thread only posts: the window reads the notices when
    // its event loop comes to them.
    m_engine.SetWake([this] { QMetaObject::invokeMethod(this, &CVideoPlayDlg::ShowNotices, Qt::QueuedConnection); });
}

void CVideoPlayDlg::ConnectControls()
{
    connect(m_toolbar, &CPlayerToolbar::speedChosen, this, &CVideoPlayDlg::SetSpeed);
    connect(m_toolbar, &CPlayerToolbar::stepClicked, this, [this] { OnStep(); });
    connect(m_toolbar, &CPlayerToolbar::stepBackClicked, this, [this] { OnStepBack(); });
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
    m_engine.Stop();
}

int CVideoPlayDlg::PlayFile(const std::string& path)
{
    SetButtonImage(kImagePause);
    m_trackbar->SetMarks({});
    m_toolbar->SetTimeText(QString());
    m_trackbar->setMaximum(static_cast<int>(kSeekRange));
    m_trackbar->setValue(0);
    return m_engine.Play(path);
}

void CVideoPlayDlg::OnPlayButton()
{
    if (!m_engine.HasFile())
        return SetButtonImage(kImageStop);
    m_engine.TogglePause();
    SyncButtonImage();
}

void CVideoPlayDlg::SeekToPicture(long long number)
{
    m_engine.SeekToPicture(number);
    SyncButtonImage();
}

void CVideoPlayDlg::OnStep()
{
    m_engine.Step();
    SyncButtonImage();
}

void CVideoPlayDlg::OnStepBack()
{
    m_engine.StepBack();
    SyncButtonImage();
}

// What the engine told since the last look: the last picture shown moves
// the trackbar and the time and is drawn; the end of the current playback
// shows the stop image (a notice of a playback since replaced is not).
void CVideoPlayDlg::ShowNotices()
{
    const int generation = m_engine.Generation();
    for (const PlayerNotice& notice : m_engine.TakeNotices()) {
        if (notice.generation != generation)
            continue;
        if (notice.kind == PlayerNotice::kStopped)
            SetButtonImage(kImageStop);
        else
            ShowPicture(notice.number);
    }
}

void CVideoPlayDlg::ShowPicture(long long number)
{
    long long imageNumber = -1;
    m_shown = m_engine.ShownPicture(&imageNumber);
    update(VideoArea());
    if (number < 0)
        return;
    const long long last = std::max(1LL, m_engine.LastNumber());
    if (!m_trackbar->isSliderDown())
        m_trackbar->setValue(static_cast<int>(std::clamp(number, 0LL, last) * kSeekRange / last));
    m_toolbar->SetTimeText(PictureTimeText(m_engine.Recording(), number));
}

void CVideoPlayDlg::OnSeek(int position)
{
    const long long last = m_engine.RefreshLastNumber();
    SeekToPicture(std::llround(static_cast<double>(last) * std::clamp(position, 0, static_cast<int>(kSeekRange)) /
                               kSeekRange));
}

void CVideoPlayDlg::JumpBy(int seconds)
{
    SeekToPicture(std::max(m_engine.ShownNumber(), 0LL) + static_cast<long long>(seconds) * kRecordingPicturesPerSecond);
}

bool CVideoPlayDlg::JumpToTimeOfDay(const QString& text)
{
    const RecordingIdentity recording = m_engine.Recording();
    if (!m_engine.HasFile() || !recording.start) {
        MessageBoxWarning(this, QStringLiteral("这段录像没有时间，不能按时间跳转。"));
        return false;
    }
    const std::vector<PreciseTime> moments = TimesOfDay(text, *recording.start);
    if (moments.empty()) {
        MessageBoxWarning(this, QStringLiteral("请按 时:分:秒 输入时间，例如 14:05:00。"));
        return false;
    }
    const long long last = m_engine.RefreshLastNumber();
    const long long number = PictureOfTimeOfDay(recording, moments, last);
    if (number < 0) {
        const QString from = PictureTimeText(recording, 0).mid(11, 8);
        const QString to = PictureTimeText(recording, last).mid(11, 8);
        MessageBoxWarning(this, QStringLiteral("这段录像从 %1 到 %2，没有 %3 的画面。").arg(from, to, text.trimmed()));
        return false;
    }
    SeekToPicture(number);
    return true;
}

// The picture of a time of day in this recording: of the moments the clock
// showed it, the later one the file holds. The list names a recording by
// the second of its first picture, which may lie a few hundredths into
// that second: the second then means the first picture.
long long CVideoPlayDlg::PictureOfTimeOfDay(const RecordingIdentity& recording,
                                            const std::vector<PreciseTime>& moments, long long last) const
{
    const PreciseTime first = *recording.start;
    for (PreciseTime moment : moments) {
        const long long number = PictureAt(first, moment);
        if (number >= 0 && number <= last)
            return number;
        if (number < 0 && WholeSeconds(moment) == WholeSeconds(first))
            return 0;
    }
    return -1;
}

std::optional<PreciseTime> CVideoPlayDlg::ShownMoment() const
{
    const long long shown = m_engine.ShownNumber();
    const RecordingIdentity recording = m_engine.Recording();
    if (shown < 0 || !recording.start)
        return std::nullopt;
    return PictureTime(*recording.start, shown);
}

void CVideoPlayDlg::SetSpeed(int speed)
{
    m_engine.SetSpeed(speed);
    if (m_engine.Speed() == speed && m_toolbar->Speed() != speed)
        m_toolbar->SetSpeed(speed);
}

QString CVideoPlayDlg::TimeText() const
{
    return m_toolbar->TimeText();
}

// The picture is taken at the click: playback goes on while the user
// chooses where it goes.
void CVideoPlayDlg::OnSnapshot()
{
    long long number = -1;
    const QImage picture = m_engine.ShownPicture(&number);
    if (picture.isNull())
        return MessageBoxWarning(this, QStringLiteral("还没有画面可以截图。"));
    const QString name = SnapshotFileName(m_engine.Recording(), number);
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存截图"), QDir::home().filePath(name),
                                                QStringLiteral("PNG 图片 (*.png)"), nullptr, kQtFileDialog);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    QString error;
    if (!SavePicture(picture, number, path, &error))
        MessageBoxWarning(this, QStringLiteral("截图没有保存：%1").arg(error));
}

bool CVideoPlayDlg::SaveSnapshot(const QString& path, QString* error)
{
    long long number = -1;
    const QImage picture = m_engine.ShownPicture(&number);
    return SavePicture(picture, number, path, error);
}

bool CVideoPlayDlg::SavePicture(const QImage& picture, long long number, const QString& path, QString* error) const
{
    const RecordingIdentity recording = m_engine.Recording();
    QString description = QStringLiteral("Lumaro");
    if (recording.camera > 0)
        description += QStringLiteral(" 摄像头%1").arg(recording.camera);
    description += QStringLiteral(" %1").arg(PictureTimeText(recording, number));
    return SaveSnapshotPng(picture, path, description.trimmed(), error);
}

void CVideoPlayDlg::MarkMoments(const std::vector<PreciseTime>& moments)
{
    std::vector<int> values;
    const long long last = m_engine.LastNumber();
    const RecordingIdentity recording = m_engine.Recording();
    if (recording.start && last > 0)
        for (PreciseTime moment : moments) {
            const long long number = PictureAt(*recording.start, moment);
            if (number >= 0 && number <= last)
                values.push_back(static_cast<int>(number * kSeekRange / last));
        }
    m_trackbar->SetMarks(std::move(values));
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
    return m_engine.ShownPicture(&number);
}

QRect CVideoPlayDlg::VideoArea() const
{
    return QRect(0, 0, width(), std::max(0, height() - kVideoMargin - CPlayerToolbar::kHeight));
}

void CVideoPlayDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_shown.isNull())
        painter.drawImage(PictureRect(VideoArea(), m_shown.size()), m_shown);
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

void CVideoPlayDlg::SyncButtonImage()
{
    const PlayState state = m_engine.State();
    if (state != Stopped)
        SetButtonImage(state == Paused ? kImagePlay : kImagePause);
}

QList<QWidget*> CVideoPlayDlg::FocusChain() const
{
    return QList<QWidget*>{m_trackbar, m_btnPlay} + m_toolbar->FocusChain();
}
