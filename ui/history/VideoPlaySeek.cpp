// The player's ways to a moment: the trackbar (the file's time from its
// first picture to its last), steps of a second or a minute, a step back,
// and a jump to a time of day.
#include "VideoPlayDlg.h"

#include "Dialogs.h"

#include <algorithm>
#include <cmath>

void CVideoPlayDlg::OnSeek(int position)
{
    const long long last = m_lastNumber;
    SeekToPicture(std::llround(static_cast<double>(last) * std::clamp(position, 0, static_cast<int>(kSeekRange)) /
                               kSeekRange));
}

// The next chunk is read from the start of the picture's group; the parser
// and the decoder start afresh there, so no picture is built on references
// from elsewhere, and what is left of the old chunk is not shown.
void CVideoPlayDlg::SeekToPicture(long long number)
{
    std::unique_lock<std::recursive_mutex> lock(m_lock);
    if (!m_file)
        return;
    RefreshLastNumber();
    number = std::clamp(number, 0LL, m_lastNumber.load());
    const std::optional<GroupPlace> group = m_seeker.GroupOf(number);
    fseeko(m_file.get(), group ? static_cast<off_t>(group->offset) : 0, SEEK_SET);
    m_bResetStream = true;
    m_seekTarget = number;
    if (m_state == Paused) {
        m_stepRequested = true;  // a paused player shows the picture at the new place
    } else if (m_state == Stopped) {
        SetButtonImage(kImagePause);
        StartThread(lock);
    }
}

void CVideoPlayDlg::JumpBy(int seconds)
{
    const long long shown = m_shownNumber;
    SeekToPicture(std::max(shown, 0LL) + static_cast<long long>(seconds) * kRecordingPicturesPerSecond);
}

void CVideoPlayDlg::OnStepBack()
{
    if (State() == Playing)
        return OnPlayButton();
    const long long shown = m_shownNumber;
    if (State() == Paused && shown > 0)
        SeekToPicture(shown - 1);
}

std::optional<PreciseTime> CVideoPlayDlg::ShownMoment() const
{
    const long long shown = m_shownNumber;
    if (shown < 0 || !m_recording.start)
        return std::nullopt;
    return PictureTime(*m_recording.start, shown);
}


bool CVideoPlayDlg::JumpToTimeOfDay(const QString& text)
{
    if (!m_file || !m_recording.start) {
        MessageBoxWarning(this, QStringLiteral("这段录像没有时间，不能按时间跳转。"));
        return false;
    }
    const std::vector<PreciseTime> moments = TimesOfDay(text, *m_recording.start);
    if (moments.empty()) {
        MessageBoxWarning(this, QStringLiteral("请按 时:分:秒 输入时间，例如 14:05:00。"));
        return false;
    }
    RefreshLastNumber();
    const long long number = PictureOfTimeOfDay(moments);
    if (number < 0 || number > m_lastNumber) {
        const QString from = PictureTimeText(m_recording, 0).mid(11, 8);
        const QString to = PictureTimeText(m_recording, m_lastNumber).mid(11, 8);
        MessageBoxWarning(this, QStringLiteral("这段录像从 %1 到 %2，没有 %3 的画面。").arg(from, to, text.trimmed()));
        return false;
    }
    SeekToPicture(number);
    return true;
}

// The picture of a time of day in this recording: of the moments the clock
// showed it, the later one the file holds. The list names a recording by
// the second of its first picture, which may lie a few hundredths into
// that second: the second then means the first picture.
long long CVideoPlayDlg::PictureOfTimeOfDay(const std::vector<PreciseTime>& moments) const
{
    const PreciseTime first = *m_recording.start;
    for (PreciseTime moment : moments) {
        const long long number = PictureAt(first, moment);
        if (number >= 0 && number <= m_lastNumber)
            return number;
        if (number < 0 && WholeSeconds(moment) == WholeSeconds(first))
            return 0;
    }
    return -1;
}
