#include "DayTimeline.h"

#include "TextFormat.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kNoRecording(90, 90, 90);
const QColor kRecorded(70, 160, 80);
const QColor kEvent(225, 40, 30);
const QColor kTamper(150, 50, 210);
const QColor kChosen(60, 120, 230, 110);
constexpr int kClickSlack = 3;  // pixels a press may move and still be a click

QString ClockText(PreciseTime moment, const char* format)
{
    return QString::fromStdString(FormatLocalTime(format, WholeSeconds(moment)));
}

}  // namespace

CDayTimeline::CDayTimeline(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(kHeight);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
}

void CDayTimeline::SetData(DayTimelineData data)
{
    m_cursor = data.dayStart;
    m_data = std::move(data);
    m_dragging = false;
    m_dragCamera = 0;
    ShowWholeDay();
}

void CDayTimeline::UpdateData(DayTimelineData data)
{
    if (data.dayStart != m_data.dayStart || data.dayEnd != m_data.dayEnd) {
        SetData(std::move(data));
        return;
    }
    m_data = std::move(data);
    update();
}

void CDayTimeline::ShowWholeDay()
{
    m_viewFrom = m_data.dayStart;
    m_viewTo = std::max(m_data.dayEnd, m_data.dayStart + 1);
    update();
}

void CDayTimeline::ZoomToHour(PreciseTime moment)
{
    const PreciseTime into = std::clamp(moment, m_data.dayStart, m_data.dayEnd - 1) - m_data.dayStart;
    m_viewFrom = m_data.dayStart + into / kHour * kHour;
    m_viewTo = std::min(m_viewFrom + kHour, std::max(m_data.dayEnd, m_data.dayStart + 1));
    update();
}

PreciseTime CDayTimeline::MomentAt(int x) const
{
    const int width = std::max(1, this->width() - kLabelWidth);
    const double share = std::clamp(static_cast<double>(x - kLabelWidth) / width, 0.0, 1.0);
    return m_viewFrom + static_cast<PreciseTime>(share * static_cast<double>(m_viewTo - m_viewFrom));
}

int CDayTimeline::ColumnOf(PreciseTime moment) const
{
    const double share = static_cast<double>(moment - m_viewFrom) / static_cast<double>(m_viewTo - m_viewFrom);
    return kLabelWidth + static_cast<int>(share * (width() - kLabelWidth));
}

QRect CDayTimeline::StripRect(int camera) const
{
    return QRect(kLabelWidth, kRulerHeight + (camera - 1) * (kStripHeight + kStripGap), width() - kLabelWidth,
                 kStripHeight);
}

int CDayTimeline::CameraAt(int y) const
{
    for (int camera = 1; camera <= 4; ++camera) {
        const QRect strip = StripRect(camera);
        if (y >= strip.top() && y <= strip.bottom())
            return camera;
    }
    return 0;
}

QString CDayTimeline::HoverText(const QPoint& at) const
{
    const int camera = CameraAt(at.y());
    if (camera == 0 || at.x() < kLabelWidth)
        return QString();
    const PreciseTime moment = MomentAt(at.x());
    QString text = QStringLiteral("摄像头%1 %2").arg(camera).arg(ClockText(moment, "%H:%M:%S"));
    const auto& events = m_data.cameras[static_cast<std::size_t>(camera - 1)].events;
    const PreciseTime slack = (m_viewTo - m_viewFrom) / std::max(1, width() - kLabelWidth);
    const auto during = [&](MotionEventKind kind) {
        return std::any_of(events.begin(), events.end(), [&](const TimelineEvent& e) {
            return e.kind == kind && moment + slack >= e.from && moment - slack <= e.to;
        });
    };
    if (during(MotionEventKind::kTamper))
        text += QStringLiteral(" 遮挡");
    else if (during(MotionEventKind::kMotion))
        text += QStringLiteral(" 移动");
    else if (RecordingAt(m_data, camera, moment) == nullptr)
        text += QStringLiteral(" 没有录像");
    return text;
}

void CDayTimeline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    PaintRuler(painter);
    for (int camera = 1; camera <= 4; ++camera)
        PaintStrip(painter, camera);
    if (m_dragCamera != 0 && m_dragFrom != m_dragTo) {
        const QRect strip = StripRect(m_dragCamera);
        painter.fillRect(QRect(QPoint(std::min(m_dragFrom, m_dragTo), strip.top()),
                               QPoint(std::max(m_dragFrom, m_dragTo), strip.bottom())),
                         kChosen);
    }
    PaintCursor(painter);
}

// Every hour over the day (a label every two), every five minutes over an hour.
void CDayTimeline::PaintRuler(QPainter& painter) const
{
    const bool wholeDay = m_viewTo - m_viewFrom > kHour;
    const PreciseTime step = wholeDay ? kHour : 5 * 60 * kMicrosPerSecond;
    painter.setPen(QColor(60, 60, 60));
    int mark = 0;
    for (PreciseTime t = m_viewFrom; t <= m_viewTo; t += step, ++mark) {
        const int x = ColumnOf(t);
        painter.drawLine(x, kRulerHeight - (mark % 2 == 0 ? 5 : 3), x, kRulerHeight - 1);
        if (mark % 2 == 0 && x < width() - 10)
            painter.drawText(x + 2, kRulerHeight - 5, ClockText(t, wholeDay ? "%H" : "%H:%M"));
    }
}

void CDayTimeline::PaintStrip(QPainter& painter, int camera) const
{
    const QRect strip = StripRect(camera);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, strip.top(), kLabelWidth - 4, strip.height()), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("摄像头%1").arg(camera));
    painter.fillRect(strip, kNoRecording);
    const CameraDay& day = m_data.cameras[static_cast<std::size_t>(camera - 1)];
    PaintSpans(painter, strip, day.recorded);
    PaintEvents(painter, strip, day.events, MotionEventKind::kMotion);
    PaintEvents(painter, strip, day.events, MotionEventKind::kTamper);
}

