#include "ETTransTitle.h"

#include <QPainter>

CETTransTitle::CETTransTitle(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void CETTransTitle::SetBold()
{
    m_bBold = true;
    CreateTitleFont(m_bHaveFont ? m_font : font());
}

void CETTransTitle::UseLargeFont()
{
    QFont description(font().family());
    description.setPixelSize(qRound(16.0 * logicalDpiY() / 72.0));  // a 16-point font
    CreateTitleFont(description);
}

void CETTransTitle::CreateTitleFont(QFont description)
{
    description.setWeight(m_bBold ? QFont::Bold : QFont::Normal);
    m_font = description;
    m_bHaveFont = true;
    update();
}

void CETTransTitle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(m_bHaveFont ? m_font : font());
    p.setPen(m_crText);
    const int d = (width() - p.fontMetrics().horizontalAdvance(m_text)) / 2;
    p.drawText(rect().adjusted(d, 0, -d, 0), Qt::AlignLeft | Qt::AlignTop, m_text);
    if (m_bLine) {
        p.setPen(m_crLine);
        p.drawLine(2, height() - 3, width() - 3, height() - 3);
    }
}
