#include "DisplayScaler.h"

#include <algorithm>
#include <cstring>

namespace {

// Sixteen lanes at a time in plain SSE2 (what every x86-64 has), written
// with the compiler's vector types so no build setting is needed for it.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Words16 = std::uint16_t __attribute__((vector_size(32)));

}  // namespace

void DisplayScaler::Prepare(int frameWidth, int panelWidth)
{
    if (frameWidth == m_frameWidth && panelWidth == m_panelWidth)
        return;
    m_frameWidth = frameWidth;
    m_panelWidth = panelWidth;
    m_left.resize(static_cast<std::size_t>(panelWidth));
    for (int x = 0; x < panelWidth; ++x)
        m_left[static_cast<std::size_t>(x)] = 3 * static_cast<int>(static_cast<long long>(x) * frameWidth / panelWidth);
    const std::size_t stride = 3 * static_cast<std::size_t>(frameWidth);
    m_squareSum.resize(stride);
}

// Two passes a panel row: the first, sixteen bytes at a time, adds every
// frame byte of the two rows to the same byte of the pixel on its right
// (rounding included); the second picks each panel pixel's sums.
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
        AddSquares(frame + static_cast<std::size_t>(frameHeight - 1 - sy) * stride,
                   frame + static_cast<std::size_t>(frameHeight - 1 - sy2) * stride);
        PackRow(reinterpret_cast<std::uint32_t*>(panel->scanLine(y)), w);
    }
}

// The last pixel has no right neighbour and counts twice.
void DisplayScaler::AddSquares(const std::uint8_t* top, const std::uint8_t* bottom)
{
    const std::size_t n = m_squareSum.size();
    std::uint16_t* sum = m_squareSum.data();
    std::size_t i = 0;
    for (; i + 3 + 16 <= n; i += 16) {
        Bytes16 a, b, c, d;
        std::memcpy(&a, top + i, sizeof a);
        std::memcpy(&b, top + i + 3, sizeof b);
        std::memcpy(&c, bottom + i, sizeof c);
        std::memcpy(&d, bottom + i + 3, sizeof d);
        const Words16 s = __builtin_convertvector(a, Words16) + __builtin_convertvector(b, Words16) +
                          __builtin_convertvector(c, Words16) + __builtin_convertvector(d, Words16) + 2;
        std::memcpy(sum + i, &s, sizeof s);
    }
    for (; i + 3 < n; ++i)
        sum[i] = static_cast<std::uint16_t>(top[i] + top[i + 3] + bottom[i] + bottom[i + 3] + 2);
    for (; i < n; ++i)
        sum[i] = static_cast<std::uint16_t>(2 * (top[i] + bottom[i]) + 2);
}

void DisplayScaler::PackRow(std::uint32_t* __restrict out, int width) const
{
    const std::uint16_t* __restrict pair = m_squareSum.data();
    const int* __restrict left = m_left.data();
    for (int x = 0; x < width; ++x) {
        const std::uint16_t* p = pair + left[x];
        out[x] = 0xFF000000u | (static_cast<unsigned>(p[2] >> 2) << 16) |
                 (static_cast<unsigned>(p[1] >> 2) << 8) | static_cast<unsigned>(p[0] >> 2);
    }
}
