// When frames were taken: a stream's own stamps while they move with the
// arrivals, else the arrivals.
#include "CaptureClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono;
using Clock = CaptureClock::Clock;

struct Frame {
    std::optional<long long> stampMs;
    long long arrivalMs;
    long long takenMs;  // the truth the clock should find, within 1 ms
};

// Frames taken every `intervalMs`, arriving `delayMs` later, stamped
// `stampIntervalMs` apart (an invented rate when it differs).
std::vector<Frame> Stream(int count, long long intervalMs, long long stampIntervalMs, long long delayMs = 5)
{
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back({1000000 + i * stampIntervalMs, i * intervalMs + delayMs, i * intervalMs});
    return frames;
}

TEST(CaptureClock, StampsCountOnlyWhileTheyMoveWithTheArrivals)
{
    // A network camera at 25 a second whose frames come in bursts of five.
    std::vector<Frame> bursts;
    for (int i = 0; i < 50; ++i)
        bursts.push_back({i * 40LL, (i / 5) * 200 + 200, i * 40LL});
    const struct {
        const char* what;
        CaptureClock::Mode mode;
        std::vector<Frame> frames;
        long long toleranceMs;    // spread of (time found − time taken) after the first second
        CaptureClock::Mode endMode;
    } cases[] = {
        {"true stamps, steady", CaptureClock::Mode::Stamps, Stream(100, 40, 40), 1, CaptureClock::Mode::Stamps},
        {"true stamps in bursts keep their spacing", CaptureClock::Mode::Stamps, bursts, 1,
         CaptureClock::Mode::Stamps},
        {"25 a second invented for a 10-a-second camera", CaptureClock::Mode::Stamps, Stream(100, 100, 40), 6,
         CaptureClock::Mode::Arrival},
        {"25 a second invented for a 1-a-second camera", CaptureClock::Mode::Stamps, Stream(10, 1000, 40), 6,
         CaptureClock::Mode::Arrival},
        {"a reader known to invent them", CaptureClock::Mode::Arrival, Stream(50, 100, 40), 6,
         CaptureClock::Mode::Arrival},
        {"no stamps at all", CaptureClock::Mode::Stamps,
         std::vector<Frame>{{std::nullopt, 5, 0}, {std::nullopt, 105, 100}, {std::nullopt, 205, 200}}, 6,
         CaptureClock::Mode::Stamps},
    };
    for (const auto& c : cases) {
        CaptureClock clock(c.mode);
        const Clock::time_point zero{};
        Clock::time_point last{};
        double lowest = 1e9, highest = -1e9;
        for (const Frame& f : c.frames) {
            const auto t = clock.TimeOf(f.stampMs ? std::optional<std::int64_t>(*f.stampMs * 1000) : std::nullopt,
                                        zero + milliseconds(f.arrivalMs));
            ASSERT_GE(t, last) << c.what << ": never back";
            ASSERT_LE(t, zero + milliseconds(f.arrivalMs)) << c.what << ": never after the arrival";
            last = t;
            const double offsetMs = duration<double, std::milli>(t - zero - milliseconds(f.takenMs)).count();
            if (f.takenMs >= 1000)
                lowest = std::min(lowest, offsetMs), highest = std::max(highest, offsetMs);
        }
        EXPECT_LE(highest - lowest, c.toleranceMs) << c.what << ": every frame at its moment but for one offset";
        EXPECT_EQ(clock.CurrentMode(), c.endMode) << c.what;
    }
}

// A virtual camera is paced by its stamps; one that falls behind them (a
// busy PC, a stopped process) is timed by when its pictures were made and
// paced on from there, never racing to catch up nor jumping ahead.
TEST(CaptureClock, APacedSourceFollowsItsStampsAndWhenLateItsArrival)
{
    CaptureClock clock(CaptureClock::Mode::Paced);
    const Clock::time_point zero{};
    EXPECT_EQ(clock.TimeOf(0, zero), zero);
    EXPECT_EQ(clock.TimeOf(40000, zero + milliseconds(1)), zero + milliseconds(40)) << "due later: paced";
    EXPECT_EQ(clock.TimeOf(80000, zero + milliseconds(130)), zero + milliseconds(80)) << "a little late: its stamp";
    EXPECT_EQ(clock.TimeOf(120000, zero + seconds(3)), zero + seconds(3)) << "late: when it was made";
    EXPECT_EQ(clock.TimeOf(160000, zero + seconds(3)), zero + seconds(3) + milliseconds(40)) << "paced from there";
    EXPECT_EQ(clock.TimeOf(200000, zero + seconds(30)), zero + seconds(30)) << "a long stop: no jump of its own";
}

}  // namespace
