// Which recording gives each stretch of an export: where two recordings of
// a camera cover the same time, the one made later, wherever the range
// begins; and asked times the clock showed twice.
#include "ExportRange.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr PreciseTime kS = kMicrosPerSecond;

struct Stretch {
    std::size_t source;
    PreciseTime from, to;  // seconds
    bool operator==(const Stretch& o) const { return source == o.source && from == o.from && to == o.to; }
};

std::vector<Stretch> Pieces(const SourcePlan& plan)
{
    std::vector<Stretch> pieces;
    for (const ExportPiece& p : plan.pieces)
        pieces.push_back({p.source, p.from / kS, p.to / kS});
    return pieces;
}

std::vector<Stretch> Overlaps(const SourcePlan& plan)
{
    std::vector<Stretch> overlaps;
    for (const SourceOverlap& o : plan.overlaps)
        overlaps.push_back({o.earlier * 10 + o.later, o.span.from / kS, o.span.to / kS});
    return overlaps;
}

TEST(SourcePlan, TheRecordingMadeLastGivesEachStretchWhereverTheRangeBegins)
{
    // Sources: {start, end, made} in seconds; an overlap {earlier * 10 + later, from, to}.
    const struct {
        const char* what;
        std::vector<ExportSource> sources;
        PreciseTime from, to;
        std::vector<Stretch> pieces, overlaps;
    } cases[] = {
        {"one after the other, a gap between",
         {{"a", 0, 10 * kS, 1}, {"b", 20 * kS, 30 * kS, 2}}, 5, 25,
         {{0, 5, 10}, {1, 20, 25}}, {}},
        {"the clock set back: the later file starts inside the earlier one",
         {{"a", 0, 40 * kS, 1}, {"b", 20 * kS, 60 * kS, 2}}, 10, 50,
         {{0, 10, 20}, {1, 20, 50}}, {{1, 20, 40}}},
        {"the same, the range beginning inside the overlap",
         {{"a", 0, 40 * kS, 1}, {"b", 20 * kS, 60 * kS, 2}}, 30, 50,
         {{1, 30, 50}}, {{1, 30, 40}}},
        {"a later file inside an earlier one: the earlier one around it",
         {{"a", 0, 60 * kS, 1}, {"b", 20 * kS, 30 * kS, 2}}, 0, 60,
         {{0, 0, 20}, {1, 20, 30}, {0, 30, 60}}, {{1, 20, 30}}},
        {"an earlier-made file with the later times: made order, not time order",
         {{"b", 20 * kS, 60 * kS, 5}, {"a", 0, 40 * kS, 3}}, 10, 50,
         {{1, 10, 20}, {0, 20, 50}}, {{10, 20, 40}}},
        {"three files over one stretch",
         {{"a", 0, 30 * kS, 1}, {"b", 10 * kS, 30 * kS, 2}, {"c", 20 * kS, 30 * kS, 3}}, 0, 30,
         {{0, 0, 10}, {1, 10, 20}, {2, 20, 30}}, {{1, 10, 20}, {2, 20, 30}, {12, 20, 30}}},
        {"a file without pictures covers nothing",
         {{"a", 0, 10 * kS, 1}, {"empty", 5 * kS, 5 * kS, 2}}, 0, 10, {{0, 0, 10}}, {}},
    };
    for (const auto& c : cases) {
        const SourcePlan plan = PlanSources(c.sources, c.from * kS, c.to * kS);
        EXPECT_EQ(Pieces(plan), c.pieces) << c.what;
        EXPECT_EQ(Overlaps(plan), c.overlaps) << c.what;
    }
}

TEST(SourcePlan, ATimeTheClockShowedTwiceIsItsLaterOne)
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const struct {
        const char* text;
        TimeValue time;  // -1: none
        bool twice;
    } cases[] = {
        {"2023-10-29 02:30:00", 1698543000, true},   // 02:30 CET, not the hour before in CEST
        {"2023-10-29 01:59:59", 1698537599, false},  // only in CEST
        {"2023-10-29 03:00:00", 1698544800, false},
        {"2023-03-26 02:30:00", -1, false},          // skipped when summer time began
        {"2023-07-01 12:00:00", 1688205600, false},
    };
    for (const auto& c : cases) {
        bool twice = !c.twice;
        const std::optional<TimeValue> time = ParseLocalTime(c.text, &twice);
        EXPECT_EQ(time.value_or(-1), c.time) << c.text;
        EXPECT_EQ(twice, c.twice) << c.text;
    }
    setenv("TZ", "UTC0", 1);
    tzset();
}

}  // namespace
