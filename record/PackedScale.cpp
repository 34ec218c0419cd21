#include "PackedScale.h"

#include <cstring>

namespace {

// Widths that are a multiple of 64 pixels were never seen written past;
// the padding covers the largest overrun seen with room to spare.
constexpr int kSafeWidthMultiple = 64;
constexpr std::size_t kPadding = 256;

}  // namespace

void PackedScaler::Scale(SwsContext* scaler, const AVFrame* picture, int width, int height, std::uint8_t* firstRow,
                         std::ptrdiff_t stride)
{
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
    if (width % kSafeWidthMultiple == 0) {
        std::uint8_t* dst[4] = {firstRow, nullptr, nullptr, nullptr};
        int dstStride[4] = {static_cast<int>(stride), 0, 0, 0};
        sws_scale(scaler, picture->data, picture->linesize, 0, picture->height, dst, dstStride);
        return;
    }
    const std::size_t padded = (rowBytes + kPadding + 63) / 64 * 64;
    m_padded.resize(padded * static_cast<std::size_t>(height) + kPadding);
    std::uint8_t* dst[4] = {m_padded.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(padded), 0, 0, 0};
    sws_scale(scaler, picture->data, picture->linesize, 0, picture->height, dst, dstStride);
    for (int y = 0; y < height; ++y)
        std::memcpy(firstRow + y * stride, m_padded.data() + static_cast<std::size_t>(y) * padded, rowBytes);
}
