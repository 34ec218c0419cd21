// A day of 10 000 motion events of one camera (one every 8.6 s):
// how long the day timeline takes to load them and to draw itself, whole
// day and one hour, and how long `lumaro --events` takes to answer for a
// camera (the whole run of the program, start to end).
//   timeline_bench [repeats]   (default 20)
#include "BenchSupport.h"
#include "DayTimeline.h"
#include "MotionStore.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kEvents = 10000;
const char* const kDay = "2026-12-08";

void FillDay(PreciseTime dayStart)
{
    std::FILE* sql = std::fopen("events.sql", "w");
    if (sql == nullptr)
        return;
    std::fputs("BEGIN;\n", sql);
    for (int i = 0; i < kEvents; ++i) {
        const PreciseTime start = dayStart + static_cast<PreciseTime>(i) * (86000 * kMicrosPerSecond / kEvents);
        std::fprintf(sql, "INSERT INTO motion_event VALUES (1, 'x.mpg', '%s', '%s', 0.1, 'motion');\n",
                     PreciseText(start).c_str(), PreciseText(start + 5 * kMicrosPerSecond).c_str());
    }
    std::fputs("COMMIT;\n", sql);
    std::fclose(sql);
    Shell("sqlite3 db/dbvardo.db < events.sql");
}

// The least of `repeats` timings of `work`, in milliseconds.
template <typename Work>
double LeastMs(int repeats, Work work)
{
    double least = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const double start = WallSeconds();
        work();
        least = std::min(least, (WallSeconds() - start) * 1000);
    }
    return least;
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MakeScratchDatabase("timeline_bench");
    std::optional<DayTimelineData> day = LoadDayTimeline(kDay);
    if (!day)
        return 1;
    FillDay(day->dayStart);

    Result("timeline: load a day of 10000 events", LeastMs(repeats, [&] { day = LoadDayTimeline(kDay); }), "ms",
           "least of " + std::to_string(repeats));
    std::size_t loaded = 0;
    for (const CameraDay& camera : day->cameras)
        loaded += camera.events.size();
    if (loaded != kEvents)
        std::fprintf(stderr, "timeline_bench: %zu events loaded, not %d\n", loaded, kEvents);
    CDayTimeline timeline;
    timeline.resize(1200, CDayTimeline::kHeight);
    timeline.SetData(*day);
    QImage canvas(timeline.size(), QImage::Format_RGB32);
    Result("timeline: draw a day of 10000 events", LeastMs(repeats, [&] { timeline.render(&canvas); }), "ms",
           "goal < 50");
    timeline.ZoomToHour(day->dayStart + 12 * CDayTimeline::kHour);
    Result("timeline: draw one hour of it", LeastMs(repeats, [&] { timeline.render(&canvas); }), "ms");
    const std::string events = std::string(LUMARO_BINARY) + " --events --camera 1 --day " + kDay + " > events.txt";
    Shell(events + " && test $(wc -l < events.txt) = " + std::to_string(kEvents) +
          " || echo 'timeline_bench: --events did not print every event' >&2");
    Result("--events: a day of 10000 events", LeastMs(std::min(repeats, 5), [&] { Shell(events); }), "ms",
           "whole program run; goal < 500");
    return 0;
}
