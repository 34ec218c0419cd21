// Conversion into packed 24-bit pixels at an exact row length. libswscale
// writes whole groups of pixels: for many widths (those not a multiple of
// 16, and more) it writes up to 45 bytes past the end of each row, which
// runs past the end of a buffer of exactly 3 × width × height bytes, or over
// the row written before it when the rows go bottom-up. Such widths are
// converted into a padded buffer and copied row by row.
#pragma once

#include "FfmpegPtr.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class PackedScaler {
public:
    // `picture` through `scaler` (made for its size and format and for a
    // packed 24-bit output of `width` × `height`) into `firstRow`, the rows
    // `stride` bytes apart (negative: bottom-up). Nothing is written outside
    // the 3 × `width` bytes of each row.
    void Scale(SwsContext* scaler, const AVFrame* picture, int width, int height, std::uint8_t* firstRow,
               std::ptrdiff_t stride);

private:
    std::vector<std::uint8_t> m_padded;
};
