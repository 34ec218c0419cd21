// Copies 3-byte pixels with their first and third bytes exchanged (blue,
// green, red becomes red, green, blue), row by row; a negative stride walks
// the rows upwards, so the copy can also turn a picture upside down.
#pragma once

#include <cstddef>
#include <cstdint>

// True where the processor has SSSE3's byte shuffle, which the pixel loops
// here and in the panel scaling use when it is there.
bool ProcessorShufflesBytes();

void ExchangeFirstAndThirdBytes(const std::uint8_t* src, std::ptrdiff_t srcStride, std::uint8_t* dst,
                                std::ptrdiff_t dstStride, int width, int height);
