#include "MotionDetector.h"

#include "Foreground.h"
#include "SceneBlocks.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// The first second of pictures only teaches the background.
constexpr PreciseTime kLearning = kMicrosPerSecond;
// What is not foreground follows the picture by 1/32 a judged picture
// (about 4 s), so the slow changes of a day become background. A new
// background (the first pictures, a change of light) is the mean of the
// pictures since, by 1/2, 1/4, … up to that, so the sensor's noise soon
// averages out of it.
constexpr int kFollowShift = 5;
// Held foreground is timed in tenths of a second.
constexpr PreciseTime kHeldUnit = kMicrosPerSecond / 10;
// Most of the picture: a change this large is light or a cover, not an object.
constexpr double kMostOfThePicture = 0.6;
// The second fit of the light leaves out pixels this far (grey levels) from the first.
constexpr int kFitOutlier = 24;
// Light keeps the pattern of most blocks that have one; a cover loses it.
constexpr double kLostPattern = 0.5;
// Fewer blocks with a pattern cannot tell the two apart.
constexpr int kFewestPatternBlocks = 8;
constexpr double kLeastPatternShare = 0.1;
// Where the stamps go, in frame pixels: the time at the top-left, the
// title at the bottom-right.
constexpr int kTimeStampWidth = 170;
constexpr int kTitleStampWidth = 70;
constexpr int kStampHeight = 20;

struct Limits {
    double floor;      // grey levels
    double overNoise;  // the threshold on a noisy camera, in its noise
    double leastArea;  // of the picture, for a region to count
};

Limits LimitsOf(MotionSensitivity sensitivity)
{
    switch (sensitivity) {
    case MotionSensitivity::kLow:
        return {20, 4, 0.01};
    case MotionSensitivity::kHigh:
        return {8, 2.5, 0.0015};
    default:
        return {12, 3, 0.003};
    }
}

// A step of 1/2^shift toward the picture, rounded alike both ways.
int Follow(int expected, int level, int shift)
{
    const int d = level - expected, half = 1 << shift >> 1;
    return expected + (d >= 0 ? (d + half) >> shift : -((-d + half) >> shift));
}

}  // namespace

std::optional<MotionSensitivity> ParseMotionSensitivity(const std::string& text)
{
    if (text.empty() || text == "medium")
        return MotionSensitivity::kMedium;
    if (text == "off")
        return MotionSensitivity::kOff;
    if (text == "low")
        return MotionSensitivity::kLow;
    if (text == "high")
        return MotionSensitivity::kHigh;
    return std::nullopt;
}

const char* MotionSensitivityKey(MotionSensitivity sensitivity)
{
    switch (sensitivity) {
    case MotionSensitivity::kOff:
        return "off";
    case MotionSensitivity::kLow:
        return "low";
    case MotionSensitivity::kHigh:
        return "high";
    case MotionSensitivity::kMedium:
        break;
    }
    return "medium";
}

std::string MotionSettingKey(int position)
{
    return "camera_motion_" + std::to_string(position + 1);
}

void MotionDetector::SetExcludedZones(std::vector<MotionZone> zones)
{
    if (zones == m_zones)
        return;
    m_zones = std::move(zones);
    if (!m_grey.empty())
        MakeLookMask();
    m_begun.reset();
}

double MotionDetector::Threshold() const
{
    const Limits limits = LimitsOf(m_sensitivity);
    return std::max(limits.floor, limits.overNoise * m_noise);
}

MotionVerdict MotionDetector::Look(const std::uint8_t* frame, int width, int height, PreciseTime time)
{
    if (m_sensitivity == MotionSensitivity::kOff || frame == nullptr || width <= 0 || height <= 0)
        return {};
    if (m_begun && time >= m_lastJudged && time - m_lastJudged < kJudgeInterval)
        return {};  // about eight pictures a second are enough to follow a person
    if (m_begun && time < m_lastJudged)
        m_begun.reset();  // the clock was set back: held foreground cannot be timed, learn anew
    m_lastJudged = time;
    Shrink(frame, width, height);
    if (m_lookedAtCount == 0)
        return {true};
    return Judge(time);
}

