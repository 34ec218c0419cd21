#include "ZoneCanvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kZoneFill(230, 60, 40, 90);
const QColor kZoneEdge(230, 60, 40);
const QColor kDrawing(250, 220, 40);
constexpr int kSmallestDrag = 4;  // pixels each way; less is a click

// The canvas keeps the picture's shape, 480 pixels wide.
int HeightFor(const QImage& picture)
{
    if (picture.isNull() || picture.width() <= 0)
        return CZoneCanvas::kWidth * 9 / 16;
    return std::clamp(CZoneCanvas::kWidth * picture.height() / picture.width(), 180, 360);
}

double Hundredths(double value)
{
    return std::round(value * 100) / 100;
}

}  // namespace

CZoneCanvas::CZoneCanvas(QImage picture, std::vector<MotionZone> zones, QWidget* parent)
    : QWidget(parent), m_picture(std::move(picture)), m_zones(std::move(zones))
{
    setFixedSize(kWidth, HeightFor(m_picture));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
}

void CZoneCanvas::Clear()
{
    m_zones.clear();
    update();
    emit ZonesChanged();
}

QRectF CZoneCanvas::RectOf(const MotionZone& zone) const
{
    return QRectF(zone.x * width() / 100, zone.y * height() / 100, zone.w * width() / 100, zone.h * height() / 100);
}

int CZoneCanvas::ZoneAt(QPoint at) const
{
    for (int i = static_cast<int>(m_zones.size()) - 1; i >= 0; --i)
        if (RectOf(m_zones[static_cast<std::size_t>(i)]).contains(at))
            return i;
    return -1;
}

QPoint CZoneCanvas::Inside(QPoint at) const
{
    return QPoint(std::clamp(at.x(), 0, width()), std::clamp(at.y(), 0, height()));
}

void CZoneCanvas::Remove(int index)
{
    if (index < 0 || index >= static_cast<int>(m_zones.size()))
        return;
    m_zones.erase(m_zones.begin() + index);
    update();
    emit ZonesChanged();
}

void CZoneCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), QColor(70, 70, 70));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("没有画面：区域仍可以画"));
    } else {
        painter.drawImage(rect(), m_picture);
    }
    for (std::size_t i = 0; i < m_zones.size(); ++i) {
        const QRectF zone = RectOf(m_zones[i]);
        painter.fillRect(zone, kZoneFill);
        painter.setPen(QPen(kZoneEdge, 2));
        painter.drawRect(zone);
        painter.setPen(Qt::white);
        painter.drawText(zone.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(i + 1));
    }
    if (m_dragging) {
        painter.setPen(QPen(kDrawing, 2, Qt::DashLine));
        painter.drawRect(QRect(m_from, m_to).normalized());
    }
    if (hasFocus()) {
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CZoneCanvas::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        Remove(ZoneAt(at));
    } else if (e->button() == Qt::LeftButton && m_zones.size() < kMostZones) {
        m_dragging = true;
        m_from = m_to = Inside(at);
    }
}

void CZoneCanvas::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    m_to = Inside(e->position().toPoint());
    update();
}

void CZoneCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    const QPoint to = Inside(e->position().toPoint());
    const int left = std::min(m_from.x(), to.x()), top = std::min(m_from.y(), to.y());
    const int w = std::abs(to.x() - m_from.x()), h = std::abs(to.y() - m_from.y());  // corner to corner
    update();
    if (w < kSmallestDrag || h < kSmallestDrag)
        return;
    m_zones.push_back({Hundredths(100.0 * left / width()), Hundredths(100.0 * top / height()),
                       Hundredths(100.0 * w / width()), Hundredths(100.0 * h / height())});
    emit ZonesChanged();
}

void CZoneCanvas::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace)
        Remove(static_cast<int>(m_zones.size()) - 1);
    else
        QWidget::keyPressEvent(e);
}
