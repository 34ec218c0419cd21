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

namespace {
const QString kAll = QStringLiteral("全部");
}

void CVideoQueryDlg::CreateTimeline()
{
    m_timeline = new CDayTimeline(this);
    connect(m_timeline, &CDayTimeline::PlayAsked, this, &CVideoQueryDlg::PlayAt);
    connect(m_timeline, &CDayTimeline::RangeChosen, this, &CVideoQueryDlg::OfferExport);
}

void CVideoQueryDlg::ReloadTimeline()
{
    const QString chosen = m_dateCombo->currentText();
    const std::string day = chosen.isEmpty() || chosen == kAll ? FormatLocalTime("%Y-%m-%d", CurrentTime())
                                                               : chosen.left(10).toStdString();
    if (std::optional<DayTimelineData> data = LoadDayTimeline(day))
        m_timeline->SetData(std::move(*data));
}

void CVideoQueryDlg::PlayAt(int camera, PreciseTime moment)
{
    const RecordedSpan* span = RecordingAt(m_timeline->Data(), camera, moment);
    if (span == nullptr)
        return;  // no recording there
    if (m_player->PlayFile(span->path) == CVideoPlayDlg::kPlayStarted)
        m_player->SeekToPicture(PictureAt(span->from, moment));
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