MotionVerdict MotionDetector::Judge(PreciseTime time)
{
    if (!m_begun) {
        m_begun = time;
        m_coveredSince.reset();
        Adopt();
        return {true};
    }
    const Lighting lighting = FitLighting();
    Expect(lighting);
    m_learnt = lighting.Limited();
    const SmallScene scene = Scene();
    MarkForeground(scene, static_cast<int>(Threshold() * 16), m_foreground);
    const BlockSurvey blocks = SurveyBlocks(scene, m_foreground.data(), Threshold(), m_noise);
    const bool most = blocks.blocks > 0 && blocks.changed >= kMostOfThePicture * blocks.blocks;
    const auto patterned = [&blocks](int count) {
        return count >= std::max<double>(kFewestPatternBlocks, kLeastPatternShare * blocks.blocks);
    };
    const bool learning = time - *m_begun < kLearning;  // the noise is not known yet: every picture teaches
    if (most && !learning && patterned(blocks.structured) && blocks.lost >= kLostPattern * blocks.structured)
        return Covered(time, static_cast<double>(blocks.changed) / blocks.blocks, patterned(blocks.ownPattern));
    m_coveredSince.reset();
    if (most && !learning) {  // light: the scene is where it was
        Adopt();
        return {true};
    }
    MeasureNoise();
    const double share = RegionShare();
    Learn(time);
    if (learning || share <= 0)
        return {true};
    return {true, MotionKind::kMotion, share};
}

SmallScene MotionDetector::Scene() const
{
    return SmallScene{m_smallWidth, m_smallHeight, m_grey.data(), m_background.data(), m_expected.data(),
                      m_looked.data()};
}

// A covered lens keeps the background it hid, so the scene is known again
// when it is uncovered; a new view with a pattern of its own is taken as
// the scene after a while (the camera was turned for good).
MotionVerdict MotionDetector::Covered(PreciseTime time, double changed, bool ownPattern)
{
    if (!m_coveredSince)
        m_coveredSince = time;
    if (ownPattern && time - *m_coveredSince >= kLongestCovered) {
        m_coveredSince.reset();
        Adopt();
        return {true};
    }
    return {true, MotionKind::kCovered, changed};
}

// Each small pixel is the grey mean of two neighbouring frame pixels at
// its place, which lessens the sensor's noise.
void MotionDetector::Shrink(const std::uint8_t* frame, int width, int height)
{
    const int step = std::max(1, width / kSmallWidth);
    const int smallWidth = width / step;
    const int smallHeight = height / step;
    if (step != m_step || smallWidth != m_smallWidth || smallHeight != m_smallHeight)
        Resize(step, smallWidth, smallHeight);
    const std::size_t stride = 3 * static_cast<std::size_t>(width);
    const std::size_t pair = step > 1 ? 3 : 0;
    for (int y = 0; y < smallHeight; ++y) {
        const int row = height - 1 - y * step;  // the picture's row y * step, bottom-up in memory
        const std::uint8_t* in = frame + static_cast<std::size_t>(row) * stride;
        std::uint8_t* out = &m_grey[static_cast<std::size_t>(y) * smallWidth];
        for (int x = 0; x < smallWidth; ++x, in += 3 * step) {
            const unsigned sum = in[0] + 2u * in[1] + in[2] + in[pair] + 2u * in[pair + 1] + in[pair + 2];
            out[x] = static_cast<std::uint8_t>(sum >> 3);
        }
    }
}

void MotionDetector::Resize(int step, int smallWidth, int smallHeight)
{
    m_step = step;
    m_smallWidth = smallWidth;
    m_smallHeight = smallHeight;
    const std::size_t size = static_cast<std::size_t>(smallWidth) * smallHeight;
    m_grey.assign(size, 0);
    m_background.assign(size, 0);
    m_expected.assign(size, 0);
    m_heldSince.assign(size, 0);
    MakeLookMask();
    m_begun.reset();
}

// Everything but the stamps' corners and the owner's zones.
void MotionDetector::MakeLookMask()
{
    m_looked.assign(m_grey.size(), 0);
    m_lookedAtCount = 0;
    const int height = m_smallHeight * m_step;
    const int timeEnd = (kTimeStampWidth + m_step - 1) / m_step;
    const int titleStart = m_smallWidth - (kTitleStampWidth + m_step - 1) / m_step;
    for (int y = 0; y < m_smallHeight; ++y) {
        const int fy = y * m_step;
        for (int x = 0; x < m_smallWidth; ++x) {
            const bool stamp = (fy < kStampHeight && x < timeEnd) || (fy >= height - kStampHeight && x >= titleStart);
            const bool looked = !stamp && !InZone(m_zones, x, y, m_smallWidth, m_smallHeight);
            m_looked[static_cast<std::size_t>(y) * m_smallWidth + x] = looked;
            m_lookedAtCount += looked;
        }
    }
}

// How the light changed the picture as a whole: grey ≈ gain × background +
// offset, fitted over the looked-at pixels (least squares), so a camera's
// exposure or a cloud changes no pixel's verdict. A second fit leaves out
// the pixels far from the first (people, snowflakes), which would pull it.
MotionDetector::Lighting MotionDetector::FitLighting() const
{
    const Lighting first = FitLighting(Lighting{256, 0}, 1 << 30);
    return FitLighting(first, kFitOutlier * 16);
}

