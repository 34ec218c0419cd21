#include "MotionTracker.h"

#include <algorithm>
#include <limits>

const char* MotionEventKindKey(MotionEventKind kind)
{
    return kind == MotionEventKind::kTamper ? "tamper" : "motion";
}

std::optional<MotionEventKind> ParseMotionEventKind(const std::string& text)
{
    if (text == "motion")
        return MotionEventKind::kMotion;
    if (text == "tamper")
        return MotionEventKind::kTamper;
    return std::nullopt;
}

void MotionTracker::SetCamera(int camera)
{
    m_motion.camera = camera;
    m_tamper.camera = camera;
}

std::vector<MotionChange> MotionTracker::Add(const std::string& path, PreciseTime time, const MotionVerdict& verdict)
{
    std::vector<MotionChange> changes;
    if (!verdict.judged)
        return changes;
    m_motion.Add(path, time, verdict.kind == MotionKind::kMotion, verdict.share, changes);
    m_tamper.Add(path, time, verdict.kind == MotionKind::kCovered, verdict.share, changes);
    return changes;
}

std::vector<MotionChange> MotionTracker::Finish()
{
    std::vector<MotionChange> changes;
    m_motion.Finish(changes);
    m_tamper.Finish(changes);
    return changes;
}

void MotionTracker::Track::Add(const std::string& path, PreciseTime time, bool active, double share,
                               std::vector<MotionChange>& out)
{
    if (m_open && time < m_open->end) {  // the clock was set back: what came before is no guide
        End(out);
        Forget();
    } else if (m_open && (path != m_open->path || time - m_open->end > kQuiet)) {
        if (path != m_open->path)
            m_carryUntil = m_open->end + kQuiet;
        End(out);
    }
    if (!active) {
        m_run = 0;
        return;
    }
    if (m_run++ == 0)
        m_runStart = time;
    m_recent.push_back(time);
    while (time - m_recent.front() > kFewestWithin)
        m_recent.pop_front();
    if (!m_open) {
        const bool carried = time <= m_carryUntil;
        if (!carried && !Confirmed(time))
            return;
        const PreciseTime first = m_kind == MotionEventKind::kTamper ? m_runStart : m_recent.front();
        m_open = MotionSpan{camera, path, carried ? time : first, time, share, m_kind};
        m_reported = time;
        out.push_back({MotionChange::kBegun, *m_open});
    }
    m_open->end = time;
    m_open->peak = std::max(m_open->peak, share);
    if (time - m_open->start >= kLongest) {
        m_carryUntil = time + kQuiet;
        End(out);
    } else if (time - m_reported >= kUpdateEvery) {
        m_reported = time;
        out.push_back({MotionChange::kUpdated, *m_open});
    }
}

bool MotionTracker::Track::Confirmed(PreciseTime time) const
{
    if (m_kind == MotionEventKind::kTamper)
        return m_run >= kFewestPictures && time - m_runStart >= kCoveredBefore;
    return m_recent.size() >= static_cast<std::size_t>(kFewestPictures);
}

void MotionTracker::Track::Finish(std::vector<MotionChange>& out)
{
    End(out);
    Forget();
}

void MotionTracker::Track::Forget()
{
    m_run = 0;
    m_recent.clear();
    m_carryUntil = std::numeric_limits<PreciseTime>::min();
}

void MotionTracker::Track::End(std::vector<MotionChange>& out)
{
    if (m_open)
        out.push_back({MotionChange::kEnded, *m_open});
    m_open.reset();
}
