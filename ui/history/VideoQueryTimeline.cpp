// The history dialog's day timeline, below the player: it follows the
// chosen day, plays from a clicked moment and offers a dragged range for
// export.
#include "VideoQueryDlg.h"

#include "DayTimeline.h"
#include "ExportDlg.h"
#include "TextFormat.h"
#include "VideoPlayDlg.h"

#include <QComboBox>
#include <QMenu>

void CVideoQueryDlg::CreateTimeline()
{
    m_timeline = new CDayTimeline(this);
    connect(m_timeline, &CDayTimeline::PlayAsked, this, &CVideoQueryDlg::PlayAt);
    connect(m_timeline, &CDayTimeline::RangeChosen, this, &CVideoQueryDlg::OfferExport);
}

void CVideoQueryDlg::ConnectPlayerEvents()
{
    connect(m_player, &CVideoPlayDlg::eventAsked, this, &CVideoQueryDlg::GoToEvent);
}

void CVideoQueryDlg::ReloadTimeline()
{
    const QString chosen = m_dateCombo->currentText();
    const std::string day = chosen.isEmpty() || chosen == kAllFilter ? FormatLocalTime("%Y-%m-%d", CurrentTime())
                                                               : chosen.left(10).toStdString();
    if (std::optional<DayTimelineData> data = LoadDayTimeline(day))
        m_timeline->SetData(std::move(*data));
}

void CVideoQueryDlg::PlayAt(int camera, PreciseTime moment)
{
    PlayIn(m_timeline->Data(), camera, moment);
}

// The recording of that moment is played from it (the one on screen is
// only moved), with its camera's events marked on the trackbar.
void CVideoQueryDlg::PlayIn(const DayTimelineData& day, int camera, PreciseTime moment)
{
    const RecordedSpan* span = RecordingAt(day, camera, moment);
    if (span == nullptr)
        return;  // no recording there
    if (span->path != m_player->PlayingPath() && m_player->PlayFile(span->path) != CVideoPlayDlg::kPlayStarted)
        return;
    m_player->SeekToPicture(PictureAt(span->from, moment));
    MarkPlayingEvents(day, camera);
}

void CVideoQueryDlg::MarkPlayingEvents(const DayTimelineData& day, int camera)
{
    std::vector<PreciseTime> starts;
    if (camera >= 1 && camera <= 4)
        for (const TimelineEvent& event : day.cameras[static_cast<std::size_t>(camera - 1)].events)
            starts.push_back(event.from);
    m_player->MarkMoments(starts);
}

// The day of a picture on screen, from the timeline when it shows that day.
std::optional<DayTimelineData> CVideoQueryDlg::DayOf(PreciseTime moment) const
{
    const DayTimelineData& shown = m_timeline->Data();
    if (moment >= shown.dayStart && moment < shown.dayEnd)
        return shown;
    return LoadDayTimeline(FormatLocalTime("%Y-%m-%d", WholeSeconds(moment)));
}

void CVideoQueryDlg::GoToEvent(bool next)
{
    const std::optional<PreciseTime> moment = m_player->ShownMoment();
    const int camera = m_player->RecordingCamera();
    if (!moment || camera < 1 || camera > 4)
        return;
    const std::optional<DayTimelineData> day = DayOf(*moment);
    if (!day)
        return;
    if (const auto target = NeighbourEvent(day->cameras[static_cast<std::size_t>(camera - 1)].events, *moment, next))
        PlayIn(*day, camera, *target);
}

void CVideoQueryDlg::MarkEventsOfPlayingRecording()
{
    if (const std::optional<PreciseTime> start = RecordingFirstPicture(m_player->PlayingPath()))
        if (const std::optional<DayTimelineData> day = DayOf(*start))
            MarkPlayingEvents(*day, m_player->RecordingCamera());
}

void CVideoQueryDlg::OfferExport(int camera, PreciseTime from, PreciseTime to)
{
    QMenu menu(this);
    const QString range = QString::fromStdString(FormatLocalTime("%H:%M:%S", WholeSeconds(from)) + " – " +
                                                 FormatLocalTime("%H:%M:%S", WholeSeconds(to)));
    QAction* exportRange = menu.addAction(QStringLiteral("导出 摄像头%1 %2").arg(camera).arg(range));
    if (menu.exec(QCursor::pos()) != exportRange)
        return;
    CExportDlg dialog(this, camera, WholeSeconds(from), WholeSeconds(to) + (to % kMicrosPerSecond != 0));
    dialog.exec();
}
