// Motion events of one camera, from the detector's verdicts on its recorded
// pictures. An event of motion begins with three judged pictures within a
// second that have a moving or held region (at the first of them), so a
// blip of one or two pictures is none; one of tampering when the lens has
// been covered for two seconds (at the first covered picture). Either ends 3 s after its last such picture, at that picture.
// While it lasts its end is brought up to date every few seconds, and one
// that reaches ten minutes is ended and the next begun at once, so a stored
// event is never more than a few seconds behind. An event belongs to the
// recording its pictures went into: one running on across a new file ends
// with the old file and the next begins in the new one.
#pragma once

#include "MotionDetector.h"
#include "PictureClock.h"

#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

enum class MotionEventKind { kMotion, kTamper };

// "motion" or "tamper", as stored; and back (nullopt for anything else).
const char* MotionEventKindKey(MotionEventKind kind);
std::optional<MotionEventKind> ParseMotionEventKind(const std::string& text);

struct MotionSpan {
    int camera = 0;  // 1 to 4
    std::string path;  // the recording
    PreciseTime start = 0;
    PreciseTime end = 0;
    double peak = 0;  // the largest share of the picture moving, or changed while covered
    MotionEventKind kind = MotionEventKind::kMotion;
};

struct MotionChange {
    enum Type { kBegun, kUpdated, kEnded };
    Type type;
    MotionSpan span;  // (camera, path, start, kind) names the event
};

class MotionTracker {
public:
    static constexpr PreciseTime kQuiet = 3 * kMicrosPerSecond;
    static constexpr int kFewestPictures = 3;
    static constexpr PreciseTime kFewestWithin = kMicrosPerSecond;
    static constexpr PreciseTime kCoveredBefore = 2 * kMicrosPerSecond;
    static constexpr PreciseTime kUpdateEvery = 5 * kMicrosPerSecond;
    static constexpr PreciseTime kLongest = 10 * 60 * kMicrosPerSecond;

    explicit MotionTracker(int camera = 1) : m_motion(MotionEventKind::kMotion), m_tamper(MotionEventKind::kTamper)
    {
        SetCamera(camera);
    }
    void SetCamera(int camera);

    // One recorded picture of `path` at `time` with the detector's verdict
    // on it; pictures that were not judged change nothing.
    std::vector<MotionChange> Add(const std::string& path, PreciseTime time, const MotionVerdict& verdict);
    // The recording stopped: the events under way end.
    std::vector<MotionChange> Finish();

private:
    // The events of one kind.
    class Track {
    public:
        explicit Track(MotionEventKind kind) : m_kind(kind) {}
        int camera = 1;
        void Add(const std::string& path, PreciseTime time, bool active, double share, std::vector<MotionChange>& out);
        void Finish(std::vector<MotionChange>& out);

    private:
        bool Confirmed(PreciseTime time) const;
        void End(std::vector<MotionChange>& out);
        void Forget();

        MotionEventKind m_kind;
        std::optional<MotionSpan> m_open;
        PreciseTime m_reported = 0;  // the end last handed out
        std::deque<PreciseTime> m_recent;  // motion: the active pictures of the last second
        int m_run = 0;  // tampering: covered pictures in a row
        PreciseTime m_runStart = 0;
        // An event ended for a new file or its length goes on in the next
        // with the first active picture up to this time.
        PreciseTime m_carryUntil = std::numeric_limits<PreciseTime>::min();
    };

    Track m_motion;
    Track m_tamper;
};
