#include "VardoDlg.h"

#include "AboutDlg.h"
#include "CameraDlg.h"
#include "CameraSourcesDlg.h"
#include "Dialogs.h"
#include "ETBitmapButton.h"
#include "ETButton.h"
#include "ErrorLog.h"
#include "Explorer1.h"
#include "FolderLock.h"
#include "HelpDlg.h"
#include "Images.h"
#include "RecordFormat.h"
#include "RecordingDisk.h"
#include "ResString.h"
#include "Settings.h"
#include "SoftSetDlg.h"
#include "SplashDlg.h"
#include "TextFormat.h"
#include "VideoQueryDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QTimerEvent>

CvardoDlg::CvardoDlg(QWidget* parent)
    : QDialog(parent), m_canvas(CreateMainCanvas(this)), m_panels(m_canvas), m_controls(CreateMainControls(m_canvas)),
      m_log(m_controls.logBox)
{
    setWindowTitle(QStringLiteral("Lumaro - 您的安防助手"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QPixmap::fromImage(AppIconImage())));
    ConnectCommands();
}

// The recording folder's lock goes with the window: its cameras are done.
CvardoDlg::~CvardoDlg()
{
    ReleaseCameras();
    FolderLock::Instance().Release();
}

void CvardoDlg::ConnectCommands()
{
    connect(m_controls.start, &QPushButton::clicked, this, &CvardoDlg::StartMonitoring);
    connect(m_controls.stop, &QPushButton::clicked, this, &CvardoDlg::StopMonitoring);
    connect(m_controls.query, &QPushButton::clicked, this, &CvardoDlg::OnQueryHistory);
    connect(m_controls.settings, &QPushButton::clicked, this, &CvardoDlg::OnSettings);
    connect(m_controls.about, &QPushButton::clicked, this, &CvardoDlg::OnAbout);
    connect(m_controls.help, &QAbstractButton::clicked, this, &CvardoDlg::OnHelp);
    connect(m_controls.browser, &CExplorer1::NavigateError, this, &CvardoDlg::OnNavigateError);
    connect(m_controls.browser, &CExplorer1::HelpAsked, this, &CvardoDlg::OnHelp);
    m_remote.ShowPanels(m_panels.Panels());
    for (CCameraDlg* panel : m_panels.Panels()) {
        connect(panel, &CCameraDlg::StatusEvent, this, &CvardoDlg::AppendEvent);
        connect(panel, &CCameraDlg::FullViewAsked, this, [this](CCameraDlg* asked) { m_panels.ToggleFullView(asked); });
    }
}

