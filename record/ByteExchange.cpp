#include "ByteExchange.h"

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define LUMARO_HAVE_SSSE3_PATH 1
#endif

namespace {

void ExchangeRowPlain(const std::uint8_t* src, std::uint8_t* dst, int firstPixel, int width)
{
    for (int x = firstPixel; x < width; ++x) {
        const std::uint8_t first = src[3 * x];
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = first;
    }
}

#ifdef LUMARO_HAVE_SSSE3_PATH
// Five pixels a step: sixteen bytes are read and written, the sixteenth
// written again by the next step; the last pixels go the plain way, so
// nothing outside the row is touched.
__attribute__((target("ssse3"))) void ExchangeRowShuffled(const std::uint8_t* src, std::uint8_t* dst, int width)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    const int bytes = 3 * width;
    int i = 0;
    for (; i + 16 <= bytes; i += 15) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_shuffle_epi8(v, order));
    }
    ExchangeRowPlain(src, dst, i / 3, width);
}
#endif

}  // namespace

bool ProcessorShufflesBytes()
{
#ifdef LUMARO_HAVE_SSSE3_PATH
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
#else
    return false;
#endif
}

void ExchangeFirstAndThirdBytes(const std::uint8_t* src, std::ptrdiff_t srcStride, std::uint8_t* dst,
                                std::ptrdiff_t dstStride, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = src + y * srcStride;
        std::uint8_t* to = dst + y * dstStride;
#ifdef LUMARO_HAVE_SSSE3_PATH
        if (ProcessorShufflesBytes()) {
            ExchangeRowShuffled(from, to, width);
            continue;
        }
#endif
        ExchangeRowPlain(from, to, 0, width);
    }
}
