#include "ByteExchange.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Every width from one pixel to a few fast steps and beyond, so both the
// sixteen-byte steps and the pixels left after them are checked; the rows
// are turned upside down and the padding after each output row stays as it was.
TEST(ByteExchangeTest, ExchangesFirstAndThirdBytesOfEveryPixelAndTouchesNothingElse)
{
    constexpr int kHeight = 3;
    constexpr int kPadding = 16;
    for (int width = 1; width <= 45; ++width) {
        const int stride = 3 * width;
        std::vector<std::uint8_t> src(static_cast<std::size_t>(stride) * kHeight);
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const int outStride = stride + kPadding;
        std::vector<std::uint8_t> dst(static_cast<std::size_t>(outStride) * kHeight, 0xEE);
        ExchangeFirstAndThirdBytes(src.data() + (kHeight - 1) * stride, -stride, dst.data(), outStride, width, kHeight);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            const std::uint8_t* from = src.data() + (kHeight - 1 - y) * stride;
            const std::uint8_t* to = dst.data() + y * outStride;
            for (int x = 0; x < width; ++x)
                wrong += to[3 * x] != from[3 * x + 2] || to[3 * x + 1] != from[3 * x + 1] || to[3 * x + 2] != from[3 * x];
            for (int i = stride; i < outStride; ++i)
                wrong += to[i] != 0xEE;
        }
        EXPECT_EQ(wrong, 0) << "width " << width;
    }
}