MotionDetector::Lighting MotionDetector::FitLighting(Lighting near, int limit) const
{
    std::uint64_t sx = 0, sy = 0, sxx = 0, sxy = 0, n = 0;
    for (std::size_t i = 0; i < m_grey.size(); i += 2) {  // every other pixel is enough for two numbers
        const std::int32_t b = m_background[i], g = m_grey[i] * 16;
        const std::uint32_t on = m_looked[i] & (std::abs(g - (((near.gain * b) >> 8) + near.offset)) <= limit);
        const std::uint32_t x = static_cast<std::uint32_t>(b) * on, y = static_cast<std::uint32_t>(g) * on;
        sx += x, sy += y, sxx += x * x, sxy += x * y, n += on;
    }
    if (n < static_cast<std::uint64_t>(m_lookedAtCount) / 8)
        return near;  // most of the picture is far from any one lighting
    const double count = static_cast<double>(n);
    const double spread = count * static_cast<double>(sxx) - static_cast<double>(sx) * static_cast<double>(sx);
    const double gain = spread > count * count * 256
                            ? std::clamp((count * static_cast<double>(sxy) - static_cast<double>(sx) * static_cast<double>(sy)) / spread,
                                         0.25, 4.0)
                            : 1.0;
    const double offset = (static_cast<double>(sy) - gain * static_cast<double>(sx)) / count;  // grey × 16
    return Lighting{static_cast<int>(gain * 256 + 0.5), static_cast<int>(offset), static_cast<int>(sx / n)};
}

// The background takes a change of light as a step of at most a tenth in
// contrast, about the same mean: a sudden large one is then judged as light
// or as a cover over the next pictures, never wiped out of the background
// in one (a sprayed lens loses its contrast like a dimmed one).
MotionDetector::Lighting MotionDetector::Lighting::Limited() const
{
    const int limited = std::clamp(gain, 230, 282);
    return Lighting{limited, offset + ((gain - limited) * mean >> 8), mean};
}

void MotionDetector::Expect(Lighting lighting)
{
    for (std::size_t i = 0; i < m_grey.size(); ++i)
        m_expected[i] = static_cast<std::uint16_t>(lighting.Lit(m_background[i]));
}

// The sensor's noise from the median difference between the picture and
// its lit background (most pixels show only noise there), followed slowly.
void MotionDetector::MeasureNoise()
{
    std::array<int, 256> counts{};  // quarter grey levels
    for (std::size_t i = 0; i < m_grey.size(); ++i)
        if (m_looked[i])
            ++counts[static_cast<std::size_t>(std::min(255, std::abs(m_grey[i] * 16 - m_expected[i]) >> 2))];
    int below = 0;
    std::size_t median = 0;
    while (median < counts.size() && 2 * (below + counts[median]) < m_lookedAtCount)
        below += counts[median++];
    const double sigma = (median + 0.5) / 4 / 0.6745;
    m_noise = m_noise == 0 ? sigma : m_noise + (sigma - m_noise) / 16;
}

void MotionDetector::Adopt()
{
    for (std::size_t i = 0; i < m_grey.size(); ++i)
        m_background[i] = static_cast<std::uint16_t>(m_grey[i] * 16);
    std::fill(m_heldSince.begin(), m_heldSince.end(), 0);
    m_averaged = 1;
}

// The share of the picture in regions of moved pixels large enough to count.
double MotionDetector::RegionShare() const
{
    const int least = std::max(2, static_cast<int>(LimitsOf(m_sensitivity).leastArea * m_smallWidth * m_smallHeight + 0.5));
    return static_cast<double>(RegionArea(m_foreground, m_smallWidth, m_smallHeight, least)) / m_lookedAtCount;
}

// The background learns what did not change, and what changed and stayed
// a minute; the rest only takes the change of light.
void MotionDetector::Learn(PreciseTime time)
{
    const auto now = static_cast<std::uint32_t>((time - *m_begun) / kHeldUnit + 1);
    const auto longest = static_cast<std::uint32_t>(kLongestHeld / kHeldUnit);
    int shift = 0;
    for (m_averaged = std::min(m_averaged + 1, 1 << kFollowShift); (2 << shift) <= m_averaged;)
        ++shift;
    for (std::size_t i = 0; i < m_grey.size(); ++i) {
        const int level = m_grey[i] * 16;
        const int lit = m_learnt.Lit(m_background[i]);
        if (!m_foreground[i]) {
            m_heldSince[i] = 0;
            m_background[i] = static_cast<std::uint16_t>(Follow(lit, level, shift));
        } else if (m_heldSince[i] == 0 || now - m_heldSince[i] < longest) {
            m_heldSince[i] = m_heldSince[i] == 0 ? now : m_heldSince[i];
            m_background[i] = static_cast<std::uint16_t>(lit);  // lit as the scene, not learnt
        } else {
            m_heldSince[i] = 0;
            m_background[i] = static_cast<std::uint16_t>(level);  // it stayed: it is part of the scene now
        }
    }
}
