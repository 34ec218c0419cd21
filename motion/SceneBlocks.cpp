#include "SceneBlocks.h"

#include "Foreground.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBlock = 8;
// A block has a pattern when its grey levels spread this much (standard
// deviation) and well beyond the noise.
constexpr double kLeastSpread = 5.0;
constexpr double kSpreadOverNoise = 2.0;
// The picture keeps a block's pattern when the two correlate this well.
constexpr double kKeptCorrelation = 0.7;

struct BlockSums {
    int n = 0;
    std::int64_t b = 0, bb = 0, g = 0, gg = 0, bg = 0, e = 0;  // grey × 16

    void Add(std::int64_t x, std::int64_t v, std::int64_t expected)
    {
        ++n, b += x, bb += x * x, g += v, gg += v * v, bg += x * v, e += expected;
    }
};

struct Comparison {
    bool structured, lost, relit, ownPattern;
};

// The pixels of a block that did not move (snowflakes, a passer-by) show
// whether the scene behind kept its pattern; when most of it moved, all of
// it does (a lamp lighting one side moves a whole block).
BlockSums SumBlock(const SmallScene& s, const std::uint8_t* foreground, int left, int top, int* looked)
{
    BlockSums still, all;
    for (int y = top; y < top + kBlock; ++y)
        for (int i = y * s.width + left; i < y * s.width + left + kBlock; ++i) {
            if (!s.looked[i])
                continue;
            const std::int64_t x = s.background[i], v = s.grey[i] * 16, e = s.expected[i];
            all.Add(x, v, e);
            if (foreground[i] != kMoved)
                still.Add(x, v, e);
        }
    *looked = all.n;
    return 2 * still.n >= all.n ? still : all;
}

Comparison Compare(const BlockSums& sums, double threshold, double leastSpread)
{
    const double n = sums.n, scale = 1.0 / (16.0 * 16.0);
    const auto variance = [n, scale](std::int64_t sum, std::int64_t squares) {
        return std::max(0.0, (static_cast<double>(squares) / n - static_cast<double>(sum) * sum / (n * n)) * scale);
    };
    const double varB = variance(sums.b, sums.bb), varG = variance(sums.g, sums.gg);
    const double cov = (static_cast<double>(sums.bg) / n - static_cast<double>(sums.b) * sums.g / (n * n)) * scale;
    const bool structured = varB >= leastSpread * leastSpread;
    const bool lost = structured && (varG <= 0 || cov / std::sqrt(varB * varG) < kKeptCorrelation);
    const bool relit = std::abs(static_cast<double>(sums.g - sums.e)) / (16 * n) > threshold;
    return {structured, lost, relit, varG >= leastSpread * leastSpread};
}

}  // namespace

BlockSurvey SurveyBlocks(const SmallScene& s, const std::uint8_t* foreground, double threshold, double noise)
{
    BlockSurvey survey;
    const double leastSpread = std::max(kLeastSpread, kSpreadOverNoise * noise);
    for (int top = 0; top + kBlock <= s.height; top += kBlock)
        for (int left = 0; left + kBlock <= s.width; left += kBlock) {
            int looked = 0;
            const BlockSums sums = SumBlock(s, foreground, left, top, &looked);
            if (2 * looked < kBlock * kBlock)
                continue;  // mostly in a stamp's corner or a zone
            const Comparison c = Compare(sums, threshold, leastSpread);
            ++survey.blocks;
            survey.structured += c.structured;
            survey.lost += c.lost;
            survey.changed += c.lost || c.relit;
            survey.ownPattern += c.ownPattern;
        }
    return survey;
}
