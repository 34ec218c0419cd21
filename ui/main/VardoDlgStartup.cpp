// The main window's start-up sequence, run while the window is still hidden.
#include "VardoDlg.h"
#include "ErrorLog.h"

#include "CameraDlg.h"
#include "CameraSources.h"
#include "Database.h"
#include "DatabaseGuard.h"
#include "Dialogs.h"
#include "FolderLock.h"
#include "HistoryReconcile.h"
#include "ETBitmapButton.h"
#include "ETButton.h"
#include "Images.h"
#include "RecordingDisk.h"
#include "ResString.h"
#include "Settings.h"
#include "SplashDlg.h"
#include "TextFormat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QWindow>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QScreen>

#include <cstdio>

namespace {

const QPoint kPanelOrigins[CvardoDlg::kPanelCount] = {{5, 2}, {327, 2}, {5, 244}, {327, 244}};
const QSize kPanelSize(320, 240);
constexpr int kExposeWaitMs = 500;

// A window system maps a new window in its own time, and a window that is
// not mapped yet is not drawn: the splash would stay black through a slow
// database step. Input waits for the event loop proper.
void WaitUntilExposed(QWidget* widget)
{
    QElapsedTimer clock;
    clock.start();
    const QWindow* window = widget->windowHandle();
    while (window != nullptr && !window->isExposed() && clock.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
}

}  // namespace

int CvardoDlg::DoModal()
{
    OnInitDialog();
    if (m_bEnded)
        return result();
    return exec();
}

bool CvardoDlg::OnInitDialog()
{
    UpdateLog();
    ShowSplash();
    AddSystemMenuItem();
    m_btnHelp->SetImage(QPixmap::fromImage(HelpButtonImage()));
    m_btnHelp->resize(32, 32);
    UpdateClock();
    UpdateLog();
    m_timers.SetTimer(TIMER_CLOCK, 1000);
    InitCodecStep();
    const bool connected = ConnectDatabaseStep();
    m_splashDlg->repaint();
    if (m_bEnded || (connected && IsSecondCopy()))
        return true;  // a signal during the start-up ends it here
    if (connected) {
        RememberFolderMount(m_strVideoRootPath.toStdString());
        if (IsRecordingFolderTaken())
            return true;
        m_btnStart->setEnabled(m_bMonitoring == 0);
        m_btnStop->setEnabled(m_bMonitoring == 1);
    } else {
        m_btnStart->setEnabled(false);
        m_btnStop->setEnabled(false);
        MessageBoxWarning(this, m_databaseNotice.isEmpty() ? QStringLiteral("数据库连接失败，请确保程序完成，软件才能正常使用！")
                                                           : m_databaseNotice);
        done(QDialog::Rejected);
    }
    // The cameras start whatever the recording folder's state: nothing the
    // user is asked, and no check of the history, stands before them.
    InitMonitorPanels();
    if (connected && !m_bEnded) {
        CheckRecordingRoot();
        m_historyCheck.Start(m_strVideoRootPath.toStdString());
    }
    if (connected && !m_databaseNotice.isEmpty())
        ShowNotice(this, m_databaseNotice);  // the cameras record meanwhile
    m_timers.SetTimer(TIMER_REMOTE_WELCOME, 3000);
    m_splashDlg->repaint();
    update();
    ReadPeriodicSettings();
    m_timers.SetTimer(TIMER_CLEANUP, 60000);
    return true;
}

void CvardoDlg::AppendLog(const char* text)
{
    m_strLog += QString::fromUtf8(text);
}

// The log box shows the start-up log (its line ends are "\r\n") and the
// events after it, scrolled to the newest.
void CvardoDlg::UpdateLog()
{
    QString shown = m_strLog;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!m_events.isEmpty())
        shown += m_events.join(QLatin1Char('\n'));
    m_logBox->setPlainText(shown);
    m_logBox->moveCursor(QTextCursor::End);
    m_logBox->ensureCursorVisible();
    m_logBox->horizontalScrollBar()->setValue(0);
}

void CvardoDlg::ShowSplash()
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    m_splashDlg = std::make_unique<CSplashDlg>(this);
    m_splashDlg->show();
    const QSize size = m_splashDlg->frameGeometry().size();
    m_splashDlg->move(work.left() + (work.width() - size.width()) / 2,
                      work.top() + (work.height() - size.height()) / 2);
    WaitUntilExposed(m_splashDlg.get());
    m_splashDlg->repaint();
}

