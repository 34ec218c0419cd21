#include "ClipLedger.h"

#include <algorithm>

namespace {

// A stretch counts when at least one picture is missing from it: pictures
// are cut at the nearest, half a picture either way.
constexpr PreciseTime kTolerance = kPictureInterval / 2;

}  // namespace

ClipLedger::ClipLedger(PreciseTime from, PreciseTime to, int timeScale)
    : m_from(from), m_to(to), m_timeScale(timeScale)
{
}

std::optional<std::int64_t> ClipLedger::Take(std::size_t source, long long number, PreciseTime at, bool concealed)
{
    const std::int64_t stamp =
        m_pictures == 0 ? 0 : ((at - m_first) * m_timeScale + kMicrosPerSecond / 2) / kMicrosPerSecond;
    if (m_pictures > 0 && stamp <= m_lastStamp)
        return std::nullopt;
    const PreciseTime expected = m_pictures == 0 ? m_from : m_last + kPictureInterval;
    if (at - expected > kTolerance) {
        const bool sameFile = m_pictures > 0 && source == m_lastSource && number > m_lastNumber + 1;
        Add(sameFile ? m_damage : m_gaps, expected, at);  // a file lacks pictures only where it is damaged
    }
    if (concealed)
        Add(m_damage, at, at + kPictureInterval);
    if (m_pictures == 0)
        m_first = at;
    m_last = at;
    m_lastSource = source;
    m_lastNumber = number;
    m_lastStamp = stamp;
    ++m_pictures;
    if (m_shares.size() <= source)
        m_shares.resize(source + 1);
    SourceShare& share = m_shares[source];
    if (share.pictures++ == 0)
        share.first = at;
    share.last = at;
    return stamp;
}

void ClipLedger::Finish()
{
    const PreciseTime end = m_to + kPictureInterval;  // the picture of `to` is shown until then
    if (m_pictures > 0 && end - (m_last + kPictureInterval) > kTolerance)
        Add(m_gaps, m_last + kPictureInterval, end);
}

void ClipLedger::Add(std::vector<TimeSpan>& spans, PreciseTime from, PreciseTime to)
{
    if (!spans.empty() && from <= spans.back().to + kTolerance)
        spans.back().to = std::max(spans.back().to, to);
    else
        spans.push_back({from, to});
}
