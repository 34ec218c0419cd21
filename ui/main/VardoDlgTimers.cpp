// Monitoring on and off, the main window's timers and the welcome banner.
#include "VardoDlg.h"

#include "CameraDlg.h"
#include "ETButton.h"
#include "DatabaseGuard.h"
#include "Dialogs.h"
#include "ErrorLog.h"
#include "FreeSpace.h"
#include "Explorer1.h"
#include "HelpDlg.h"
#include "ResString.h"
#include "RetentionSweep.h"
#include "SplashDlg.h"
#include "TextFormat.h"

#include <QTimerEvent>

#include <cstdlib>

namespace {

// Where the banner asks for its page; a closed local port by default, so a
// machine without a network falls back to the embedded page at once.
const char* const kWelcomeHostVariable = "LUMARO_WELCOME_HOST";
const char* const kDefaultWelcomeHost = "127.0.0.1:9";

}  // namespace

void CvardoDlg::StartMonitoring()
{
    m_bMonitoring = 1;
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(m_bMonitoring == 1);
    AppendEvent(QStringLiteral("监控已启动"));
    for (CCameraDlg* panel : m_cameraDlg) {
        panel->KillTimer(CCameraDlg::TIMER_CAMERA_START);
        panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, CCameraDlg::kRetryPeriodMs);
    }
}

void CvardoDlg::StopMonitoring()
{
    m_bMonitoring = 0;
    m_btnStart->setEnabled(true);
    m_btnStop->setEnabled(false);
    AppendEvent(QStringLiteral("监控已停止"));
    for (CCameraDlg* panel : m_cameraDlg) {
        panel->StopCapture();
        panel->ShowStopped();
    }
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
    switch (id) {
    case TIMER_LOCAL_WELCOME:
        ShowLocalWelcome();
        break;
    case TIMER_CLOCK:
        UpdateClock();
        WatchStatus();
        if (TakeFreeSpaceRequest() || --m_secondsToSpaceCheck <= 0)
            KeepFreeSpace();
        break;
    case TIMER_SPLASH_END:
        EndSplash();
        break;
    case TIMER_CLEANUP:
        if (!m_sweep.IsRunning() && m_sweep.Start(m_strCycleDelDays.toStdString(), CurrentTime(),
                                                     m_strVideoRootPath.toStdString()))
            OnTimer(TIMER_SWEEP_STEP);
        CheckDatabaseFile();
        WatchRecordingFolder();
        break;
    case TIMER_SWEEP_STEP:  // the rest of a large sweep, a batch per turn of the event loop
        if (m_sweep.Step())
            m_timers.SetTimer(TIMER_SWEEP_STEP, 0);
        else
            m_timers.KillTimer(TIMER_SWEEP_STEP);
        break;
    case TIMER_REMOTE_WELCOME:
        m_timers.KillTimer(TIMER_REMOTE_WELCOME);
        ShowRemoteWelcome();
        break;
    default:
        break;
    }
}

// A database deleted or replaced under the program is written back from the
// open connection, and the user is told.
void CvardoDlg::CheckDatabaseFile()
{
    const std::string happened = RescueMovedDatabase();
    if (happened.empty())
        return;
    LogError("%s\n", happened.c_str());
    ShowNotice(this, QString::fromStdString(happened));
}

// Two minutes of what the cameras write stay free beyond the reserve; while
// less than that is left, the space is looked at every few seconds.
void CvardoDlg::KeepFreeSpace()
{
    if (!m_spaceSettingsRead)
        return;
    const std::string root = m_strVideoRootPath.toStdString();
    const std::string setting = m_strMinFreeSpace.toStdString();
    const auto headroom = static_cast<std::uint64_t>(kHeadroomSeconds * m_writeRate.Measure(std::chrono::steady_clock::now()));
    const int deleted = RunFreeSpaceSweep(root, setting, ReadSpace, headroom);
    TellSweep(deleted);
    m_secondsToSpaceCheck = IsSpaceShort(root, setting, headroom) ? kShortSpaceCheckSeconds : kSpaceCheckSeconds;
}

void CvardoDlg::EndSplash()
{
    m_timers.KillTimer(TIMER_SPLASH_END);
    if (m_splashDlg) {
        m_splashDlg->hide();
        m_splashDlg.reset();
    }
    if (CHelpDlg::ShowAtStart())
        OnHelp();
}

QString CvardoDlg::RemoteWelcomeAddress()
{
    const char* host = std::getenv(kWelcomeHostVariable);
    if (host == nullptr || *host == '\0')
        host = kDefaultWelcomeHost;
    return QStringLiteral("http://") + QString::fromUtf8(host) + QStringLiteral("/vardo/miniWelcome.asp");
}

QString CvardoDlg::LocalWelcomeAddress()
{
    return QStringLiteral("qrc:/miniWelcome.html");
}

void CvardoDlg::ShowRemoteWelcome()
{
    m_browser->Navigate(RemoteWelcomeAddress() + QStringLiteral("?SoftVer=") +
                        QString::fromStdString(LoadResString(IDS_VERSION)));
}

// Only a failure of the remote page brings the embedded one; the banner
// shows no error page of its own in any case.
void CvardoDlg::OnNavigateError(const QString& address, int)
{
    if (address.contains(RemoteWelcomeAddress()))
        m_timers.SetTimer(TIMER_LOCAL_WELCOME, 0);
}

void CvardoDlg::ShowLocalWelcome()
{
    m_timers.KillTimer(TIMER_LOCAL_WELCOME);
    m_browser->Navigate(LocalWelcomeAddress());
}
