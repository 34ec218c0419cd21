#include "StartupSequence.h"

#include "Database.h"
#include "Dialogs.h"
#include "ErrorLog.h"
#include "EventLog.h"
#include "FolderLock.h"
#include "ResString.h"
#include "Settings.h"
#include "SplashDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {

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

StartupSequence::StartupSequence(EventLog& log, QWidget* window) : m_log(log), m_window(window) {}

StartupSequence::~StartupSequence() = default;

void StartupSequence::ShowSplash()
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    m_splash = std::make_unique<CSplashDlg>(m_window);
    m_splash->show();
    const QSize size = m_splash->frameGeometry().size();
    m_splash->move(work.left() + (work.width() - size.width()) / 2, work.top() + (work.height() - size.height()) / 2);
    WaitUntilExposed(m_splash.get());
    m_splash->repaint();
}

void StartupSequence::HideSplash()
{
    if (m_splash)
        m_splash->hide();
}

void StartupSequence::ShowSplashAgain()
{
    if (m_splash)
        m_splash->show();
}

void StartupSequence::EndSplash()
{
    HideSplash();
    m_splash.reset();
}

// FFmpeg 5 registers its codecs itself; the step stays for its log line.
void StartupSequence::CodecStep()
{
    m_log.AddStep(StartupLog::kCodecBegin);
    m_log.AddStep(StartupLog::kCodecOk);
}

bool StartupSequence::DatabaseStep(QString* root)
{
    m_log.AddStep(StartupLog::kDatabaseBegin);
    const DatabaseOpening opening = OpenWorkingDatabase(kDatabaseFile);
    const bool connected = opening.state != DatabaseState::kNone;
    m_log.AddStep(connected ? StartupLog::kDatabaseOk : StartupLog::kDatabaseFailed);
    m_databaseNotice = NoticeFor(opening);
    const std::string where = QDir::current().filePath(QString::fromLatin1(kDatabaseFile)).toStdString();
    if (opening.state == DatabaseState::kNone && opening.problem.empty())
        LogError("no usable database at %s; 'lumaro --home' works in $LUMARO_HOME (default ~/Lumaro) and makes "
                 "its database on the first start\n", where.c_str());
    else if (!opening.problem.empty())
        LogError("database %s: %s%s\n", where.c_str(), opening.problem.c_str(),
                 opening.state == DatabaseState::kReadOnly ? "; the cameras record, their rows wait for a later start"
                 : opening.state == DatabaseState::kRenewed ? "; a new database was made" : "");
    *root = QString::fromStdString(ReadSetting(kKeyVideoRootPath));
    return connected;
}

// What the user is told about the database, and what to do.
QString StartupSequence::NoticeFor(const DatabaseOpening& opening)
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

// Two copies on one working folder would both record and sweep, and one
// would delete the other's open files: the second one says so and ends
// before it starts a camera, sweeps or writes a row.
bool StartupSequence::IsSecondCopy()
{
    if (m_instanceLock.Acquire(kInstanceLockFile) != InstanceLock::Result::HeldByAnother)
        return false;
    HideSplash();
    MessageBoxWarning(m_window, QStringLiteral("Lumaro 已经在运行：同一个工作文件夹只能运行一个 Lumaro，本次启动将退出。"));
    return true;
}

// Two working folders pointed at one recording folder would write the same
// files and sweep each other's: the one that comes second records nothing
// there, says so and ends, as a second copy does.
bool StartupSequence::IsRecordingFolderTaken(const QString& root)
{
    if (root.isEmpty() || FolderLock::Instance().Hold(root.toStdString()) != FolderLock::Result::kTaken)
        return false;
    HideSplash();
    LogError("recording folder '%s' is in use by another Lumaro; this one ends\n", root.toLocal8Bit().constData());
    MessageBoxWarning(m_window, QStringLiteral("另一个 Lumaro 正在向录像文件夹 %1 录像：一个录像文件夹只能由一个 Lumaro 使用，"
                                               "本次启动将退出。").arg(root));
    return true;
}
