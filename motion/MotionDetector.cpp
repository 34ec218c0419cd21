#include "MotionDetector.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Most of the picture changing at once is light, not an object.
constexpr double kLightChangeShare = 0.6;
// The first pictures of a camera only teach the background.
constexpr int kLearningFrames = 8;  // a second of judged pictures
constexpr int kJudgedEvery = 3;
// The background follows the picture by 1/32 a frame (about 1.3 s at 25 a
// second), so an object that stops becomes background within seconds.
constexpr int kBackgroundShift = 5;
// Where the stamps go, in frame pixels: the time at the top-left, the
// title at the bottom-right.
constexpr int kTimeStampWidth = 170;
constexpr int kTitleStampWidth = 70;
constexpr int kStampHeight = 20;

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

MotionDetector::Limits MotionDetector::LimitsOf(MotionSensitivity sensitivity)
{
    switch (sensitivity) {
    case MotionSensitivity::kLow:
        return {40, 0.03};
    case MotionSensitivity::kHigh:
        return {16, 0.003};
    default:
        return {25, 0.01};
    }
}

double MotionDetector::Look(const std::uint8_t* frame, int width, int height)
{
    if (m_sensitivity == MotionSensitivity::kOff || frame == nullptr || width <= 0 || height <= 0)
        return 0;
    m_skipped = (m_skipped + 1) % kJudgedEvery;
    if (m_skipped != 0)  // a third of the pictures (8 a second) is enough to follow a person
        return m_lastShare;
    m_lastShare = Judge(frame, width, height);
    return m_lastShare;
}

double MotionDetector::Judge(const std::uint8_t* frame, int width, int height)
{
    Shrink(frame, width, height);
    if (m_lookedAtCount == 0)
        return 0;
    const Limits limits = LimitsOf(m_sensitivity);
    const Survey survey = SurveyChange(limits.threshold);
    const bool light = survey.rawShare >= kLightChangeShare;
    const bool learning = ++m_frames <= kLearningFrames;
    if (light || m_frames == 1) {
        for (std::size_t i = 0; i < m_grey.size(); ++i)
            m_background[i] = static_cast<std::uint16_t>(m_grey[i] * 16);
        return 0;
    }
    const double share = CompareAndLearn(limits.threshold, survey.lighting);
    return learning || share < limits.minimumShare ? 0 : share;
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
    m_grey.assign(static_cast<std::size_t>(smallWidth) * smallHeight, 0);
    m_background.assign(m_grey.size(), 0);
    m_lookedAtCount = 0;
    for (int y = 0; y < smallHeight; ++y) {
        const auto [first, last] = LookedAtColumns(y);
        m_lookedAtCount += last - first;
    }
    m_frames = 0;
}

// How the light changed the picture as a whole: grey ≈ gain × background +
// offset, fitted over the looked-at pixels (least squares), so a camera's
// exposure or a cloud changes no pixel's verdict; and the share that
// changed before that is taken out (most of it: the light itself changed).
MotionDetector::Survey MotionDetector::SurveyChange(int threshold) const
{
    std::uint64_t sx = 0, sy = 0, sxx = 0, sxy = 0;
    int changed = 0;
    const int limit = threshold * 16;
    for (int y = 0; y < m_smallHeight; ++y) {
        const auto [first, last] = LookedAtColumns(y);
        const std::size_t row = static_cast<std::size_t>(y) * m_smallWidth;
        for (std::size_t i = row + first; i < row + last; ++i) {  // no branch: the compiler vectorises it
            const std::uint32_t x = m_background[i];
            const std::uint32_t g = m_grey[i] * 16u;
            sx += x, sy += g, sxx += x * x, sxy += x * g;
            changed += std::abs(static_cast<int>(g) - static_cast<int>(x)) > limit;
        }
    }
    const double n = m_lookedAtCount;
    const double spread = n * static_cast<double>(sxx) - static_cast<double>(sx) * static_cast<double>(sx);
    const double gain = spread > n * n * 256
                            ? std::clamp((n * static_cast<double>(sxy) - static_cast<double>(sx) * static_cast<double>(sy)) / spread,
                                         0.25, 4.0)
                            : 1.0;
    const double offset = (static_cast<double>(sy) - gain * static_cast<double>(sx)) / n;  // grey × 16
    return Survey{Lighting{static_cast<int>(gain * 256 + 0.5), static_cast<int>(offset)}, changed / n};
}

// The share of the looked-at pixels that differ from the background lit
// as the picture is; the background then moves toward the picture: the
// change of light at once, the rest by 1/32.
double MotionDetector::CompareAndLearn(int threshold, Lighting lighting)
{
    int changed = 0;
    const int limit = threshold * 16;
    for (int y = 0; y < m_smallHeight; ++y) {
        const auto [first, last] = LookedAtColumns(y);
        const std::size_t row = static_cast<std::size_t>(y) * m_smallWidth;
        for (std::size_t i = row + first; i < row + last; ++i) {
            const int grey = m_grey[i] * 16;
            const int expected = std::clamp(((lighting.gain * m_background[i]) >> 8) + lighting.offset, 0, 255 * 16);
            changed += std::abs(grey - expected) > limit;
            m_background[i] = static_cast<std::uint16_t>(expected + ((grey - expected) >> kBackgroundShift));
        }
    }
    return static_cast<double>(changed) / m_lookedAtCount;
}

// The columns of small row `y` outside the stamps' corners.
std::pair<int, int> MotionDetector::LookedAtColumns(int y) const
{
    const int fy = y * m_step;
    const int height = m_smallHeight * m_step;
    const int first = fy < kStampHeight ? std::min(m_smallWidth, (kTimeStampWidth + m_step - 1) / m_step) : 0;
    const int last = fy >= height - kStampHeight ? std::max(0, m_smallWidth - (kTitleStampWidth + m_step - 1) / m_step)
                                                 : m_smallWidth;
    return {first, std::max(first, last)};
}
