#include "MotionDetector.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Most of the picture changing at once is light, not an object.
constexpr double kLightChangeShare = 0.6;
// The first pictures of a camera only teach the background.
constexpr int kLearningFrames = 25;
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
    Shrink(frame, width, height);
    if (m_lookedAtCount == 0)
        return 0;
    const Limits limits = LimitsOf(m_sensitivity);
    const bool light = ChangedShare(limits.threshold, Lighting{1, 0}) >= kLightChangeShare;
    const Lighting lighting = FitLighting();
    const double share = ChangedShare(limits.threshold, lighting);
    const bool learning = ++m_frames <= kLearningFrames;
    UpdateBackground(lighting, light || m_frames == 1);
    if (light || learning || share < limits.minimumShare)
        return 0;
    return share;
}

// Each small pixel is the grey mean of a 2 × 2 square of the frame at its
// place, which halves the sensor's noise.
void MotionDetector::Shrink(const std::uint8_t* frame, int width, int height)
{
    const int step = std::max(1, width / kSmallWidth);
    const int smallWidth = width / step;
    const int smallHeight = height / step;
    if (step != m_step || smallWidth != m_smallWidth || smallHeight != m_smallHeight) {
        m_step = step;
        m_smallWidth = smallWidth;
        m_smallHeight = smallHeight;
        m_grey.assign(static_cast<std::size_t>(smallWidth) * smallHeight, 0);
        m_background.assign(m_grey.size(), 0);
        m_lookedAt.assign(m_grey.size(), 0);
        m_lookedAtCount = 0;
        for (int y = 0; y < smallHeight; ++y)
            for (int x = 0; x < smallWidth; ++x) {
                const bool looked = IsLookedAt(x, y);
                m_lookedAt[static_cast<std::size_t>(y) * smallWidth + x] = looked;
                m_lookedAtCount += looked;
            }
        m_frames = 0;
    }
    const std::size_t stride = 3 * static_cast<std::size_t>(width);
    const int pair = step > 1 ? 1 : 0;
    for (int y = 0; y < smallHeight; ++y) {
        const int row = height - 1 - std::min(height - 1, y * step);  // the picture's row y, bottom-up in memory
        const std::uint8_t* top = frame + static_cast<std::size_t>(row) * stride;
        const std::uint8_t* next = frame + static_cast<std::size_t>(std::max(0, row - pair)) * stride;
        std::uint8_t* out = &m_grey[static_cast<std::size_t>(y) * smallWidth];
        for (int x = 0; x < smallWidth; ++x) {
            const std::size_t a = 3 * static_cast<std::size_t>(x * step);
            const std::size_t b = a + 3 * pair;
            const unsigned sum = top[a] + 2u * top[a + 1] + top[a + 2] + top[b] + 2u * top[b + 1] + top[b + 2] +
                                 next[a] + 2u * next[a + 1] + next[a + 2] + next[b] + 2u * next[b + 1] + next[b + 2];
            out[x] = static_cast<std::uint8_t>(sum / 16);
        }
    }
}

bool MotionDetector::IsLookedAt(int x, int y) const
{
    const int fx = x * m_step;
    const int fy = y * m_step;
    const int width = m_smallWidth * m_step;
    const int height = m_smallHeight * m_step;
    if (fy < kStampHeight && fx < kTimeStampWidth)
        return false;
    return !(fy >= height - kStampHeight && fx >= width - kTitleStampWidth);
}

// How the light changed the picture as a whole: grey ≈ gain × background +
// offset, fitted over the looked-at pixels (least squares), so a camera's
// exposure or a cloud changes no pixel's verdict.
MotionDetector::Lighting MotionDetector::FitLighting() const
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < m_grey.size(); ++i) {
        if (!m_lookedAt[i])
            continue;
        const double x = m_background[i] / 16.0;
        const double y = m_grey[i];
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double n = m_lookedAtCount;
    const double spread = n * sxx - sx * sx;
    const double gain = spread > n * n ? std::clamp((n * sxy - sx * sy) / spread, 0.25, 4.0) : 1.0;
    return Lighting{gain, (sy - gain * sx) / n};
}

double MotionDetector::ChangedShare(int threshold, Lighting lighting) const
{
    int changed = 0;
    for (std::size_t i = 0; i < m_grey.size(); ++i) {
        const double expected = lighting.gain * m_background[i] / 16.0 + lighting.offset;
        changed += m_lookedAt[i] && std::abs(m_grey[i] - expected) > threshold;
    }
    return static_cast<double>(changed) / m_lookedAtCount;
}

void MotionDetector::UpdateBackground(Lighting lighting, bool adopt)
{
    for (std::size_t i = 0; i < m_grey.size(); ++i) {
        const int grey = m_grey[i] * 16;
        if (adopt) {
            m_background[i] = static_cast<std::uint16_t>(grey);
            continue;
        }
        // The change of light goes into the background at once, the rest slowly.
        const int base = std::clamp(static_cast<int>(16 * (lighting.gain * m_background[i] / 16.0 + lighting.offset)), 0, 255 * 16);
        m_background[i] = static_cast<std::uint16_t>(base + ((grey - base) >> kBackgroundShift));
    }
}
