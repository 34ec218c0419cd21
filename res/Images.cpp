#include "Images.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

QImage Blank(int w, int h, QColor fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

QFont Font(int pixels, bool bold)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A camera lens: the motif of the icon.
void DrawCamera(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 160));
    p.drawRoundedRect(r.adjusted(0, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2), 3, 3);
    p.drawPolygon(QPolygonF({QPointF(r.right() - r.width() * 0.2, r.center().y()),
                             QPointF(r.right(), r.top() + r.height() * 0.25),
                             QPointF(r.right(), r.bottom() - r.height() * 0.25)}));
    p.setBrush(QColor(230, 240, 255));
    const double d = r.height() * 0.35;
    p.drawEllipse(QPointF(r.left() + r.width() * 0.4, r.center().y()), d / 2, d / 2);
}

// A 16 × 16 player button face: light grey with a dark symbol.
QImage PlayerButton(const std::function<void(QPainter&)>& symbol)
{
    QImage image = Blank(16, 16, QColor(212, 208, 200));
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    symbol(p);
    return image;
}

}  // namespace

QImage AppIconImage()
{
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawCamera(p, QRectF(1, 2, 30, 28));
    return image;
}

QImage TitleImage()
{
    QImage image = Blank(151, 50, QColor(193, 215, 225));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawCamera(p, QRectF(4, 8, 34, 30));
    p.setPen(QColor(40, 90, 160));
    p.setFont(Font(22, true));
    p.drawText(QRect(42, 2, 108, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Lumaro"));
    p.setFont(Font(12, false));
    p.drawText(QRect(44, 30, 106, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("您的安防助手"));
    return image;
}

QImage HouseImage()
{
    QImage image = Blank(91, 85);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(80, 60, 40), 2));
    p.setBrush(QColor(200, 70, 50));
    p.drawPolygon(QPolygonF({QPointF(45, 5), QPointF(88, 40), QPointF(2, 40)}));
    p.setBrush(QColor(250, 240, 210));
    p.drawRect(QRectF(12, 40, 66, 42));
    p.setBrush(QColor(120, 80, 50));
    p.drawRect(QRectF(38, 55, 16, 27));
    p.setBrush(QColor(150, 200, 240));
    p.drawRect(QRectF(18, 48, 14, 12));
    p.drawRect(QRectF(60, 48, 14, 12));
    return image;
}

QImage HelpButtonImage()
{
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(12, 10), 20);
    g.setColorAt(0, QColor(255, 220, 120));
    g.setColorAt(1, QColor(230, 140, 20));
    p.setBrush(g);
    p.setPen(QPen(QColor(170, 90, 0), 1));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    p.setPen(Qt::white);
    p.setFont(Font(9, true));
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("HELP"));
    return image;
}

QImage SplashImage()
{
    QImage image = Blank(497, 302, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colours[3] = {QColor(68, 154, 232), QColor(250, 170, 40), QColor(90, 190, 90)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(colours[i], 14));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(120 + i * 70, 130 + (i % 2) * 50), 70, 70);
    }
    return image;
}

QImage ProductIconImage()
{
    QImage image = Blank(65, 65);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor tiles[4] = {QColor(230, 60, 60), QColor(60, 170, 60), QColor(60, 110, 220), QColor(240, 190, 40)};
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRect(4 + (i % 2) * 29, 42 + (i / 2) * 11, 27, 10), tiles[i]);
    p.setBrush(QColor(40, 90, 160));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(32, 10), 8, 8);
    p.drawRoundedRect(QRectF(22, 19, 20, 22), 5, 5);
    return image;
}

QImage DownloadImage()
{
    QImage image = Blank(184, 54);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 54);
    g.setColorAt(0, QColor(255, 180, 60));
    g.setColorAt(1, QColor(230, 110, 0));
    p.setBrush(g);
    p.setPen(QPen(QColor(190, 90, 0), 2));
    p.drawRoundedRect(QRectF(1, 1, 182, 52), 10, 10);
    p.setPen(Qt::white);
    p.setFont(Font(22, true));
    p.drawText(QRect(10, 0, 130, 54), Qt::AlignCenter, QStringLiteral("立即下载"));
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(148, 18), QPointF(170, 18), QPointF(159, 38)}));
    return image;
}

void InitWelcomeResources()
{
    Q_INIT_RESOURCE(welcome);
}

QImage StopButtonImage()
{
    return PlayerButton([](QPainter& p) { p.drawRect(4, 4, 8, 8); });
}

QImage PauseButtonImage()
{
    return PlayerButton([](QPainter& p) {
        p.drawRect(4, 3, 3, 10);
        p.drawRect(9, 3, 3, 10);
    });
}

QImage PlayButtonImage()
{
    return PlayerButton([](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPolygon(QPolygonF({QPointF(5, 3), QPointF(13, 8), QPointF(5, 13)}));
    });
}