// The window manager owns the title-bar menu, so the about item goes into
// the window's own context menu.
void CvardoDlg::AddSystemMenuItem()
{
    const QString text = QString::fromStdString(LoadResString(IDS_ABOUTBOX));
    if (text.isEmpty())
        return;
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* about = new QAction(text, this);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

int CvardoDlg::DoModal()
{
    OnInitDialog();
    if (m_bEnded)
        return result();
    return exec();
}

// Run while the window is still hidden. The cameras start whatever the
// recording folder's state: nothing the user is asked, and no check of
// the history, stands before them.
bool CvardoDlg::OnInitDialog()
{
    m_log.Show();
    m_startup.ShowSplash();
    AddSystemMenuItem();
    m_controls.help->SetImage(QPixmap::fromImage(HelpButtonImage()));
    m_controls.help->resize(32, 32);
    UpdateClock();
    m_timers.SetTimer(TIMER_CLOCK, 1000);
    m_startup.CodecStep();
    const bool connected = m_startup.DatabaseStep(&m_strVideoRootPath);
    m_startup.Splash()->repaint();
    if (connected && !RunStartupChecks())
        return true;
    SetCommandsEnabled(m_monitoring, connected);
    if (!connected) {
        const QString notice = m_startup.DatabaseNotice();
        MessageBoxWarning(this, notice.isEmpty() ? QStringLiteral("数据库连接失败，请确保程序完成，软件才能正常使用！") : notice);
        done(QDialog::Rejected);
    }
    StartPanels();
    if (connected && !m_bEnded) {
        CheckRecordingRoot();
        m_historyCheck.Start(m_strVideoRootPath.toStdString());
    }
    if (connected && !m_startup.DatabaseNotice().isEmpty())
        ShowNotice(this, m_startup.DatabaseNotice());  // the cameras record meanwhile
    m_timers.SetTimer(TIMER_REMOTE_WELCOME, 3000);
    if (m_startup.Splash() != nullptr)
        m_startup.Splash()->repaint();
    update();
    m_housekeeping.ReadSettings();
    m_timers.SetTimer(TIMER_CLEANUP, 60000);
    if (connected && !m_bEnded)
        m_remote.Apply();
    return true;
}

// False when this start ends here: a signal came during the start-up,
// another copy runs on the working folder, or another Lumaro records into
// the recording folder.
bool CvardoDlg::RunStartupChecks()
{
    if (m_bEnded)
        return false;
    if (m_startup.IsSecondCopy())
        return EndStartup(), false;
    RememberFolderMount(m_strVideoRootPath.toStdString());
    if (m_startup.IsRecordingFolderTaken(m_strVideoRootPath))
        return EndStartup(), false;
    return true;
}

void CvardoDlg::EndStartup()
{
    SetCommandsEnabled(false, false);
    done(QDialog::Rejected);
}

void CvardoDlg::SetCommandsEnabled(bool monitoring, bool usable)
{
    m_controls.start->setEnabled(usable && !monitoring);
    m_controls.stop->setEnabled(usable && monitoring);
}

void CvardoDlg::StartPanels()
{
    ChooseRecordFormat(ParseRecordFormat(ReadSetting(kKeyRecordFormat)));
    m_log.AddStep(StartupLog::kMonitorBegin);
    m_panels.Start(m_strVideoRootPath.toStdString());
    m_log.AddStep(StartupLog::kMonitorOk);
}

bool CvardoDlg::IsUsableRoot(const QString& path)
{
    const QFileInfo root(path);
    return !path.isEmpty() && root.isDir() && !root.isRoot();
}

// A folder never set is asked for at once (the cameras run meanwhile, and
// record into it as soon as it is chosen); a folder set but out of reach
// is told without stopping anything: recording begins by itself within
// seconds of the folder or its disk coming back.
void CvardoDlg::CheckRecordingRoot()
{
    if (!m_strVideoRootPath.isEmpty() && !QFileInfo(m_strVideoRootPath).isRoot())
        return m_housekeeping.TellRecordingFolder(m_strVideoRootPath.toStdString());
    m_startup.HideSplash();
    MessageBoxWarning(this, QStringLiteral("还没有设置保存录像文件的路径，请马上设置！"));
    if (m_bEnded)
        return;
    OpenSettings(true);
    ApplyRecordingRoot();
    m_startup.ShowSplashAgain();
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
    m_panels.ChangeRoot(chosen.toStdString(), m_monitoring);
    LogError("recording folder is now '%s'\n", chosen.toLocal8Bit().constData());
    AppendEvent(QStringLiteral("录像文件夹改为 ") + chosen);
}

void CvardoDlg::StartMonitoring()
{
    m_monitoring = true;
    SetCommandsEnabled(true, true);
    AppendEvent(QStringLiteral("监控已启动"));
    m_panels.StartCameras();
}

void CvardoDlg::StopMonitoring()
{
    m_monitoring = false;
    SetCommandsEnabled(false, true);
    AppendEvent(QStringLiteral("监控已停止"));
    m_panels.StopCameras();
}

void CvardoDlg::timerEvent(QTimerEvent* e)
{
    const int id = m_timers.Dispatch(e);
    if (id != 0)
        OnTimer(id);
    else
        QDialog::timerEvent(e);
}

void CvardoDlg::OnTimer(int id)
{
    const std::string root = m_strVideoRootPath.toStdString();
    switch (id) {
    case TIMER_LOCAL_WELCOME:
        return ShowLocalWelcome();
    case TIMER_CLOCK:
        UpdateClock();
        return m_housekeeping.EverySecond(root, TakeFreeSpaceRequest());
    case TIMER_SPLASH_END:
        return EndSplash();
    case TIMER_CLEANUP:
        if (m_housekeeping.EveryMinute(root, CurrentTime()))
            m_timers.SetTimer(TIMER_SWEEP_STEP, 0);
        return;
    case TIMER_SWEEP_STEP:  // the rest of a large sweep, a batch per turn of the event loop
        if (!m_housekeeping.SweepStep())
            m_timers.KillTimer(TIMER_SWEEP_STEP);
        return;
    case TIMER_REMOTE_WELCOME:
        m_timers.KillTimer(TIMER_REMOTE_WELCOME);
        return ShowRemoteWelcome();
    default:
        return;
    }
}

void CvardoDlg::UpdateClock()
{
    m_controls.clock->setText(QString::fromStdString(FormatLocalTime("%Y-%m-%d\n %H:%M:%S", CurrentTime())));
}

QString CvardoDlg::ClockText() const
{
    return m_controls.clock->text();
}

void CvardoDlg::EndSplash()
{
    m_timers.KillTimer(TIMER_SPLASH_END);
    m_startup.EndSplash();
    if (CHelpDlg::ShowAtStart())
        OnHelp();
}

void CvardoDlg::OnSysCommand(int id)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
}

