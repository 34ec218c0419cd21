// What the day timeline loads for a day: its length, its events' order and
// times, and which recording a moment belongs to.
#include "DayTimelineData.h"
#include "TextFormat.h"
#include "store/TempDatabase.h"

#include <cstdlib>
#include <ctime>

namespace {

constexpr TimeValue k0830 = 1257064200;  // 2009-11-01 08:30:00 UTC
constexpr PreciseTime kSecond = kMicrosPerSecond;

PreciseTime At(TimeValue second, int hundredths = 0)
{
    return second * kSecond + hundredths * (kSecond / 100);
}

using DayTimelineDataTest = TempDatabaseTest;

TEST(DayTimelineData, EventNeighboursAndPreciseTexts)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    const std::vector<TimelineEvent> events = {{At(100), At(110), 0.1}, {At(200), At(205), 0.1}, {At(300), At(301), 0.1}};
    const struct {
        PreciseTime moment;
        bool next;
        std::optional<PreciseTime> found;
    } cases[] = {
        {At(150), true, At(200)},  {At(200), true, At(300)},      {At(300), true, std::nullopt},
        {At(250), false, At(200)}, {At(200, 50), false, At(100)}, {At(202), false, At(200)},
        {At(100), false, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NeighbourEvent(events, c.moment, c.next), c.found) << c.moment << (c.next ? " next" : " previous");
    EXPECT_EQ(ParsePreciseText("2009-11-01 08:30:00.40"), At(k0830, 40));
    EXPECT_EQ(ParsePreciseText("2009-11-01 08:30:00"), At(k0830));
    for (const char* bad : {"2009-11-01 08:30:00.4", "2009-11-01 08:30:00,40", "2009-02-30 08:30:00.00", ""})
        EXPECT_EQ(ParsePreciseText(bad), std::nullopt) << bad;
}

// Where a clock set back left two recordings over the same seconds, a
// click plays the one made later, the one an export takes.
TEST(DayTimelineData, AMomentTwoRecordingsCoverIsTheLaterMadeOnes)
{
    DayTimelineData data;
    data.cameras[0].recorded = {{"made-second", At(100), At(200), 7}, {"made-first", At(50), At(150), 3}};
    const std::pair<PreciseTime, std::string> cases[] = {
        {At(60), "made-first"}, {At(120), "made-second"}, {At(160), "made-second"}, {At(210), "none"}};
    for (const auto& [moment, path] : cases) {
        const RecordedSpan* span = RecordingAt(data, 1, moment);
        EXPECT_EQ(span != nullptr ? span->path : "none", path) << moment;
    }
}

TEST_F(DayTimelineDataTest, ADayOfTheSummerTimeChangeHasItsOwnLength)
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    for (const auto& [day, hours] : {std::pair{"2009-10-25", 25}, std::pair{"2009-03-29", 23}, std::pair{"2009-11-01", 24}}) {
        const std::optional<DayTimelineData> data = LoadDayTimeline(day);
        ASSERT_TRUE(data) << day;
        EXPECT_EQ(data->dayEnd - data->dayStart, hours * 3600 * kSecond) << day;
    }
    EXPECT_FALSE(LoadDayTimeline("2009-02-30"));
}

}  // namespace