void CDayTimeline::PaintSpans(QPainter& painter, const QRect& strip, const std::vector<RecordedSpan>& spans) const
{
    for (const RecordedSpan& span : spans) {
        if (span.to <= m_viewFrom || span.from >= m_viewTo)
            continue;
        const int left = std::max(strip.left(), ColumnOf(span.from));
        const int right = std::min(strip.right(), ColumnOf(span.to));
        painter.fillRect(QRect(left, strip.top() + 3, std::max(1, right - left), strip.height() - 6), kRecorded);
    }
}

// Events of one kind that fall on the same columns are drawn as one run, so
// a day of thousands draws as quickly as its width allows; a covered lens
// in its own colour over the motion.
void CDayTimeline::PaintEvents(QPainter& painter, const QRect& strip, const std::vector<TimelineEvent>& events,
                               MotionEventKind kind) const
{
    int runLeft = -1;
    int runRight = -1;
    const auto flush = [&] {
        if (runLeft >= 0)
            painter.fillRect(QRect(runLeft, strip.top(), runRight - runLeft + 1, strip.height()),
                             kind == MotionEventKind::kTamper ? kTamper : kEvent);
    };
    for (const TimelineEvent& event : events) {
        if (event.kind != kind || event.to < m_viewFrom || event.from >= m_viewTo)
            continue;
        const int left = std::max(strip.left(), ColumnOf(event.from));
        const int right = std::min(strip.right(), std::max(left + 1, ColumnOf(event.to)));
        if (left <= runRight + 1) {
            runRight = std::max(runRight, right);
            continue;
        }
        flush();
        runLeft = left;
        runRight = right;
    }
    flush();
}

void CDayTimeline::wheelEvent(QWheelEvent* e)
{
    if (e->angleDelta().y() > 0)
        ZoomToHour(MomentAt(static_cast<int>(e->position().x())));
    else if (e->angleDelta().y() < 0)
        ShowWholeDay();
    e->accept();
}

void CDayTimeline::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    m_dragCamera = at.x() >= kLabelWidth ? CameraAt(at.y()) : 0;
    m_dragFrom = m_dragTo = std::max(at.x(), kLabelWidth);
    m_dragging = m_dragCamera != 0 && e->button() == Qt::LeftButton;
    update();
}

void CDayTimeline::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    m_dragTo = std::clamp(static_cast<int>(e->position().x()), kLabelWidth, width() - 1);
    update();
}

void CDayTimeline::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_dragTo = std::clamp(static_cast<int>(e->position().x()), kLabelWidth, width() - 1);
    if (std::abs(m_dragTo - m_dragFrom) <= kClickSlack) {
        m_dragTo = m_dragFrom;
        update();
        emit PlayAsked(m_dragCamera, MomentAt(m_dragFrom));
        return;
    }
    update();
    emit RangeChosen(m_dragCamera, MomentAt(std::min(m_dragFrom, m_dragTo)), MomentAt(std::max(m_dragFrom, m_dragTo)));
}

bool CDayTimeline::event(QEvent* e)
{
    if (e->type() != QEvent::ToolTip)
        return QWidget::event(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    const QString text = HoverText(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

// By keyboard: a cursor on one camera's strip moves with
// Left and Right (Shift for finer steps), Up and Down change the camera,
// Home and End go to the view's ends, Enter plays that camera from there,
// + zooms to the cursor's hour and - back to the whole day.
namespace {
constexpr int kSteps = 96;  // a day: 15 minutes a step; an hour: under 40 s
constexpr int kFineSteps = 12;
}  // namespace

void CDayTimeline::keyPressEvent(QKeyEvent* e)
{
    const PreciseTime span = m_viewTo - m_viewFrom;
    const PreciseTime step = std::max<PreciseTime>(kMicrosPerSecond, span / kSteps / (e->modifiers() & Qt::ShiftModifier ? kFineSteps : 1));
    switch (e->key()) {
    case Qt::Key_Left: MoveCursor(m_cursor - step); break;
    case Qt::Key_Right: MoveCursor(m_cursor + step); break;
    case Qt::Key_Home: MoveCursor(m_viewFrom); break;
    case Qt::Key_End: MoveCursor(m_viewTo - 1); break;
    case Qt::Key_Up: m_cursorCamera = std::max(1, m_cursorCamera - 1); break;
    case Qt::Key_Down: m_cursorCamera = std::min(4, m_cursorCamera + 1); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomToHour(m_cursor); break;
    case Qt::Key_Minus: ShowWholeDay(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit PlayAsked(m_cursorCamera, m_cursor); break;
    default: return QWidget::keyPressEvent(e);
    }
    update();
}

// The cursor stays in the day; a zoomed view follows it from hour to hour.
void CDayTimeline::MoveCursor(PreciseTime moment)
{
    m_cursor = std::clamp(moment, m_data.dayStart, std::max(m_data.dayStart, m_data.dayEnd - 1));
    if (m_cursor < m_viewFrom || m_cursor >= m_viewTo)
        ZoomToHour(m_cursor);
}

void CDayTimeline::PaintCursor(QPainter& painter) const
{
    if (!hasFocus())
        return;
    const QRect strip = StripRect(m_cursorCamera);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(strip.adjusted(0, 0, -1, -1));
    const int x = ColumnOf(m_cursor);
    painter.setPen(QPen(QColor(0, 0, 255), 2));
    painter.drawLine(x, strip.top() - 2, x, strip.bottom() + 2);
}