void CvardoDlg::OnQueryHistory()
{
    CVideoQueryDlg dialog(this);
    dialog.DoModal();
}

void CvardoDlg::OpenSettings(bool firstStart)
{
    CSoftSetDlg dialog(this);
    dialog.SetFirstStart(firstStart);
    dialog.FormatRow().SetEstimate({SpaceForRecordings(m_strVideoRootPath.toStdString()),
                                    m_housekeeping.WriteBytesPerSecond(), ChosenRecordFormat(),
                                    m_panels.TypicalMpeg1Rate()});
    dialog.SetCameraSettings([this, &dialog] { OnCameraSettings(&dialog); });
    dialog.SetRemoteView([this, &dialog] { m_remote.OpenSettings(&dialog); });
    dialog.exec();
    m_housekeeping.ReadSettings();
    m_remote.Apply();
    // A format chosen now: each camera ends its file and begins one in it.
    ChooseRecordFormat(ParseRecordFormat(ReadSetting(kKeyRecordFormat)));
    if (!firstStart)
        ApplyRecordingRoot();
}

void CvardoDlg::OnCameraSettings(QWidget* parent)
{
    CCameraSourcesDlg dialog(parent);
    dialog.SetLivePictures([this](int position) { return m_panels.Panel(position)->Canvas(); });
    if (dialog.exec() == QDialog::Accepted)
        m_panels.ApplyCameraSettings(dialog.Changed(), m_monitoring);
}

void CvardoDlg::OnAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

void CvardoDlg::OnHelp()
{
    CHelpDlg dialog(this);
    dialog.exec();
}

void CvardoDlg::ShowRemoteWelcome()
{
    m_controls.browser->Navigate(WelcomeAddresses::Remote() + QStringLiteral("?SoftVer=") +
                                 QString::fromStdString(LoadResString(IDS_VERSION)));
}

// Only a failure of the remote page brings the embedded one; the banner
// shows no error page of its own in any case.
void CvardoDlg::OnNavigateError(const QString& address, int)
{
    if (address.contains(WelcomeAddresses::Remote()))
        m_timers.SetTimer(TIMER_LOCAL_WELCOME, 0);
}

void CvardoDlg::ShowLocalWelcome()
{
    m_timers.KillTimer(TIMER_LOCAL_WELCOME);
    m_controls.browser->Navigate(WelcomeAddresses::Local());
}

// Only the first show ends the splash (and may bring the help); a restore
// from minimised shows the window again and must not.
void CvardoDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_bShownOnce)
        return;
    m_bShownOnce = true;
    m_timers.SetTimer(TIMER_SPLASH_END, 2000);
}

// A window closed by a slip of the mouse would end every recording: while
// the cameras record, the user is asked first (否 by default). Signals end
// the program at once, through RequestClose.
void CvardoDlg::closeEvent(QCloseEvent* e)
{
    if (!m_bEnded && IsMonitoring() && !MessageBoxYesNo(this, QStringLiteral("正在录像，确定要退出吗？"), true)) {
        e->ignore();
        return;
    }
    e->accept();
    done(QDialog::Rejected);
}

// Whatever ends the window ends the cameras first, so every recording gets
// its end code before the panels go.
void CvardoDlg::done(int result)
{
    m_bEnded = true;
    m_remote.Stop();
    ReleaseCameras();
    QDialog::done(result);
}

void CvardoDlg::ReleaseCameras()
{
    m_historyCheck.Stop();
    m_panels.Release();
}

void CvardoDlg::RequestClose()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog != this && dialog->isVisible() && dialog != m_startup.Splash())
            dialog->done(QDialog::Rejected);
    }
    done(QDialog::Rejected);
}
