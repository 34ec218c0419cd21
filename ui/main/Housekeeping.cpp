#include "Housekeeping.h"

#include "DatabaseGuard.h"
#include "Dialogs.h"
#include "ErrorLog.h"
#include "EventLog.h"
#include "FolderLock.h"
#include "HistoryWriter.h"
#include "RecordingDisk.h"
#include "Settings.h"

void Housekeeping::ReadSettings()
{
    m_retentionDays = QString::fromStdString(ReadSetting(kKeyCycleDelDays));
    m_minFreeSpace = QString::fromStdString(ReadSetting(kKeyMinFreeSpaceMb));
    m_settingsRead = true;
}

void Housekeeping::EverySecond(const std::string& root, bool spaceAsked)
{
    WatchDatabase();
    if (spaceAsked || --m_secondsToSpaceCheck <= 0)
        KeepFreeSpace(root);
}

bool Housekeeping::EveryMinute(const std::string& root, TimeValue now)
{
    const bool started = !m_sweep.IsRunning() && m_sweep.Start(m_retentionDays.toStdString(), now, root);
    CheckDatabaseFile();
    WatchRecordingFolder(root);
    return started && m_sweep.Step();
}

// The database taking or refusing rows.
void Housekeeping::WatchDatabase()
{
    const bool failing = HistoryWriter::Instance().IsFailing();
    if (failing != m_databaseFailing)
        m_log.AddEvent(failing ? QStringLiteral("数据库不能写入，录像记录稍后补写") : QStringLiteral("数据库恢复写入"));
    m_databaseFailing = failing;
}

// Two minutes of what the cameras write stay free beyond the reserve; while
// less than that is left, the space is looked at every few seconds. A full
// disk itself is told by the cameras it stops (未录像：磁盘已满).
void Housekeeping::KeepFreeSpace(const std::string& root)
{
    if (!m_settingsRead)
        return;
    const std::string setting = m_minFreeSpace.toStdString();
    const auto headroom = static_cast<std::uint64_t>(kHeadroomSeconds * m_writeRate.Measure(std::chrono::steady_clock::now()));
    const int deleted = RunFreeSpaceSweep(root, setting, ReadSpace, headroom);
    if (deleted > 0)
        m_log.AddEvent(QStringLiteral("磁盘空间不足，删除了 %1 个最早的录像").arg(deleted));
    m_secondsToSpaceCheck = IsSpaceShort(root, setting, headroom) ? kShortSpaceCheckSeconds : kSpaceCheckSeconds;
}

// A database deleted or replaced under the program is written back from the
// open connection, and the user is told.
void Housekeeping::CheckDatabaseFile()
{
    const std::string happened = RescueMovedDatabase();
    if (happened.empty())
        return;
    LogError("%s\n", happened.c_str());
    ShowNotice(m_window, QString::fromStdString(happened));
}

// The folder's lock is still this Lumaro's (a folder made anew is locked
// again), and a disk newly mounted under the folder's place is remembered
// as its disk.
void Housekeeping::WatchRecordingFolder(const std::string& root)
{
    if (root.empty() || CheckRecordingFolder(root) != FolderState::kReady)
        return;
    RememberFolderMount(root);
    if (FolderLock::Instance().Hold(root) == FolderLock::Result::kTaken && !m_folderTakenTold) {
        m_folderTakenTold = true;
        LogError("recording folder '%s' is locked by another Lumaro now; nothing is recorded there\n", root.c_str());
        m_log.AddEvent(QStringLiteral("另一个 Lumaro 在用录像文件夹 %1，这里不再向它录像").arg(QString::fromStdString(root)));
    }
}

void Housekeeping::TellRecordingFolder(const std::string& root)
{
    const QString folder = QString::fromStdString(root);
    QString said;
    switch (CheckRecordingFolder(root)) {
    case FolderState::kMissing:
        said = QStringLiteral("录像文件夹不存在：%1").arg(folder);
        break;
    case FolderState::kOtherDisk:
        said = QStringLiteral("录像磁盘没有接上：%1 所在的磁盘（%2）").arg(folder, QString::fromStdString(ExpectedFolderMount(root)));
        break;
    default:
        return;
    }
    m_log.AddEvent(said);
    ShowNotice(m_window, said + QStringLiteral("。摄像头照常显示；文件夹或磁盘回来以后，几秒内自动开始录像。"));
}
