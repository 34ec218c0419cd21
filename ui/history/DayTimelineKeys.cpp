// The day timeline by keyboard: a cursor on one camera's strip moves with
// Left and Right (Shift for finer steps), Up and Down change the camera,
// Home and End go to the view's ends, Enter plays that camera from there,
// + zooms to the cursor's hour and - back to the whole day.
#include "DayTimeline.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

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
