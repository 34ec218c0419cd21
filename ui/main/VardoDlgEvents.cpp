// What the main window's status box tells after the start-up: each event
// with its time, the newest at the bottom. Cameras tell their own events;
// the window watches the database, the disk and the recording folder.
#include "VardoDlg.h"

#include "CameraDlg.h"
#include "Dialogs.h"
#include "ErrorLog.h"
#include "FolderLock.h"
#include "HistoryWriter.h"
#include "RecordingDisk.h"
#include "Settings.h"
#include "TextFormat.h"

#include <algorithm>

void CvardoDlg::AppendEvent(const QString& text)
{
    m_events.append(QString::fromStdString(FormatLocalTime("%H:%M:%S ", CurrentTime())) + text);
    while (m_events.size() > kMaxEvents)
        m_events.removeFirst();
    UpdateLog();
}

void CvardoDlg::ConnectPanelEvents()
{
    for (CCameraDlg* panel : m_cameraDlg) {
        connect(panel, &CCameraDlg::StatusEvent, this, &CvardoDlg::AppendEvent);
        connect(panel, &CCameraDlg::FullViewAsked, this, &CvardoDlg::ToggleFullView);
    }
}

void CvardoDlg::ToggleFullView(CCameraDlg* panel)
{
    if (panel->IsFullView())
        return ShowAllPanels();
    for (CCameraDlg* other : m_cameraDlg)
        other->setVisible(other == panel);
    panel->SetFullView(true, VideoArea());
}

void CvardoDlg::ShowAllPanels()
{
    if (std::none_of(m_cameraDlg.begin(), m_cameraDlg.end(), [](CCameraDlg* panel) { return panel->IsFullView(); }))
        return;
    for (CCameraDlg* panel : m_cameraDlg) {
        panel->SetFullView(false);
        panel->show();
    }
}

// Once a second: the database taking or refusing rows, and the space.
void CvardoDlg::WatchStatus()
{
    const bool failing = HistoryWriter::Instance().IsFailing();
    if (failing != m_databaseFailing)
        AppendEvent(failing ? QStringLiteral("数据库不能写入，录像记录稍后补写") : QStringLiteral("数据库恢复写入"));
    m_databaseFailing = failing;
}

// A full disk itself is told by the cameras it stops (未录像：磁盘已满).
void CvardoDlg::TellSweep(int deleted)
{
    if (deleted > 0)
        AppendEvent(QStringLiteral("磁盘空间不足，删除了 %1 个最早的录像").arg(deleted));
}

// A recording folder chosen in the settings is recorded into at once: its
// lock is taken (a folder another Lumaro records into is refused, and the
// setting goes back), each camera ends its file and begins the next there.
void CvardoDlg::ApplyRecordingRoot()
{
    const QString chosen = QString::fromStdString(ReadSetting(kKeyVideoRootPath));
    if (chosen == m_strVideoRootPath || !IsUsableRoot(chosen))
        return;
    if (FolderLock::Instance().Hold(chosen.toStdString()) == FolderLock::Result::kTaken) {
        WriteSetting(kKeyVideoRootPath, m_strVideoRootPath.toStdString());
        MessageBoxWarning(this, QStringLiteral("另一个 Lumaro 正在向录像文件夹 %1 录像：一个录像文件夹只能由一个 Lumaro 使用，"
                                               "录像文件夹没有改变。").arg(chosen));
        return;
    }
    m_strVideoRootPath = chosen;
    WriteSetting(kKeyVideoRootMount, std::string());  // the new folder's own disk
    RememberFolderMount(chosen.toStdString());
    m_historyCheck.Start(chosen.toStdString());
    for (CCameraDlg* panel : m_cameraDlg)
        panel->ChangeRecordingRoot(chosen.toStdString(), m_bMonitoring == 1);
    LogError("recording folder is now '%s'\n", chosen.toLocal8Bit().constData());
    AppendEvent(QStringLiteral("录像文件夹改为 ") + chosen);
}
