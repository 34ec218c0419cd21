// What a clip is made of, picture by picture: which recording gave which
// span, where the asked range has no recording (gaps: a restart, a camera
// lost, before the first file) and where a recording lacks pictures or the
// decoder concealed damage in them (damaged spans). It also gives each
// picture its time stamp in the clip, the time since the clip's first
// picture, so a gap stays a jump in the clip's time line, never a splice.
#pragma once

#include "PictureClock.h"

#include <cstdint>
#include <optional>
#include <vector>

struct TimeSpan {
    PreciseTime from = 0;
    PreciseTime to = 0;  // the end: where the next picture would begin
};

struct SourceShare {
    PreciseTime first = 0;
    PreciseTime last = 0;
    long long pictures = 0;
};

class ClipLedger {
public:
    // Stamps count in 1 / timeScale s; the asked range is [from, to] in
    // whole seconds, both ends' pictures included.
    ClipLedger(PreciseTime from, PreciseTime to, int timeScale);

    // Picture `number` of source `source` shows `at`; `concealed` when the
    // decoder reported damage in it. The picture's stamp in the clip, or
    // nothing when it is not later than the clip's last one (recordings
    // that overlap after a clock was set back).
    std::optional<std::int64_t> Take(std::size_t source, long long number, PreciseTime at, bool concealed);
    // The end of the clip: the asked range's tail without pictures.
    void Finish();

    long long Pictures() const { return m_pictures; }
    PreciseTime First() const { return m_first; }
    PreciseTime Last() const { return m_last; }
    const std::vector<TimeSpan>& Gaps() const { return m_gaps; }
    const std::vector<TimeSpan>& Damage() const { return m_damage; }
    // Indexed by source; a source that gave no picture has none.
    const std::vector<SourceShare>& Shares() const { return m_shares; }

private:
    static void Add(std::vector<TimeSpan>& spans, PreciseTime from, PreciseTime to);

    PreciseTime m_from;
    PreciseTime m_to;
    int m_timeScale;
    long long m_pictures = 0;
    PreciseTime m_first = 0;
    PreciseTime m_last = 0;
    std::size_t m_lastSource = 0;
    long long m_lastNumber = 0;
    std::int64_t m_lastStamp = -1;
    std::vector<TimeSpan> m_gaps;
    std::vector<TimeSpan> m_damage;
    std::vector<SourceShare> m_shares;
};
