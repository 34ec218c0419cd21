// CDayTimeline: one strip per camera over the chosen day, below the player
// in the history dialog. Each strip shows the spans its recordings cover
// (green), the time without recording (grey), the motion events (red) and
// the times the lens was covered (violet);
// the hours are marked above. The wheel zooms to the hour under the
// pointer and back to the day; hovering tells the time; a click asks to
// play that camera from that moment; a drag chooses a range of it. The
// keyboard has a cursor for the same (DayTimelineKeys.cpp).
#pragma once

#include "DayTimelineData.h"

#include <QWidget>

class CDayTimeline : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLabelWidth = 52;
    static constexpr int kRulerHeight = 16;
    static constexpr int kStripHeight = 16;
    static constexpr int kStripGap = 3;
    static constexpr int kHeight = kRulerHeight + 4 * (kStripHeight + kStripGap) + 2;
    static constexpr PreciseTime kHour = 3600 * kMicrosPerSecond;

    explicit CDayTimeline(QWidget* parent = nullptr);

    // A new day: the whole of it is shown, no range is chosen.
    void SetData(DayTimelineData data);
    // The same day read again (new recordings, events): what is shown, the
    // cursor and a range being chosen stay; another day is SetData.
    void UpdateData(DayTimelineData data);
    const DayTimelineData& Data() const { return m_data; }
    PreciseTime ViewFrom() const { return m_viewFrom; }
    PreciseTime ViewTo() const { return m_viewTo; }
    // The hour that holds `moment`, or the whole day again.
    void ZoomToHour(PreciseTime moment);
    void ShowWholeDay();

    // Where things are: the moment at a column, the column of a moment, the
    // camera (1 to 4) of a row, 0 outside the strips.
    PreciseTime MomentAt(int x) const;
    int ColumnOf(PreciseTime moment) const;
    int CameraAt(int y) const;
    QRect StripRect(int camera) const;
    // "摄像头N HH:MM:SS", with 移动 during motion, 遮挡 while the lens was
    // covered; empty outside the strips.
    QString HoverText(const QPoint& at) const;

signals:
    void PlayAsked(int camera, PreciseTime moment);
    void RangeChosen(int camera, PreciseTime from, PreciseTime to);

protected:
    void paintEvent(QPaintEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;

private:
    void PaintRuler(QPainter& painter) const;
    void PaintStrip(QPainter& painter, int camera) const;
    void PaintSpans(QPainter& painter, const QRect& strip, const std::vector<RecordedSpan>& spans) const;
    void PaintEvents(QPainter& painter, const QRect& strip, const std::vector<TimelineEvent>& events,
                     MotionEventKind kind) const;
    void PaintCursor(QPainter& painter) const;
    void MoveCursor(PreciseTime moment);

    DayTimelineData m_data;
    PreciseTime m_viewFrom = 0;
    PreciseTime m_viewTo = 1;
    int m_dragCamera = 0;  // the strip a press began in
    int m_dragFrom = 0;
    int m_dragTo = 0;
    bool m_dragging = false;
    int m_cursorCamera = 1;    // the keyboard's cursor
    PreciseTime m_cursor = 0;
};