// FFmpeg 5 registers its codecs itself; the step stays for its log line.
void CvardoDlg::InitCodecStep()
{
    AppendLog(StartupLog::kCodecBegin);
    AppendLog(StartupLog::kCodecOk);
    UpdateLog();
}

bool CvardoDlg::ConnectDatabaseStep()
{
    AppendLog(StartupLog::kDatabaseBegin);
    const DatabaseOpening opening = OpenWorkingDatabase(kDatabaseFile);
    const bool connected = opening.state != DatabaseState::kNone;
    AppendLog(connected ? StartupLog::kDatabaseOk : StartupLog::kDatabaseFailed);
    UpdateLog();
    m_databaseNotice = DatabaseNotice(opening);
    const std::string where = QDir::current().filePath(QString::fromLatin1(kDatabaseFile)).toStdString();
    if (opening.state == DatabaseState::kNone && opening.problem.empty())
        LogError("no usable database at %s; 'lumaro --home' works in $LUMARO_HOME (default ~/Lumaro) and makes "
                 "its database on the first start\n", where.c_str());
    else if (!opening.problem.empty())
        LogError("database %s: %s%s\n", where.c_str(), opening.problem.c_str(),
                 opening.state == DatabaseState::kReadOnly ? "; the cameras record, their rows wait for a later start"
                 : opening.state == DatabaseState::kRenewed ? "; a new database was made" : "");
    m_strVideoRootPath = QString::fromStdString(ReadSetting(kKeyVideoRootPath));
    return connected;
}

// What the user is told about the database, and what to do; empty when all
// is well.
QString CvardoDlg::DatabaseNotice(const DatabaseOpening& opening)
{
    const QString file = QString::fromLatin1(kDatabaseFile);
    const QString problem = QString::fromStdString(opening.problem);
    switch (opening.state) {
    case DatabaseState::kReadOnly:
        return QStringLiteral("数据库 %1 不能写入（%2）。摄像头照常录像；数据库能写入以后，下次启动时会补上录像记录。"
                              "请检查这个文件和它所在文件夹的权限，以及磁盘是否已满。").arg(file, problem);
    case DatabaseState::kRenewed:
        return QStringLiteral("数据库 %1 不能使用（%2），已经建了一个新的数据库%3。请重新设置录像文件夹和摄像头；"
                              "录像文件夹里的录像会在启动检查时重新登记。")
            .arg(file, problem,
                 opening.setAside.empty() ? QString() : QStringLiteral("（原来的文件改名为 %1）").arg(QString::fromStdString(opening.setAside)));
    case DatabaseState::kNone:
        if (!opening.problem.empty())
            return QStringLiteral("数据库 %1 不能使用（%2）。请检查这个文件和它所在的文件夹。").arg(file, problem);
        break;
    case DatabaseState::kWritable:
        break;
    }
    return QString();
}

bool CvardoDlg::IsUsableRoot(const QString& path)
{
    const QFileInfo root(path);
    return !path.isEmpty() && root.isDir() && !root.isRoot();
}

// Two copies on one working folder would both record and sweep, and one
// would delete the other's open files: the second one says so and ends
// before it starts a camera, sweeps or writes a row.
bool CvardoDlg::IsSecondCopy()
{
    if (m_instanceLock.Acquire(kInstanceLockFile) != InstanceLock::Result::HeldByAnother)
        return false;
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(false);
    m_splashDlg->hide();
    MessageBoxWarning(this, QStringLiteral("Lumaro 已经在运行：同一个工作文件夹只能运行一个 Lumaro，本次启动将退出。"));
    done(QDialog::Rejected);
    return true;
}

// Two working folders pointed at one recording folder would write the same
// files and sweep each other's: the one that comes second records nothing
// there, says so and ends, as a second copy does.
bool CvardoDlg::IsRecordingFolderTaken()
{
    if (m_strVideoRootPath.isEmpty() ||
        FolderLock::Instance().Hold(m_strVideoRootPath.toStdString()) != FolderLock::Result::kTaken)
        return false;
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(false);
    m_splashDlg->hide();
    LogError("recording folder '%s' is in use by another Lumaro; this one ends\n", m_strVideoRootPath.toLocal8Bit().constData());
    MessageBoxWarning(this, QStringLiteral("另一个 Lumaro 正在向录像文件夹 %1 录像：一个录像文件夹只能由一个 Lumaro 使用，"
                                           "本次启动将退出。").arg(m_strVideoRootPath));
    done(QDialog::Rejected);
    return true;
}

