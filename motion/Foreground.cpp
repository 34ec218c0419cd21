#include "Foreground.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Foreground pixels this close (a pixel's gap between them) are one region:
// a person whose coat matches the shelves behind in places is still one.
constexpr int kReach = 1;

// Whether grey level `level` (× 16) lies beyond `limit` of every lit
// background pixel in the 3 × 3 neighbourhood of (x, y).
bool FarFromNeighbours(const SmallScene& s, int x, int y, int level, int limit)
{
    int low = 1 << 30, high = -1;
    for (int ny = std::max(0, y - 1); ny <= std::min(s.height - 1, y + 1); ++ny)
        for (int nx = std::max(0, x - 1); nx <= std::min(s.width - 1, x + 1); ++nx) {
            const int e = s.expected[ny * s.width + nx];
            low = std::min(low, e);
            high = std::max(high, e);
        }
    return level > high + limit || level < low - limit;
}

}  // namespace

void MarkForeground(const SmallScene& s, int limit, std::vector<std::uint8_t>& foreground)
{
    foreground.assign(static_cast<std::size_t>(s.width) * s.height, 0);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const int i = y * s.width + x;
            const int level = s.grey[i] * 16;
            if (s.looked[i] && std::abs(level - s.expected[i]) > limit)
                foreground[static_cast<std::size_t>(i)] = FarFromNeighbours(s, x, y, level, limit) ? kMoved : kChanged;
        }
}

int RegionArea(const std::vector<std::uint8_t>& foreground, int width, int height, int leastArea)
{
    std::vector<std::uint8_t> seen(foreground.size(), 0);
    std::vector<int> stack;
    int area = 0;
    for (int start = 0; start < width * height; ++start) {
        if (foreground[static_cast<std::size_t>(start)] != kMoved || seen[static_cast<std::size_t>(start)])
            continue;
        int region = 0;
        stack.assign(1, start);
        seen[static_cast<std::size_t>(start)] = 1;
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            ++region;
            const int x = i % width, y = i / width;
            for (int ny = std::max(0, y - kReach); ny <= std::min(height - 1, y + kReach); ++ny)
                for (int nx = std::max(0, x - kReach); nx <= std::min(width - 1, x + kReach); ++nx) {
                    const auto n = static_cast<std::size_t>(ny * width + nx);
                    if (foreground[n] == kMoved && !seen[n]) {
                        seen[n] = 1;
                        stack.push_back(static_cast<int>(n));
                    }
                }
        }
        if (region >= leastArea)
            area += region;
    }
    return area;
}
