// Motion and tamper events from made scenes whose truth is known: what a
// shop's camera sees by day and by night, asserted as the events that end
// up stored (their count, kind, start and end within a second), how soon
// an event's row exists, and how far its stored end may lag.
#include "MadeScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace scenes;

struct Truth {
    MotionEventKind kind;
    double start, end;  // seconds
};

constexpr auto kMotion = MotionEventKind::kMotion;
constexpr auto kTamper = MotionEventKind::kTamper;
constexpr int kSecond = kRate;

Scene Still(bool night = false)
{
    return [night](int, Grey& g) {
        Shop(g);
        if (night)
            Night(g);
    };
}

Scene Walking(Walk walk, bool night = false)
{
    return [walk, night](int n, Grey& g) {
        Shop(g);
        if (night)
            Night(g);
        int x = 0;
        if (walk.Place(n, &x))
            Person(g, walk.share, x, 170, night);
    };
}

// From `from` to `to` seconds the picture is painted by `then` instead.
Scene During(double from, double to, std::function<void(int, Grey&)> then)
{
    return [=](int n, Grey& g) {
        Shop(g);
        if (n >= from * kSecond && n < to * kSecond)
            then(n, g);
    };
}

void Blur(Grey& g, int radius)
{
    const Grey in = g;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int sum = 0, count = 0;
            for (int dy = -radius; dy <= radius; dy += 2)
                for (int dx = -radius; dx <= radius; dx += 2)
                    if (x + dx >= 0 && x + dx < kWidth && y + dy >= 0 && y + dy < kHeight)
                        sum += in[static_cast<std::size_t>(y + dy) * kWidth + x + dx], ++count;
            g[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint8_t>(sum / count);
        }
}

// A fan's three blades turning in a square at (240, 40).
void Fan(int n, Grey& g)
{
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const double angle = std::atan2(y - 24, x - 24) + n * 0.45;
            const bool blade = std::fmod(angle + 100 * M_PI, 2 * M_PI / 3) < M_PI / 3;
            g[static_cast<std::size_t>(40 + y) * kWidth + 240 + x] = blade ? 40 : 200;
        }
}

void Snow(int n, Grey& g)
{
    unsigned state = 1234567u + static_cast<unsigned>(n) * 2654435761u;
    for (int flake = 0; flake < 500; ++flake) {
        state = state * 1664525u + 1013904223u;
        const int x = static_cast<int>(state >> 8) % kWidth, y = static_cast<int>(state >> 20) % kHeight;
        Fill(g, x, y, 2 + flake % 2, 2 + flake % 2, 235);
    }
}

struct Case {
    const char* scene;
    Scene paint;
    Watching how;
    std::vector<Truth> truth;
};

Watching At(MotionSensitivity sensitivity, double seconds = 20, double noise = 3)
{
    return {seconds, sensitivity, noise, {}};
}

const auto kLow = MotionSensitivity::kLow;
const auto kMedium = MotionSensitivity::kMedium;
const auto kHigh = MotionSensitivity::kHigh;

