#include "DisplayScaler.h"

#include <algorithm>

void DisplayScaler::Prepare(int frameWidth, int panelWidth)
{
    if (frameWidth == m_frameWidth && panelWidth == m_panelWidth)
        return;
    m_frameWidth = frameWidth;
    m_panelWidth = panelWidth;
    m_left.resize(static_cast<std::size_t>(panelWidth));
    m_right.resize(static_cast<std::size_t>(panelWidth));
    for (int x = 0; x < panelWidth; ++x) {
        const int sx = static_cast<int>(static_cast<long long>(x) * frameWidth / panelWidth);
        m_left[static_cast<std::size_t>(x)] = 3 * sx;
        m_right[static_cast<std::size_t>(x)] = 3 * std::min(sx + 1, frameWidth - 1);
    }
}

void DisplayScaler::Scale(const std::uint8_t* frame, int frameWidth, int frameHeight, QImage* panel)
{
    const int w = panel->width(), h = panel->height();
    if (w <= 0 || h <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return;
    Prepare(frameWidth, w);
    const std::size_t stride = 3 * static_cast<std::size_t>(frameWidth);
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<long long>(y) * frameHeight / h);
        const int sy2 = std::min(sy + 1, frameHeight - 1);
        // Row sy from the top is row frameHeight - 1 - sy in memory.
        const std::uint8_t* top = frame + static_cast<std::size_t>(frameHeight - 1 - sy) * stride;
        const std::uint8_t* bottom = frame + static_cast<std::size_t>(frameHeight - 1 - sy2) * stride;
        auto* out = reinterpret_cast<std::uint32_t*>(panel->scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* a = top + m_left[static_cast<std::size_t>(x)];
            const std::uint8_t* b = top + m_right[static_cast<std::size_t>(x)];
            const std::uint8_t* c = bottom + m_left[static_cast<std::size_t>(x)];
            const std::uint8_t* d = bottom + m_right[static_cast<std::size_t>(x)];
            const unsigned blue = (a[0] + b[0] + c[0] + d[0] + 2) >> 2;
            const unsigned green = (a[1] + b[1] + c[1] + d[1] + 2) >> 2;
            const unsigned red = (a[2] + b[2] + c[2] + d[2] + 2) >> 2;
            out[x] = 0xFF000000u | (red << 16) | (green << 8) | blue;
        }
    }
}
