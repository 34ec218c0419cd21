#include "DisplayScaler.h"


#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define LUMARO_HAVE_SSSE3_PATH 1
#endif

namespace {

// True where the processor has SSSE3's byte shuffle, which the halving of
// wide pictures uses when it is there.
bool ProcessorShufflesBytes()
{
#ifdef LUMARO_HAVE_SSSE3_PATH
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
#else
    return false;
#endif
}

// Sixteen lanes at a time in plain SSE2 (what every x86-64 has), written
// with the compiler's vector types so no build setting is needed for it.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Words16 = std::uint16_t __attribute__((vector_size(32)));

// The opaque panel pixel of the three means at p (blue, green, red).
std::uint32_t PanelPixel(const std::uint8_t* p)
{
    return 0xFF000000u | (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[0];
}

void PackRowPlain(const std::uint8_t* __restrict mean, const int* __restrict left, std::uint32_t* __restrict out,
                  int width)
{
    for (int x = 0; x < width; ++x)
        out[x] = PanelPixel(mean + left[x]);
}

#ifdef LUMARO_HAVE_SSSE3_PATH
// Halving: panel pixel x takes the three means at byte 6x. Four pixels a
// step come from the 24 bytes at 6x, read as the sixteen at 6x and the
// sixteen at 6x + 8, so the last step ends on the row's last byte.
__attribute__((target("ssse3"))) void PackHalvedRowShuffled(const std::uint8_t* mean, std::uint32_t* out,
                                                            int width)
{
    const __m128i first = _mm_setr_epi8(0, 1, 2, -1, 6, 7, 8, -1, 12, 13, 14, -1, -1, -1, -1, -1);
    const __m128i second = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 10, 11, 12, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mean + 6 * x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mean + 6 * x + 8));
        const __m128i pixels = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, first), _mm_shuffle_epi8(b, second)),
                                            opaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), pixels);
    }
    for (; x < width; ++x)
        out[x] = PanelPixel(mean + 6 * x);
}
#endif

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
    m_squareMean.resize(stride);
}

// Two passes a panel row: the first, sixteen bytes at a time, averages every
// frame byte of the two rows with the same byte of the pixel on its right;
// the second picks each panel pixel's means.
void DisplayScaler::Scale(const std::uint8_t* frame, int frameWidth, int frameHeight, QImage* panel)
{
    const int w = panel->width(), h = panel->height();
    if (w <= 0 || h <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return;
    Prepare(frameWidth, w);
    const std::size_t stride = 3 * static_cast<std::size_t>(frameWidth);
    if (frameWidth <= w && frameHeight <= h)
        return Enlarge(frame, frameHeight, panel);
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<long long>(y) * frameHeight / h);
        const int sy2 = std::min(sy + 1, frameHeight - 1);
        // Row sy from the top is row frameHeight - 1 - sy in memory.
        AddSquares(frame + static_cast<std::size_t>(frameHeight - 1 - sy) * stride,
                   frame + static_cast<std::size_t>(frameHeight - 1 - sy2) * stride);
        PackRow(reinterpret_cast<std::uint32_t*>(panel->scanLine(y)), w);
    }
}

// A frame no larger than the panel: every panel pixel is the frame pixel at
// its place, so a frame of the panel's own size is shown as it is.
void DisplayScaler::Enlarge(const std::uint8_t* frame, int frameHeight, QImage* panel) const
{
    const int w = panel->width(), h = panel->height();
    const std::size_t stride = 3 * static_cast<std::size_t>(m_frameWidth);
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<long long>(y) * frameHeight / h);
        const std::uint8_t* row = frame + static_cast<std::size_t>(frameHeight - 1 - sy) * stride;
        PackRowPlain(row, m_left.data(), reinterpret_cast<std::uint32_t*>(panel->scanLine(y)), w);
    }
}

// The last pixel has no right neighbour and counts twice.
void DisplayScaler::AddSquares(const std::uint8_t* top, const std::uint8_t* bottom)
{
    const std::size_t n = m_squareMean.size();
    std::uint8_t* mean = m_squareMean.data();
    std::size_t i = 0;
    for (; i + 3 + 16 <= n; i += 16) {
        Bytes16 a, b, c, d;
        std::memcpy(&a, top + i, sizeof a);
        std::memcpy(&b, top + i + 3, sizeof b);
        std::memcpy(&c, bottom + i, sizeof c);
        std::memcpy(&d, bottom + i + 3, sizeof d);
        const Words16 s = __builtin_convertvector(a, Words16) + __builtin_convertvector(b, Words16) +
                          __builtin_convertvector(c, Words16) + __builtin_convertvector(d, Words16) + 2;
        const Bytes16 m = __builtin_convertvector(s >> 2, Bytes16);
        std::memcpy(mean + i, &m, sizeof m);
    }
    for (; i + 3 < n; ++i)
        mean[i] = static_cast<std::uint8_t>((top[i] + top[i + 3] + bottom[i] + bottom[i + 3] + 2) >> 2);
    for (; i < n; ++i)
        mean[i] = static_cast<std::uint8_t>((2 * (top[i] + bottom[i]) + 2) >> 2);
}

void DisplayScaler::PackRow(std::uint32_t* out, int width) const
{
#ifdef LUMARO_HAVE_SSSE3_PATH
    if (m_frameWidth == 2 * m_panelWidth && ProcessorShufflesBytes()) {
        PackHalvedRowShuffled(m_squareMean.data(), out, width);
        return;
    }
#endif
    PackRowPlain(m_squareMean.data(), m_left.data(), out, width);
}
