// The main window's content area: its background and the grey video area
// of the four panels, at the window's own size (see CvardoDlg::CreateCanvas).
#pragma once

#include <QColor>
#include <QPainter>
#include <QWidget>

class CMainCanvas : public QWidget {
public:
    CMainCanvas(QColor background, QColor videoArea, int videoAreaWidth)
        : m_background(background), m_videoArea(videoArea), m_videoAreaWidth(videoAreaWidth)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_background);
        painter.setPen(Qt::black);
        painter.setBrush(m_videoArea);
        painter.drawRect(0, 0, m_videoAreaWidth - 1, height() - 1);
    }

private:
    QColor m_background;
    QColor m_videoArea;
    int m_videoAreaWidth;
};
