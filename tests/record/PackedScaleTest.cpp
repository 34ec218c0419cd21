// Conversion to packed 24-bit pixels never writes outside its rows, for
// every width and both row orders, and gives the pixels libswscale gives.
#include "PackedScale.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::uint8_t kGuard = 0xAB;
constexpr std::size_t kGuardBytes = 512;

FramePtr Picture(AVPixelFormat format, int width, int height)
{
    FramePtr picture(av_frame_alloc());
    picture->format = format;
    picture->width = width;
    picture->height = height;
    EXPECT_GE(av_frame_get_buffer(picture.get(), 0), 0);
    for (int plane = 0; plane < 4 && picture->data[plane] != nullptr; ++plane)
        for (int i = 0; i < picture->linesize[plane] * height; ++i)
            picture->data[plane][i] = static_cast<std::uint8_t>(i * 7 + plane * 50);  // not flat
    return picture;
}

}  // namespace

TEST(PackedScaleTest, NoWidthWritesOutsideItsRowsInEitherOrder)
{
    for (AVPixelFormat source : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUYV422, AV_PIX_FMT_YUVJ422P}) {
        for (int width = 1; width <= 200; ++width) {
            const int height = 5;
            const FramePtr picture = Picture(source, width, height);
            SwsContextPtr scaler(sws_getContext(width, height, source, width, height, AV_PIX_FMT_BGR24, SWS_BICUBIC,
                                                nullptr, nullptr, nullptr));
            ASSERT_TRUE(scaler);
            const std::size_t row = 3 * static_cast<std::size_t>(width);
            // Rows top-down, then bottom-up, between guards.
            std::vector<std::uint8_t> down(kGuardBytes + row * height + kGuardBytes, kGuard);
            std::vector<std::uint8_t> up = down;
            PackedScaler packed;
            packed.Scale(scaler.get(), picture.get(), width, height, down.data() + kGuardBytes,
                         static_cast<std::ptrdiff_t>(row));
            packed.Scale(scaler.get(), picture.get(), width, height, up.data() + kGuardBytes + row * (height - 1),
                         -static_cast<std::ptrdiff_t>(row));
            for (std::size_t i = 0; i < kGuardBytes; ++i) {
                ASSERT_EQ(down[i], kGuard) << width;
                ASSERT_EQ(down[down.size() - 1 - i], kGuard) << "past the end, width " << width;
                ASSERT_EQ(up[i], kGuard) << width;
                ASSERT_EQ(up[up.size() - 1 - i], kGuard) << "past the end, width " << width;
            }
            // The same pixels in both orders, so no row was written over by its neighbour.
            for (int y = 0; y < height; ++y)
                ASSERT_EQ(std::memcmp(&down[kGuardBytes + row * y], &up[kGuardBytes + row * (height - 1 - y)], row), 0)
                    << "row " << y << ", width " << width;
        }
    }
}
