#include "SeekBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <utility>

CSeekBar::CSeekBar(int range, QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, range);
    setPageStep(range / 20);
    setTickPosition(QSlider::NoTicks);
}

int CSeekBar::ValueAt(int x) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - groove.x() - handle.width() / 2, span,
                                           option.upsideDown);
}

void CSeekBar::SetMarks(std::vector<int> values)
{
    m_marks = std::move(values);
    update();
}

void CSeekBar::paintEvent(QPaintEvent* e)
{
    QSlider::paintEvent(e);
    if (m_marks.empty())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    QPainter painter(this);
    painter.setPen(QColor(225, 40, 30));
    for (int value : m_marks) {
        const int x = groove.x() + handle.width() / 2 +
                      QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
        painter.drawLine(x, height() - 4, x, height() - 1);
    }
}

// The thumb is moved under the mouse first, so the press grabs it: the
// release then seeks through the same road as a drag.
void CSeekBar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(e->position().toPoint()))
            setSliderPosition(ValueAt(e->position().toPoint().x()));
    }
    QSlider::mousePressEvent(e);
}

void CSeekBar::keyPressEvent(QKeyEvent* e)
{
    static const std::pair<int, int> kMoves[] = {
        {Qt::Key_Left, -1}, {Qt::Key_Right, 1}, {Qt::Key_PageUp, -60}, {Qt::Key_PageDown, 60}};
    for (const auto& [key, seconds] : kMoves)
        if (e->key() == key) {
            emit moveBy(seconds);
            return e->accept();
        }
    QSlider::keyPressEvent(e);
}
