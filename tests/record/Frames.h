// Test frames in the pipeline's layout: blue, green, red; rows bottom-up.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> SolidFrame(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    std::vector<std::uint8_t> f(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < f.size(); i += 3)
        f[i] = b, f[i + 1] = g, f[i + 2] = r;
    return f;
}
