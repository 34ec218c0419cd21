// The history dialog's list: the statements for the filters, the date list,
// playing and deleting a recording.
#include "VideoQueryDlg.h"

#include "RecordList.h"
#include "RecordingDeletion.h"

#include "Database.h"
#include "Dialogs.h"
#include "ExportDlg.h"
#include "ExportRange.h"
#include "JetDialect.h"
#include "OpenRecordings.h"
#include "OwnRecording.h"
#include "ResString.h"
#include "RowCursor.h"
#include "Settings.h"
#include "TextFormat.h"
#include "VideoPlayDlg.h"

#include <QComboBox>
#include <QScrollBar>
#include <QFile>
#include <QTableWidget>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

QTableWidgetItem* Cell(const std::string& text, Qt::Alignment alignment)
{
    auto* item = new QTableWidgetItem(QString::fromStdString(text));  // owned by the list
    item->setTextAlignment(alignment);
    return item;
}

}  // namespace

void CVideoQueryDlg::QueryHistory(const QString& device, const QString& date)
{
    FillRecordList(device, date);
    if (date == kAllFilter)
        RebuildDateCombo(device);
}

// The list shows the first page at once and reads on as it is scrolled to
// its end: a table of a million rows opens as fast as one of a hundred.
void CVideoQueryDlg::FillRecordList(const QString& device, const QString& date)
{
    m_cursor = CRowCursor::Open(HistoryListStatement(device, date));
    m_recordList->setRowCount(0);
    FetchMoreRows();
}

void CVideoQueryDlg::FetchMoreRows()
{
    if (!m_cursor || m_cursor->AtEnd() || m_bFetching)
        return;
    m_bFetching = true;  // growing the list moves its scroll bar, which asks again
    RecordsetPtr rs = m_cursor->Fetch(kPageRows);
    if (rs)
        AppendRows(*rs);
    m_bFetching = false;
    if (m_cursor->AtEnd())
        m_cursor.reset();  // its read snapshot is let go as soon as it is read out
}

void CVideoQueryDlg::AppendRows(CRecordset& rs)
{
    int row = m_recordList->rowCount();
    m_recordList->setRowCount(row + static_cast<int>(rs.RowCount()));
    for (; !rs.IsEOF(); rs.MoveNext(), ++row)
        SetRow(row, rs);
}

void CVideoQueryDlg::SetRow(int row, const CRecordset& rs)
{
    m_recordList->setItem(row, 0, Cell(FieldText(rs, "capdrive"), Qt::AlignCenter));
    m_recordList->setItem(row, 1, Cell(FieldText(rs, "start_time"), Qt::AlignCenter));
    m_recordList->setItem(row, 2, Cell(FieldText(rs, "video_save_path"), Qt::AlignLeft | Qt::AlignVCenter));
}

void CVideoQueryDlg::OnListScrolled(int value)
{
    const QScrollBar* bar = m_recordList->verticalScrollBar();
    if (value >= bar->maximum() - bar->pageStep())
        FetchMoreRows();
}

void CVideoQueryDlg::RebuildDateCombo(const QString& device)
{
    RecordsetPtr rs = ExecuteCommand(HistoryDaysStatement(device));
    m_dateCombo->clear();
    m_dateCombo->addItem(kAllFilter);
    if (rs) {
        for (; !rs->IsEOF(); rs->MoveNext())
            m_dateCombo->addItem(QString::fromStdString(FieldText(*rs, "start_time")));
        rs->Close();
    }
    m_dateCombo->setCurrentIndex(0);
}

// Only a chosen entry filters; text typed into a combo's edit field is not used.
void CVideoQueryDlg::OnSelendokFilter()
{
    m_strDate = m_dateCombo->itemText(m_dateCombo->currentIndex());
    m_strDevice = m_deviceCombo->itemText(m_deviceCombo->currentIndex());
    QueryHistory(m_strDevice, m_strDate);
    ReloadTimeline();
}

int CVideoQueryDlg::FirstSelectedRow() const
{
    int first = -1;
    for (const QModelIndex& index : m_recordList->selectionModel()->selectedRows())
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

void CVideoQueryDlg::OnDblclkRecordList()
{
    PlayRow(FirstSelectedRow());
}

void CVideoQueryDlg::PlayRow(int row)
{
    if (row >= 0 && row < m_recordList->rowCount() &&
        m_player->PlayFile(Utf8(m_recordList->item(row, 2)->text())) == CVideoPlayDlg::kPlayStarted)
        MarkEventsOfPlayingRecording();
}

// The rows asked about are taken before the question: whatever the list
// does meanwhile, what goes is what the question named, found by its path.
void CVideoQueryDlg::OnRclickRecordList()
{
    std::vector<ListedRecording> asked;
    for (int row : m_recordList->SelectedRows())
        asked.push_back({m_recordList->item(row, 0)->text(), m_recordList->item(row, 1)->text(),
                         m_recordList->item(row, 2)->text()});
    if (asked.empty() || !MessageBoxYesNo(this, DeleteQuestion(asked), true))
        return;
    QStringList kept;
    for (const ListedRecording& recording : asked) {
        const QString reason = IsOpenRecording(Utf8(recording.path)) ? QStringLiteral("正在录制，不能删除")
                                                                      : DeleteRecordingFile(recording.path);
        if (!reason.isEmpty()) {
            kept << QStringLiteral("%1（%2）").arg(recording.path, reason);
            continue;
        }
        ExecuteCommand(HistoryDeleteStatement(recording.path));
        for (int row = m_recordList->rowCount() - 1; row >= 0; --row)
            if (m_recordList->item(row, 2)->text() == recording.path)
                m_recordList->removeRow(row);
    }
    ReloadTimeline();
    if (!kept.isEmpty())
        MessageBoxWarning(this, QStringLiteral("以下录像没有删除：\n") + kept.join(QLatin1Char('\n')));
}

void CVideoQueryDlg::OnExport()
{
    const int row = FirstSelectedRow();
    int camera = m_deviceCombo->currentText().toInt();
    TimeValue from = CurrentTime() - 60;
    if (const std::optional<PreciseTime> shown = m_player->ShownMoment(); shown && m_player->RecordingCamera() > 0) {
        camera = m_player->RecordingCamera();  // from the picture on screen
        from = WholeSeconds(*shown);
    } else if (row >= 0) {
        camera = m_recordList->item(row, 0)->text().toInt();
        if (const std::optional<TimeValue> start = ParseLocalTime(Utf8(m_recordList->item(row, 1)->text())))
            from = *start;
    }
    CExportDlg dialog(this, camera == 0 ? 1 : camera, from, from + 60);
    dialog.exec();
}

// A file that is already gone counts as deleted; one that stays is said so,
// and its row is kept, so the recording is not left behind unlisted. A file
// that is not one of the recording folder's own recordings is left alone and
// only its row goes. Empty when the row may go, else why the recording stays.
QString CVideoQueryDlg::DeleteRecordingFile(const QString& path)
{
    const DeleteOutcome outcome = DeleteOwnRecording(QFile::encodeName(path).toStdString(), ReadSetting(kKeyVideoRootPath));
    if (outcome == DeleteOutcome::kLeftAlone)
        MessageBoxWarning(this, QStringLiteral("只删除了这条记录：%1 不是录像文件夹里的录像文件，文件保留。").arg(path));
    if (outcome != DeleteOutcome::kFailed)
        return QString();
    return QStringLiteral("文件删除失败：%1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}
