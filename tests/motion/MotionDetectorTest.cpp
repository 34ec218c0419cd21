// Motion events from made scenes whose truth is known: a still noisy scene,
// an object crossing, the lights switched on, a clock in the stamp's corner.
#include "MotionDetector.h"
#include "MotionTracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 25;

// Paints picture `n` (grey levels, top row first) of a scene.
using Scene = std::function<void(int n, std::vector<std::uint8_t>& grey)>;

void Fill(std::vector<std::uint8_t>& grey, int x0, int y0, int w, int h, std::uint8_t value)
{
    for (int y = std::max(0, y0); y < std::min(kHeight, y0 + h); ++y)
        for (int x = std::max(0, x0); x < std::min(kWidth, x0 + w); ++x)
            grey[static_cast<std::size_t>(y) * kWidth + x] = value;
}

// The scene with sensor noise, as the pipeline's frame: blue, green, red, bottom-up.
std::vector<MotionSpan> Watch(const Scene& scene, int seconds, MotionSensitivity sensitivity = MotionSensitivity::kMedium)
{
    MotionDetector detector;
    detector.SetSensitivity(sensitivity);
    MotionTracker tracker;
    std::vector<MotionSpan> events;
    std::mt19937 noise(7);
    std::normal_distribution<double> sensor(0, 4);
    std::vector<std::uint8_t> grey(kWidth * kHeight);
    std::vector<std::uint8_t> frame(3 * grey.size());
    for (int n = 0; n < seconds * kRate; ++n) {
        scene(n, grey);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double level = grey[static_cast<std::size_t>(y) * kWidth + x] + sensor(noise);
                std::uint8_t* px = &frame[3 * (static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x)];
                px[0] = px[1] = px[2] = static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
            }
        const PreciseTime time = static_cast<PreciseTime>(n) * kPictureInterval;
        if (auto ended = tracker.Add("a.mpg", time, detector.Look(frame.data(), kWidth, kHeight)))
            events.push_back(*ended);
    }
    if (auto ended = tracker.Finish())
        events.push_back(*ended);
    return events;
}

double Seconds(PreciseTime time)
{
    return static_cast<double>(time) / kMicrosPerSecond;
}

TEST(MotionDetectorTest, OnlyAnObjectMovingThroughTheSceneIsAnEvent)
{
    const std::uint8_t kWall = 120;
    const struct {
        const char* scene;
        Scene paint;
        int events;
    } cases[] = {
        {"still noisy scene", [&](int, auto& g) { std::fill(g.begin(), g.end(), kWall); }, 0},
        {"lights switched on at 3 s",
         [&](int n, auto& g) { std::fill(g.begin(), g.end(), n < 3 * kRate ? 40 : 200); Fill(g, 50, 50, 60, 60, n < 3 * kRate ? 20 : 120); },
         0},
        {"a clock in the stamp's corner",
         [&](int n, auto& g) { std::fill(g.begin(), g.end(), kWall); Fill(g, 0, 0, 150, 16, (n / kRate) % 2 ? 255 : 0); },
         0},
        {"an object crossing from 2 s to 8 s",
         [&](int n, auto& g) {
             std::fill(g.begin(), g.end(), kWall);
             if (n >= 2 * kRate && n < 8 * kRate)
                 Fill(g, (n - 2 * kRate) * kWidth / (6 * kRate), 100, 40, 60, 30);
         },
         1},
    };
    for (const auto& c : cases) {
        const std::vector<MotionSpan> events = Watch(c.paint, 12);
        ASSERT_EQ(static_cast<int>(events.size()), c.events) << c.scene;
        if (c.events == 1) {
            EXPECT_NEAR(Seconds(events[0].start), 2.0, 1.0) << c.scene;
            EXPECT_NEAR(Seconds(events[0].end), 8.0, 1.0) << c.scene;
            EXPECT_GT(events[0].peak, 0.01);
            EXPECT_LT(events[0].peak, 0.2);
        }
    }
}

TEST(MotionDetectorTest, SensitivityAndItsStoredText)
{
    const Scene smallObject = [](int n, auto& g) {  // 1.3 % of the picture, moving
        std::fill(g.begin(), g.end(), std::uint8_t{120});
        Fill(g, 20 + n % 200, 120, 30, 34, 60);
    };
    EXPECT_EQ(Watch(smallObject, 4, MotionSensitivity::kOff).size(), 0u);
    EXPECT_EQ(Watch(smallObject, 4, MotionSensitivity::kLow).size(), 0u);
    EXPECT_EQ(Watch(smallObject, 4, MotionSensitivity::kHigh).size(), 1u);
    for (const char* text : {"off", "low", "medium", "high"})
        EXPECT_STREQ(MotionSensitivityKey(*ParseMotionSensitivity(text)), text);
    EXPECT_EQ(ParseMotionSensitivity(""), MotionSensitivity::kMedium);
    EXPECT_EQ(ParseMotionSensitivity("Medium"), std::nullopt);
}

}  // namespace
