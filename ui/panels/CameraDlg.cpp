#include "CameraDlg.h"

#include "LiveTap.h"

#include "HistoryWriter.h"
#include "PanelLink.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <utility>

namespace {
const char* const kNoSignal = "没有信号";
const char* const kStopped = "已停止";
}

CCameraDlg::CCameraDlg(QWidget* parent)
    : QDialog(parent), m_link(std::make_shared<PanelLink>(this)),
      m_remote(std::make_shared<LiveTap>(CameraName().toStdString()))
{
    m_capture.SetLiveTap(m_remote);
    if (parent != nullptr)
        setWindowFlags(Qt::Widget);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);
}

void CCameraDlg::SetDeviceIndex(int deviceIndex)
{
    m_deviceIndex = deviceIndex;
    m_remote->SetName(CameraName().toStdString());
}

CCameraDlg::~CCameraDlg()
{
    m_timers.KillAll();
    m_capture.ReleaseGraph();  // before the panel goes: the thread posts to it
}

void CCameraDlg::OnTimer(int id)
{
    if (id == TIMER_NO_SIGNAL)
        return DrawNoSignalMark();
    if (id != TIMER_CAMERA_START)
        return;
    KillTimer(TIMER_CAMERA_START);
    m_live = false;
    if (m_stopped) {  // monitoring again: 已停止 goes
        m_stopped = false;
        m_canvas.fill(Qt::black);
        UpdateRecordMark();
        update();
    }
    const QSize gridSize = m_fullView ? m_gridGeometry.size() : size();
    if (m_capture.BuildGraph(m_deviceIndex, m_link, gridSize.width(), gridSize.height(), m_strRecordRoot) == 0) {
        if (CCaptureGraph* control = m_capture.Control())
            control->Run();
        if (!IsTimerActive(TIMER_NO_SIGNAL))
            SetTimer(TIMER_NO_SIGNAL, kRetryPeriodMs);  // until the first frame
        return;
    }
    KillTimer(TIMER_NO_SIGNAL);  // the retry draws the mark itself
    SetTimer(TIMER_CAMERA_START, kRetryPeriodMs);
    DrawNoSignalMark();
}

void CCameraDlg::StopCapture()
{
    KillTimer(TIMER_CAMERA_START);
    KillTimer(TIMER_NO_SIGNAL);
    if (CCaptureGraph* control = m_capture.Control())
        control->Stop();
}

void CCameraDlg::ShowStopped()
{
    m_stopped = true;
    m_live = false;
    UpdateRecordMark();
    FitCanvas();
    m_canvas.fill(Qt::black);
    QPainter painter(&m_canvas);
    painter.setFont(font());
    painter.setPen(QColor(192, 192, 192));
    painter.drawText(m_canvas.rect(), Qt::AlignCenter, QString::fromUtf8(kStopped));
    painter.end();
    update();
}

void CCameraDlg::ChangeSource(std::optional<CaptureDeviceEntry> source, bool monitoring)
{
    StopCapture();
    m_capture.ReleaseGraph();
    m_capture.SetSource(std::move(source));
    m_refusals = 0;  // perhaps the password was mended
    m_failureText.clear();
    if (monitoring)
        SetTimer(TIMER_CAMERA_START, 0);
}

void CCameraDlg::ChangeRecordingRoot(const std::string& root, bool monitoring)
{
    m_strRecordRoot = root;
    if (CCaptureGraph* control = m_capture.Control(); control != nullptr && control->IsRunning())
        control->ChangeRecordingRoot(root);  // the next picture begins a file there
    else if (monitoring && !IsTimerActive(TIMER_CAMERA_START))
        SetTimer(TIMER_CAMERA_START, 0);
}

// The mark accumulates on what the panel shows: an inverted corner box, then
// the blue text in it, alternating every second.
void CCameraDlg::DrawNoSignalMark()
{
    TakeDisplayImage();
    UpdateRecordMark();
    const QString text = QString::fromUtf8(kNoSignal);
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(text);
    const int cy = metrics.height();
    const QRect corner(m_canvas.width() - cx, 0, cx, cy);
    m_blinkPhase = (m_blinkPhase + 1) % 2;
    QPainter painter(&m_canvas);
    DrawFailureText(painter);
    if (m_blinkPhase == 1) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.fillRect(corner, Qt::white);
    } else {
        painter.setFont(font());
        painter.setPen(QColor(0, 0, 255));
        painter.drawText(corner.left(), metrics.ascent(), text);
    }
    painter.end();
    update();
}

int CCameraDlg::RetryPeriodMs(int refusals)
{
    constexpr int kLongestMs = 60000;
    return refusals <= 0 ? kRetryPeriodMs : std::min(kLongestMs, kRetryPeriodMs << std::min(refusals - 1, 6));
}

// Why the camera could not be opened, in the middle of the panel (white on
// black, over what the panel held).
void CCameraDlg::DrawFailureText(QPainter& painter)
{
    if (m_failureText.isEmpty())
        return;
    const QFontMetrics metrics(font());
    QRect box = metrics.boundingRect(m_failureText).adjusted(-6, -3, 6, 3);
    box.moveCenter(m_canvas.rect().center());
    painter.fillRect(box, Qt::black);
    painter.setFont(font());
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, m_failureText);
}

