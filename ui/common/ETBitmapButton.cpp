#include "ETBitmapButton.h"

#include <QPainter>

CETBitmapButton::CETBitmapButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CETBitmapButton::SetImage(const QPixmap& image)
{
    m_image = image;
    update();
}

void CETBitmapButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect().translated(isDown() ? 1 : 0, isDown() ? 1 : 0), m_image);
    if (hasFocus()) {  // the keyboard's place
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
