// The recording's timeline: 25 pictures a second of wall-clock time from
// cameras of any rate.
#include "RecordTimeline.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace std::chrono;
using Clock = RecordTimeline::Clock;

// Pictures made by frames at the given intervals (microseconds) from t = 0.
long long PicturesOver(const std::vector<long long>& intervalsUs, Clock::time_point start = Clock::time_point{})
{
    RecordTimeline timeline;
    Clock::time_point t = start;
    long long pictures = 0;
    for (long long us : intervalsUs) {
        pictures += timeline.PicturesFor(t);
        t += microseconds(us);
    }
    return pictures;
}

std::vector<long long> Steady(double rate, double seconds, int jitterUs = 0, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jitter(-jitterUs, jitterUs);
    std::vector<long long> intervals;
    const long long period = static_cast<long long>(1e6 / rate);
    long long drift = 0;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
        const long long next = jitterUs > 0 ? jitter(random) : 0;
        intervals.push_back(period + next - drift);  // jitter around the steady times, not a walk
        drift = next;
    }
    return intervals;
}

TEST(RecordTimeline, AnyCameraRateMakesTwentyFivePicturesASecond)
{
    for (double rate : {15.0, 25.0, 30.0, 60.0, 12.5, 7.0}) {
        const long long pictures = PicturesOver(Steady(rate, 60, 8000));
        EXPECT_NEAR(static_cast<double>(pictures), 25.0 * 60, 25.0 * 60 / 100) << rate << " a second, within 1 %";
    }
    // A network camera: anything from 20 to 90 ms between frames.
    std::mt19937 random(3);
    std::uniform_int_distribution<long long> interval(20000, 90000);
    std::vector<long long> uneven;
    long long total = 0;
    while (total < 60000000) {
        uneven.push_back(interval(random));
        total += uneven.back();
    }
    EXPECT_NEAR(static_cast<double>(PicturesOver(uneven)), 25.0 * total / 1e6, 25.0 * 60 / 100);
}

TEST(RecordTimeline, ASteadyCameraWithJitterMakesOnePictureAFrame)
{
    RecordTimeline timeline;
    Clock::time_point t{};
    const auto intervals = Steady(25, 20, 15000, 7);
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        ASSERT_EQ(timeline.PicturesFor(t), 1) << "frame " << i;
        t += microseconds(intervals[i]);
    }
}

// A silence up to the stall limit is filled by repeats, so the pictures
// keep their moments; a longer one begins a new file at the next frame.
TEST(RecordTimeline, SilencesUpToTheStallLimitAreFilledAndLongerOnesBeginANewFile)
{
    const struct {
        milliseconds silence;
        int pictures;
        bool newFile;
    } cases[] = {
        {milliseconds(40), 1, false},   {milliseconds(1800), 45, false}, {milliseconds(3000), 75, false},
        {milliseconds(5000), 125, false}, {milliseconds(5100), 1, true}, {milliseconds(30000), 1, true},
    };
    for (const auto& c : cases) {
        RecordTimeline timeline;
        Clock::time_point t{};
        for (int i = 0; i < 25; ++i, t += milliseconds(40))
            ASSERT_EQ(timeline.PicturesFor(t), 1);
        const Clock::time_point last = t - milliseconds(40);
        const RecordTimeline::Placement p = timeline.Place(last + c.silence);
        EXPECT_EQ(p.pictures, c.pictures) << c.silence.count() << " ms";
        EXPECT_EQ(p.newFile, c.newFile) << c.silence.count() << " ms";
        EXPECT_EQ(p.slot, last + c.silence) << "the frame's picture stands at its own moment";
        const RecordTimeline::Placement next = timeline.Place(last + c.silence + milliseconds(40));
        EXPECT_EQ(next.pictures, 1) << "and the timeline goes on from there";
        EXPECT_FALSE(next.newFile);
    }
}

}  // namespace
