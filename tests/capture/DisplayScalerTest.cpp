#include "DisplayScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// The panel pixel the scaler promises, counted from the frame's top left:
// the rounded mean of the 2 × 2 frame pixels at its place when the frame is
// larger than the panel, else the one frame pixel there.
QRgb ExpectedPixel(const std::vector<std::uint8_t>& frame, int fw, int fh, int pw, int ph, int x, int y)
{
    const int sx = static_cast<int>(static_cast<long long>(x) * fw / pw);
    const int sy = static_cast<int>(static_cast<long long>(y) * fh / ph);
    const bool larger = fw > pw || fh > ph;
    const int xs[2] = {sx, larger ? std::min(sx + 1, fw - 1) : sx};
    const int ys[2] = {sy, larger ? std::min(sy + 1, fh - 1) : sy};
    unsigned sum[3] = {};
    for (int row : ys)
        for (int col : xs)
            for (int c = 0; c < 3; ++c)
                sum[c] += frame[static_cast<std::size_t>(fh - 1 - row) * 3 * fw + 3 * col + c];
    return qRgb((sum[2] + 2) / 4, (sum[1] + 2) / 4, (sum[0] + 2) / 4);
}

}  // namespace

TEST(DisplayScalerTest, EveryPanelPixelComesFromItsFramePixelsTheRightWayUp)
{
    struct Size { int fw, fh, pw, ph; };
    // The panels' halving, a halving whose row ends between steps of four
    // pixels, an uneven shrink, a panel larger than the frame, a one-pixel
    // frame and a frame of the panel's own size (shown as it is); one
    // scaler keeps its tables across them.
    const Size sizes[] = {{640, 480, 320, 240}, {22, 6, 11, 3}, {7, 5, 3, 2}, {4, 3, 9, 7},
                          {1, 1, 2, 2}, {2, 2, 1, 1}, {320, 240, 320, 240}, {640, 480, 320, 240}};
    std::mt19937 random(7);
    DisplayScaler scaler;
    for (const Size& s : sizes) {
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(3) * s.fw * s.fh);
        for (auto& byte : frame)
            byte = static_cast<std::uint8_t>(random());
        QImage panel(s.pw, s.ph, QImage::Format_RGB32);
        scaler.Scale(frame.data(), s.fw, s.fh, &panel);
        int wrong = 0;
        for (int y = 0; y < s.ph; ++y)
            for (int x = 0; x < s.pw; ++x)
                wrong += panel.pixel(x, y) != ExpectedPixel(frame, s.fw, s.fh, s.pw, s.ph, x, y);
        EXPECT_EQ(wrong, 0) << s.fw << "x" << s.fh << " into " << s.pw << "x" << s.ph;
    }
}