void CCameraDlg::OnGraphNotify(std::uint64_t captureId, OpenFailure failure)
{
    if (m_capture.Control() == nullptr || captureId != m_capture.Identity())
        return;  // a late notice of an earlier graph
    if (m_capture.Control()->IsStopRequested())
        return;  // monitoring was stopped after the loss was posted: no retry
    m_capture.Control()->Stop();
    m_refusals = failure == OpenFailure::kCredentials ? m_refusals + 1 : 0;
    m_failureText = QString::fromUtf8(OpenFailureText(failure));
    TellLoss();
    SetTimer(TIMER_CAMERA_START, RetryPeriodMs(m_refusals));
    DrawNoSignalMark();
    if (!IsTimerActive(TIMER_NO_SIGNAL))
        SetTimer(TIMER_NO_SIGNAL, kRetryPeriodMs);
}

bool CCameraDlg::event(QEvent* e)
{
    if (e->type() == PanelLink::GraphNotifyEventType()) {
        const auto* notice = static_cast<GraphNotifyEvent*>(e);
        OnGraphNotify(notice->CaptureId(), notice->Failure());
        return true;
    }
    if (e->type() == PanelLink::DisplayEventType()) {
        KillTimer(TIMER_NO_SIGNAL);  // a frame came: the camera is live
        m_refusals = 0;
        m_failureText.clear();
        if (!m_live && m_lossTold)
            emit StatusEvent(CameraName() + QStringLiteral(" 信号恢复"));
        m_live = true;
        m_lossTold = false;
        m_failureTold.clear();
        if (m_stopped) {
            QImage late;  // sent before the stop: handed back, not shown
            if (m_link->TakeDisplayImage(&late))
                m_link->ReturnImage(std::move(late));
            return true;
        }
        TakeDisplayImage();
        UpdateRecordMark();
        update();
        return true;
    }
    return QDialog::event(e);
}

void CCameraDlg::timerEvent(QTimerEvent* e)
{
    if (const int id = m_timers.Dispatch(e))
        OnTimer(id);
    else
        QDialog::timerEvent(e);
}

void CCameraDlg::TakeDisplayImage()
{
    FitCanvas();
    QImage image;
    if (!m_link->TakeDisplayImage(&image))
        return;
    if (image.size() == m_canvas.size()) {
        std::swap(m_canvas, image);
    } else {  // a full view's picture, in the middle
        if (image.size() != m_shownSize)
            m_canvas.fill(Qt::black);
        QPainter painter(&m_canvas);
        painter.drawImage((m_canvas.width() - image.width()) / 2, (m_canvas.height() - image.height()) / 2, image);
    }
    m_shownSize = image.size();
    m_link->ReturnImage(std::move(image));
}

void CCameraDlg::paintEvent(QPaintEvent*)
{
    FitCanvas();
    QPainter painter(this);
    painter.drawImage(0, 0, m_canvas);
    DrawRecordMark(painter, rect(), font(), m_mark);
}

void CCameraDlg::SetFullView(bool on, const QRect& area)
{
    if (on == m_fullView)
        return;
    if (on)
        m_gridGeometry = geometry();
    m_fullView = on;
    setGeometry(on ? area : m_gridGeometry);
    m_link->SetDisplayBound(on ? area.size() : QSize());
    FitCanvas();
    m_canvas.fill(Qt::black);
    if (m_stopped)
        ShowStopped();
    raise();
    update();
}

void CCameraDlg::mouseDoubleClickEvent(QMouseEvent*)
{
    emit FullViewAsked(this);
}

QString CCameraDlg::CameraName() const
{
    return QStringLiteral("摄像头%1").arg(m_deviceIndex + 1);
}

// A camera that was live and is lost is told once, and so is each new
// reason a camera cannot be opened; a position without a device is not.
void CCameraDlg::TellLoss()
{
    if (m_live)
        emit StatusEvent(CameraName() + QStringLiteral(" 信号中断"));
    m_lossTold = m_lossTold || m_live;
    m_live = false;
    if (!m_failureText.isEmpty() && m_failureText != m_failureTold)
        emit StatusEvent(CameraName() + QStringLiteral(" ") + m_failureText);
    m_failureTold = m_failureText;
    UpdateRecordMark();
}

// The mark follows the recording; the status box hears when a camera stops
// being recorded for a reason, and when it is recorded again.
void CCameraDlg::UpdateRecordMark()
{
    const RecordMarkInput input{m_stopped, m_live, m_capture.Recording(), HistoryWriter::Instance().IsFailing()};
    if (input == m_markInput)
        return;  // the picture's usual case: nothing to make again
    m_markInput = input;
    const RecordMark mark = MakeRecordMark(input);
    if (mark == m_mark)
        return;
    const QString reason = RecordMarkReason(mark);
    if (!reason.isEmpty() && !m_stopped && reason != m_reasonTold)
        emit StatusEvent(CameraName() + QStringLiteral(" 未录像：") + reason);
    else if (mark.recording && !m_reasonTold.isEmpty())
        emit StatusEvent(CameraName() + QStringLiteral(" 恢复录像"));
    if (!reason.isEmpty() && !m_stopped)
        m_reasonTold = reason;
    else if (mark.recording)
        m_reasonTold.clear();
    m_mark = mark;
    m_remote->SetMark(mark.recording, mark.text.toStdString());
    update();
}

// The canvas follows the panel's size, keeping what it shows.
void CCameraDlg::FitCanvas()
{
    if (m_canvas.size() == size())
        return;
    QImage canvas(size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    if (!m_canvas.isNull())
        QPainter(&canvas).drawImage(0, 0, m_canvas);
    m_canvas = std::move(canvas);
}