std::vector<Case> Cases()
{
    return {
        {"still shop", Still(), At(kHigh), {}},
        {"still shop at night, noisy", Still(true), At(kHigh, 20, 8), {}},
        {"5 % person crossing, 低", Walking({0.05, 2, 8}), At(kLow), {{kMotion, 2, 8}}},
        {"1.5 % person crossing, 中", Walking({0.015, 2, 10}), At(kMedium), {{kMotion, 2, 10}}},
        {"5 % person crossing at night, 中", Walking({0.05, 2, 9}, true), At(kMedium, 20, 8), {{kMotion, 2, 9}}},
        {"1.5 % person crossing at night, 高", Walking({0.015, 2, 10}, true), At(kHigh, 20, 8), {{kMotion, 2, 10}}},
        {"person standing 20 s at the counter", Walking({0.05, 2, 27, 4, 24}), At(kMedium, 32), {{kMotion, 2, 27}}},
        {"a box left on the counter becomes the scene after a minute",
         During(3, 99, [](int, Grey& g) { Fill(g, 150, 110, 40, 30, 25); }), At(kMedium, 70), {{kMotion, 3, 63}}},
        {"lights switched on", During(3, 99, [](int, Grey& g) { Relight(g, 1.5, 1.5, 20); }), At(kHigh), {}},
        {"a lamp at one side", During(3, 99, [](int, Grey& g) { Relight(g, 0.5, 1.3, 0); }), At(kHigh), {}},
        {"dusk", [](int n, Grey& g) { Shop(g); Relight(g, 1 - n / 1000.0, 1 - n / 1000.0, 0); }, At(kHigh), {}},
        {"a clock in the stamp's corner", During(0, 99, [](int n, Grey& g) { Fill(g, 0, 0, 150, 16, (n / kRate) % 2 ? 255 : 0); }),
         At(kHigh), {}},
        {"lens covered", During(4, 14, [](int, Grey& g) { Fill(g, 0, 0, kWidth, kHeight, 35); }), At(kLow), {{kTamper, 4, 14}}},
        {"lens blinded", During(4, 14, [](int, Grey& g) { Fill(g, 0, 0, kWidth, kHeight, 250); }), At(kMedium), {{kTamper, 4, 14}}},
        {"camera turned away", During(4, 14, [](int, Grey& g) { Shop(g, 0, 0, 2); }), At(kMedium), {{kTamper, 4, 14}}},
        {"lens sprayed", During(4, 14, [](int, Grey& g) { Blur(g, 8); Relight(g, 0.6, 0.6, 90); }), At(kMedium),
         {{kTamper, 4, 14}}},
        {"no picture (a blue screen)", During(4, 14, [](int, Grey& g) { Fill(g, 0, 0, kWidth, kHeight, 29); }), At(kHigh),
         {{kTamper, 4, 14}}},
        {"a single white picture", During(4, 4.04, [](int, Grey& g) { Fill(g, 0, 0, kWidth, kHeight, 255); }), At(kHigh), {}},
        {"headlights for one picture", During(4, 4.04, [](int, Grey& g) { Fill(g, 100, 60, 90, 60, 250); }), At(kHigh), {}},
        {"shaking ±2 px", During(4, 14, [](int n, Grey& g) { Shop(g, (n * 7) % 5 - 2, (n * 3 + 1) % 5 - 2); }), At(kHigh), {}},
        {"heavy snow", During(0, 99, Snow), At(kHigh), {}},
        {"a fan", During(0, 99, Fan), At(kMedium, 12), {{kMotion, 1, 12}}},
        {"a fan in a zone left out", During(0, 99, Fan), {12, kHigh, 3, {{74, 21, 16, 28}}}, {}},
    };
}

TEST(MotionDetectorTest, MadeScenesMakeTheEventsOfTheirTruth)
{
    for (const Case& c : Cases()) {
        const Watched watched = Watch(c.paint, c.how);
        ASSERT_EQ(watched.events.size(), c.truth.size()) << c.scene;
        for (std::size_t i = 0; i < c.truth.size(); ++i) {
            const MotionSpan& event = watched.events[i];
            EXPECT_EQ(event.kind, c.truth[i].kind) << c.scene;
            EXPECT_NEAR(Seconds(event.start), c.truth[i].start, 1.0) << c.scene;
            EXPECT_NEAR(Seconds(event.end), c.truth[i].end, 1.0) << c.scene;
        }
        const bool tamper = std::any_of(c.truth.begin(), c.truth.end(), [](const Truth& t) { return t.kind == kTamper; });
        EXPECT_LE(watched.latestBegun, tamper ? 2.5 : 1.0) << c.scene << ": the row exists soon after the event begins";
        EXPECT_LE(watched.longestUnreported, 10.0) << c.scene;
    }
}

TEST(MotionDetectorTest, SensitivityAndItsStoredText)
{
    EXPECT_TRUE(Watch(Walking({0.05, 1, 4}), At(MotionSensitivity::kOff, 6)).events.empty());
    for (const char* text : {"off", "low", "medium", "high"})
        EXPECT_STREQ(MotionSensitivityKey(*ParseMotionSensitivity(text)), text);
    EXPECT_EQ(ParseMotionSensitivity(""), MotionSensitivity::kMedium);
    EXPECT_EQ(ParseMotionSensitivity("Medium"), std::nullopt);
}

}  // namespace
