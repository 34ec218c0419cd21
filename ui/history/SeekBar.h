// CSeekBar: the player's trackbar. A click on the groove puts the thumb
// under the mouse at once (and the drag goes on from there). Keys move in
// the recording's time: Left/Right a second back/forward, Page Up/Page Down
// a minute back/forward.
#pragma once

#include <QSlider>

#include <vector>

class CSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit CSeekBar(int range, QWidget* parent = nullptr);

    // The value at pixel `x` of the bar, as the thumb's centre would show it.
    int ValueAt(int x) const;
    // Where the recording's motion events begin, as values of the bar; a
    // red tick each under the groove.
    void SetMarks(std::vector<int> values);
    const std::vector<int>& Marks() const { return m_marks; }

signals:
    // A key asks to move this many seconds (negative: back).
    void moveBy(int seconds);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::vector<int> m_marks;
};
