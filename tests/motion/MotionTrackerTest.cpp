// Events from the detector's verdicts, picture by picture: when they begin
// and end, how often a stored event is brought up to date, and where one
// is cut (a new file, ten minutes, the clock set back).
#include "MotionTracker.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr PreciseTime kSecond = kMicrosPerSecond;
constexpr PreciseTime kJudged = 120 * 1000;  // every third picture at 25 a second

// The verdict and file of the picture judged at `time`.
struct Seen {
    MotionVerdict verdict;
    std::string path = "a.mpg";
};
using Script = std::function<Seen(PreciseTime time)>;

struct Expected {
    MotionEventKind kind;
    double start, end;  // seconds
    std::string path = "a.mpg";
};

MotionVerdict Moving(bool on)
{
    return on ? MotionVerdict{true, MotionKind::kMotion, 0.05} : MotionVerdict{true};
}

struct Outcome {
    std::vector<MotionSpan> ended;
    PreciseTime longestLag = 0;  // of an event's stored end behind the end it had reached
};

Outcome Track(const Script& script, PreciseTime until, PreciseTime setBackAt = -1)
{
    MotionTracker tracker;
    Outcome outcome;
    PreciseTime stored = 0;
    PreciseTime clock = 0;
    for (PreciseTime t = 0; t < until; t += kJudged) {
        clock = setBackAt >= 0 && t >= setBackAt ? t - 30 * kSecond : t;
        const Seen seen = script(t);
        for (const MotionChange& change : tracker.Add(seen.path, clock, seen.verdict)) {
            if (change.type != MotionChange::kBegun)
                outcome.longestLag = std::max(outcome.longestLag, change.span.end - stored);
            stored = change.span.end;
            if (change.type == MotionChange::kEnded)
                outcome.ended.push_back(change.span);
        }
    }
    for (const MotionChange& change : tracker.Finish())
        outcome.ended.push_back(change.span);
    return outcome;
}

bool Between(PreciseTime t, double from, double to)
{
    return t >= from * kSecond && t < to * kSecond;
}

TEST(MotionTrackerTest, EventsBeginEndAndAreCutWhereTheyShould)
{
    const struct {
        const char* what;
        Script script;
        double seconds;
        std::vector<Expected> events;
        double setBackAt = -1;
    } cases[] = {
        {"two moving pictures are a blip", [](PreciseTime t) { return Seen{Moving(t == 10 * kJudged || t == 12 * kJudged)}; },
         10, {}},
        {"three within a second, with gaps", [](PreciseTime t) {
             return Seen{Moving(t == 10 * kJudged || t == 13 * kJudged || t == 17 * kJudged)}; },
         10, {{MotionEventKind::kMotion, 1.2, 2.04}}},
        {"a pause under 3 s is the same event", [](PreciseTime t) { return Seen{Moving(Between(t, 1, 4) || Between(t, 6.5, 8))}; },
         12, {{MotionEventKind::kMotion, 1.08, 7.92}}},
        {"a pause over 3 s ends it", [](PreciseTime t) { return Seen{Moving(Between(t, 1, 4) || Between(t, 7.5, 9))}; },
         12, {{MotionEventKind::kMotion, 1.08, 3.96}, {MotionEventKind::kMotion, 7.56, 8.88}}},
        {"a new file: the event goes on in it at once", [](PreciseTime t) {
             return Seen{Moving(Between(t, 1, 9)), t < 5 * kSecond ? "a.mpg" : "b.mpg"}; },
         12, {{MotionEventKind::kMotion, 1.08, 4.92}, {MotionEventKind::kMotion, 5.04, 8.88, "b.mpg"}}},
        {"25 minutes of motion are three events", [](PreciseTime t) { return Seen{Moving(Between(t, 0, 1500))}; },
         1510, {{MotionEventKind::kMotion, 0, 600}, {MotionEventKind::kMotion, 600.12, 1200.12},
                {MotionEventKind::kMotion, 1200.24, 1499.88}}},
        {"covered 1.5 s is no event", [](PreciseTime t) {
             return Seen{Between(t, 2, 3.5) ? MotionVerdict{true, MotionKind::kCovered, 0.9} : MotionVerdict{true}}; },
         10, {}},
        {"covered 5 s is tampering from its first picture, beside motion", [](PreciseTime t) {
             return Seen{Between(t, 2, 7) ? MotionVerdict{true, MotionKind::kCovered, 0.9} : Moving(Between(t, 0.5, 2))}; },
         12, {{MotionEventKind::kMotion, 0.6, 1.92}, {MotionEventKind::kTamper, 2.04, 6.96}}},
        {"pictures not judged change nothing", [](PreciseTime t) { return Seen{Between(t, 1, 5) ? MotionVerdict{} : Moving(false)}; },
         8, {}},
        {"the clock set back 30 s ends the event; the next begins after it", [](PreciseTime t) {
             return Seen{Moving(Between(t, 1, 9))}; },
         12, {{MotionEventKind::kMotion, 1.08, 4.92}, {MotionEventKind::kMotion, -24.96, -21.12}}, 5},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Track(c.script, static_cast<PreciseTime>(c.seconds * kSecond),
                                      static_cast<PreciseTime>(c.setBackAt * kSecond));
        ASSERT_EQ(outcome.ended.size(), c.events.size()) << c.what;
        for (std::size_t i = 0; i < c.events.size(); ++i) {
            const MotionSpan& span = outcome.ended[i];
            EXPECT_EQ(span.kind, c.events[i].kind) << c.what;
            EXPECT_EQ(span.path, c.events[i].path) << c.what;
            EXPECT_NEAR(static_cast<double>(span.start) / kSecond, c.events[i].start, 0.01) << c.what;
            EXPECT_NEAR(static_cast<double>(span.end) / kSecond, c.events[i].end, 0.01) << c.what;
        }
        EXPECT_LE(outcome.longestLag, 10 * kSecond) << c.what << ": a kill loses at most 10 s of an event";
    }
}

}  // namespace
