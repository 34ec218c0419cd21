#include "ETButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {
constexpr int kEdge = 2;

QPen InsidePen(int r, int g, int b, int width)
{
    QPen pen(QColor(r, g, b), width);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}
}  // namespace

CETButton::CETButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    // Enter presses only a button made the dialog's default on purpose: a
    // stray Enter on the focused 停止监控 must not stop the recording.
    setAutoDefault(false);
}

void CETButton::Bind(const QRect& geometry)
{
    setGeometry(geometry);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, geometry.width(), geometry.height()), 2.5, 2.5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CETButton::enterEvent(QEnterEvent* e)
{
    m_bHover = true;
    update();
    QPushButton::enterEvent(e);
}

void CETButton::leaveEvent(QEvent* e)
{
    m_bHover = false;
    update();
    QPushButton::leaveEvent(e);
}

void CETButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect item = rect();
    p.setPen(InsidePen(122, 150, 167, 3));
    p.setBrush(palette().window());
    p.drawRoundedRect(item.adjusted(1, 1, -2, -2), 1.5, 1.5);
    const bool pressed = isDown();
    m_bFocus = hasFocus();
    m_bEmphasis = m_bFocus || pressed || isDefault();
    const QRect r = item.adjusted(kEdge, kEdge, -kEdge, -kEdge);
    DrawGradient(p, r);
    if (m_bHover || m_bFocus)
        DrawFrame(p, r);
    if (m_bFocus) {  // the keyboard's place, apart from the hover frame
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(2, 2, -3, -3));
    }
    const QFontMetrics metrics(font());
    QRect textRect(0, 0, metrics.horizontalAdvance(text()), metrics.height());
    textRect.moveCenter(r.center());
    if (pressed)
        textRect.translate(1, 1);
    if (isEnabled()) {
        p.setPen(Qt::black);
        p.drawText(textRect, Qt::AlignCenter, text());
    } else {  // embossed, as disabled text is drawn
        p.setPen(Qt::white);
        p.drawText(textRect.translated(1, 1), Qt::AlignCenter, text());
        p.setPen(QColor(128, 128, 128));
        p.drawText(textRect, Qt::AlignCenter, text());
    }
}

// 64 colours from white downwards; the rows past the band's height use the last.
void CETButton::DrawGradient(QPainter& p, const QRect& r)
{
    const int h = std::max(1, r.height());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const int i = std::min(63, 63 * (y - r.top()) / h);
        const int rg = 255 - (m_bHover ? i / 4 : i / 3);
        const int b = 255 - (m_bHover ? (m_bEmphasis ? i / 3 : i / 5) : (m_bEmphasis ? i / 4 : i / 5));
        p.fillRect(QRect(r.left(), y, r.width(), 1), QColor(rg, rg, b));
    }
}

void CETButton::DrawFrame(QPainter& p, const QRect& r)
{
    const bool focusSet = m_bFocus && !m_bHover;
    const QColor left = focusSet ? QColor(153, 198, 252) : QColor(250, 196, 88);
    const QColor right = focusSet ? QColor(162, 189, 252) : QColor(251, 202, 106);
    const QColor top = focusSet ? QColor(162, 201, 255) : QColor(252, 210, 121);
    const QColor bottom = focusSet ? QColor(162, 201, 255) : QColor(229, 151, 0);
    p.fillRect(QRect(r.left(), r.top() + 1, 3, r.height() - 1), left);
    p.fillRect(QRect(r.right() - 2, r.top(), 3, r.height()), right);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 2), top);
    p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), bottom);
    if (focusSet) {
        QPen dotted(Qt::black, 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(3, 2, -4, -3));
    }
}
