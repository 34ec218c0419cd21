// The history dialog while it stays open: recordings and events made since
// it was opened come in without moving what the owner is looking at.
#include "VideoQueryDlg.h"

#include "DayTimeline.h"
#include "RecordList.h"

#include "Database.h"
#include "JetDialect.h"
#include "TextFormat.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTimer>

#include <set>

void CVideoQueryDlg::StartRefreshing()
{
    auto* timer = new QTimer(this);  // owned by the dialog
    timer->setInterval(kRefreshMs);
    connect(timer, &QTimer::timeout, this, &CVideoQueryDlg::RefreshHistory);
    timer->start();
}

void CVideoQueryDlg::RefreshHistory()
{
    if (!isVisible())
        return;
    TakeNewRows();
    TakeNewDays();
    const DayTimelineData& shown = m_timeline->Data();
    const QString chosen = m_dateCombo->currentText();
    const std::string day = chosen.isEmpty() || chosen == kAllFilter ? FormatLocalTime("%Y-%m-%d", CurrentTime())
                                                                     : chosen.left(10).toStdString();
    if (std::optional<DayTimelineData> data = LoadDayTimeline(day, &shown))
        m_timeline->UpdateData(std::move(*data));
}

// Rows at or after the newest listed one that are not listed yet go on
// top; the list scrolls by as many rows unless it was at its top, so the
// rows in view stay in view. A list not filled yet is filled.
void CVideoQueryDlg::TakeNewRows()
{
    if (m_recordList->rowCount() == 0) {
        FillRecordList(m_strDevice.isEmpty() ? kAllFilter : m_strDevice, m_strDate.isEmpty() ? kAllFilter : m_strDate);
        return;
    }
    const QString newest = m_recordList->item(0, 1)->text();
    std::set<QString> listed;
    for (int row = 0; row < m_recordList->rowCount() && m_recordList->item(row, 1)->text() >= newest; ++row)
        listed.insert(m_recordList->item(row, 2)->text());
    RecordsetPtr rs = ExecuteCommand(HistoryNewRowsStatement(m_strDevice.isEmpty() ? kAllFilter : m_strDevice,
                                                      m_strDate.isEmpty() ? kAllFilter : m_strDate, newest));
    QScrollBar* bar = m_recordList->verticalScrollBar();
    const int before = bar->value();
    int added = 0;
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        const std::string path = FieldText(*rs, "video_save_path");
        if (listed.count(QString::fromStdString(path)) != 0)
            continue;
        m_recordList->insertRow(added);
        SetRow(added++, *rs);
    }
    if (added == 0 || before == 0)
        return;
    const bool byItem = m_recordList->verticalScrollMode() == QAbstractItemView::ScrollPerItem;
    bar->setValue(before + (byItem ? added : added * m_recordList->rowHeight(0)));
}

// Today, once it has recordings (midnight passed while the dialog was
// open), joins the day filter without changing what is chosen there.
void CVideoQueryDlg::TakeNewDays()
{
    const QString today = QString::fromStdString(FormatLocalTime("%Y-%m-%d", CurrentTime()));
    if (m_dateCombo->findText(today) >= 0)
        return;
    const QString device = m_strDevice.isEmpty() ? kAllFilter : m_strDevice;
    RecordsetPtr rs = ExecuteCommand(HistoryListStatement(device, today));
    if (rs && !rs->IsEOF())
        m_dateCombo->insertItem(1, today);
}
