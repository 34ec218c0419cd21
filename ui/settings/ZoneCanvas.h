// CZoneCanvas: a camera's picture on which the owner draws the zones left
// out of motion detection. A drag with the left button draws a rectangle;
// a right click on one, or Delete for the last drawn, takes it away. Zones
// are kept in percent of the picture, so they fit any size it is sent at.
#pragma once

#include "MotionZones.h"

#include <QImage>
#include <QWidget>

#include <vector>

class CZoneCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 480;
    static constexpr std::size_t kMostZones = 32;

    // `picture` may be null: the zones are drawn on grey.
    CZoneCanvas(QImage picture, std::vector<MotionZone> zones, QWidget* parent = nullptr);

    const std::vector<MotionZone>& Zones() const { return m_zones; }
    void Clear();
    // The zone under `at`, the last drawn first; -1 for none.
    int ZoneAt(QPoint at) const;

signals:
    void ZonesChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QRectF RectOf(const MotionZone& zone) const;
    QPoint Inside(QPoint at) const;
    void Remove(int index);

    QImage m_picture;
    std::vector<MotionZone> m_zones;
    bool m_dragging = false;
    QPoint m_from, m_to;
};