// A folder never set is asked for at once (the cameras run meanwhile, and
// record into it as soon as it is chosen); a folder set but out of reach
// is told without stopping anything: recording begins by itself within
// seconds of the folder or its disk coming back.
void CvardoDlg::CheckRecordingRoot()
{
    if (!m_strVideoRootPath.isEmpty() && !QFileInfo(m_strVideoRootPath).isRoot())
        return TellRecordingFolder();
    m_splashDlg->hide();
    MessageBoxWarning(this, QStringLiteral("还没有设置保存录像文件的路径，请马上设置！"));
    if (m_bEnded)
        return;
    OpenSettings(true);
    ApplyRecordingRoot();
    m_splashDlg->show();
}

void CvardoDlg::TellRecordingFolder()
{
    const std::string root = m_strVideoRootPath.toStdString();
    QString said;
    switch (CheckRecordingFolder(root)) {
    case FolderState::kMissing:
        said = QStringLiteral("录像文件夹不存在：%1").arg(m_strVideoRootPath);
        break;
    case FolderState::kOtherDisk:
        said = QStringLiteral("录像磁盘没有接上：%1 所在的磁盘（%2）").arg(m_strVideoRootPath,
                                                                   QString::fromStdString(ExpectedFolderMount(root)));
        break;
    default:
        return;
    }
    AppendEvent(said);
    ShowNotice(this, said + QStringLiteral("。摄像头照常显示；文件夹或磁盘回来以后，几秒内自动开始录像。"));
}

// Once a minute: the folder's lock is still this Lumaro's (a folder made
// anew is locked again), and a disk newly mounted under the folder's place
// is remembered as its disk.
void CvardoDlg::WatchRecordingFolder()
{
    const std::string root = m_strVideoRootPath.toStdString();
    if (root.empty() || CheckRecordingFolder(root) != FolderState::kReady)
        return;
    RememberFolderMount(root);
    if (FolderLock::Instance().Hold(root) == FolderLock::Result::kTaken && !m_folderTakenTold) {
        m_folderTakenTold = true;
        LogError("recording folder '%s' is locked by another Lumaro now; nothing is recorded there\n", root.c_str());
        AppendEvent(QStringLiteral("另一个 Lumaro 在用录像文件夹 %1，这里不再向它录像").arg(m_strVideoRootPath));
    }
}

// The four panels' area, which a panel's full view covers.
QRect CvardoDlg::VideoArea()
{
    return QRect(kPanelOrigins[0], kPanelOrigins[kPanelCount - 1] + QPoint(kPanelSize.width() - 1, kPanelSize.height() - 1));
}

void CvardoDlg::InitMonitorPanels()
{
    AppendLog(StartupLog::kMonitorBegin);
    UpdateLog();
    for (int i = 0; i < kPanelCount; ++i) {
        CCameraDlg* panel = m_cameraDlg[static_cast<size_t>(i)];
        panel->show();
        panel->SetRecordingRoot(m_strVideoRootPath.toStdString());
        panel->setGeometry(QRect(kPanelOrigins[i], kPanelSize));
        panel->show();
    }
    for (int i = 0; i < kPanelCount; ++i) {
        CCameraDlg* panel = m_cameraDlg[static_cast<size_t>(i)];
        panel->SetDeviceIndex(i);
        panel->Capture().SetSource(ReadCameraSource(i));
        panel->Capture().SetMotionSettings(ReadMotionSettings(i));
        panel->KillTimer(CCameraDlg::TIMER_CAMERA_START);
        panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, CCameraDlg::kRetryPeriodMs);
    }
    AppendLog(StartupLog::kMonitorOk);
    UpdateLog();
}

void CvardoDlg::UpdateClock()
{
    m_clock->setText(QString::fromStdString(FormatLocalTime("%Y-%m-%d\n %H:%M:%S", CurrentTime())));
}

QString CvardoDlg::ClockText() const
{
    return m_clock->text();
}
