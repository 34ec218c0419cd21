// CSeekBar: the player's trackbar. A click on the groove puts the thumb
// under the mouse at once (and the drag goes on from there); Page Up/Down
// move by a twentieth of the range.
#pragma once

#include <QSlider>

class CSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit CSeekBar(int range, QWidget* parent = nullptr);

    // The value at pixel `x` of the bar, as the thumb's centre would show it.
    int ValueAt(int x) const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
};
