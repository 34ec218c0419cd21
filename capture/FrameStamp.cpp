#include "FrameStamp.h"

#include "ResString.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace {

QFont StampFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

// The outline darkens what lies under it.
inline void BlendDark(std::uint8_t* px, unsigned a)
{
    const unsigned keep = 255 - a;
    px[0] = static_cast<std::uint8_t>(px[0] * keep / 255);
    px[1] = static_cast<std::uint8_t>(px[1] * keep / 255);
    px[2] = static_cast<std::uint8_t>(px[2] * keep / 255);
}

// Green, as the stamps are drawn: blue 0, green 255, red 0.
inline void BlendGreen(std::uint8_t* px, unsigned a)
{
    px[0] = static_cast<std::uint8_t>(px[0] * (255 - a) / 255);
    px[1] = static_cast<std::uint8_t>(px[1] + (255 - px[1]) * a / 255);
    px[2] = static_cast<std::uint8_t>(px[2] * (255 - a) / 255);
}

void SpreadOutline(StampMask* mask)
{
    mask->outline.assign(mask->alpha.size(), 0);
    for (int y = 0; y < mask->height; ++y)
        for (int x = 0; x < mask->width; ++x) {
            std::uint8_t most = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < mask->width && ny < mask->height)
                        most = std::max(most, mask->alpha[static_cast<std::size_t>(ny) * mask->width + nx]);
                }
            mask->outline[static_cast<std::size_t>(y) * mask->width + x] = most;
        }
}

}  // namespace

StampMask FrameStamp::Render(const std::string& text)
{
    const QFont font = StampFont();
    const QFontMetrics metrics(font);
    const QString qtext = QString::fromStdString(text);
    StampMask mask;
    mask.width = std::max(1, metrics.horizontalAdvance(qtext)) + 2 * kOutline;
    mask.height = std::max(1, metrics.height()) + 2 * kOutline;
    QImage image(mask.width, mask.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(kOutline, kOutline + metrics.ascent(), qtext);
    }
    mask.alpha.resize(static_cast<std::size_t>(mask.width) * mask.height);
    for (int y = 0; y < mask.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < mask.width; ++x)
            mask.alpha[static_cast<std::size_t>(y) * mask.width + x] = static_cast<std::uint8_t>(qAlpha(line[x]));
    }
    SpreadOutline(&mask);
    return mask;
}

const StampMask& FrameStamp::TimeMask(const std::string& timeText)
{
    if (timeText != m_timeText || m_time.alpha.empty()) {
        m_timeText = timeText;
        m_time = Render(timeText);
    }
    return m_time;
}

const StampMask& FrameStamp::TitleMask()
{
    if (m_title.alpha.empty())
        m_title = Render(LoadResString(AFX_IDS_APP_TITLE));
    return m_title;
}

void FrameStamp::Stamp(const PixelView& picture, const std::string& timeText)
{
    // The texts keep their corners; their outline's margin lies outside.
    Blend(TimeMask(timeText), picture, -kOutline, -kOutline);
    const StampMask& title = TitleMask();
    Blend(title, picture, picture.width - title.width + kOutline, picture.height - title.height + kOutline);
}

void FrameStamp::Blend(const StampMask& mask, const PixelView& picture, int x, int y)
{
    for (int my = 0; my < mask.height; ++my) {
        const int py = y + my;
        if (py < 0 || py >= picture.height)
            continue;
        const int row = picture.bottomUp ? picture.height - 1 - py : py;
        std::uint8_t* line = picture.data + static_cast<std::ptrdiff_t>(row) * picture.bytesPerRow;
        const std::size_t offset = static_cast<std::size_t>(my) * mask.width;
        const std::uint8_t* coverage = &mask.alpha[offset];
        const std::uint8_t* outline = &mask.outline[offset];
        const int first = std::max(0, -x);
        const int last = std::min(mask.width, picture.width - x);
        for (int mx = first; mx < last; ++mx) {
            if (outline[mx] == 0)
                continue;
            std::uint8_t* px = line + static_cast<std::ptrdiff_t>(x + mx) * picture.bytesPerPixel;
            BlendDark(px, outline[mx]);
            if (coverage[mx] != 0)
                BlendGreen(px, coverage[mx]);
        }
    }
}
