// CvardoDlg: the main window. It hosts the four camera panels, the command
// buttons, the status box, the clock and the welcome banner, and ties
// together what it owns: the start-up sequence, the panel grid, the event
// log and the periodic work, each a class of its own that never calls back
// into the window. The window's timers drive them.
#pragma once

#include "EventLog.h"
#include "RemoteViewHost.h"
#include "HistoryCheck.h"
#include "Housekeeping.h"
#include "MainControls.h"
#include "PanelGrid.h"
#include "StartupSequence.h"
#include "WindowTimers.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class CCameraDlg;
class CETButton;
class CExplorer1;
class CSplashDlg;

class CvardoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int TIMER_LOCAL_WELCOME = 1;
    static constexpr int TIMER_CLOCK = 2;
    static constexpr int TIMER_SPLASH_END = 6;
    static constexpr int TIMER_CLEANUP = 7;
    static constexpr int TIMER_REMOTE_WELCOME = 8;
    static constexpr int TIMER_SWEEP_STEP = 9;
    static constexpr int IDM_ABOUTBOX = 16;
    static constexpr int kPanelCount = PanelGrid::kPanelCount;

    explicit CvardoDlg(QWidget* parent = nullptr);
    ~CvardoDlg() override;

    // Start-up sequence, then the modal run; the result the dialog ended with.
    int DoModal();
    bool OnInitDialog();

    void StartMonitoring();
    void StopMonitoring();
    void OnTimer(int id);
    void OnQueryHistory();
    void OnSettings() { OpenSettings(false); }
    // `firstStart`: the dialog that asks for the recording folder at start.
    void OpenSettings(bool firstStart);
    // The camera of each position, from the settings dialog's camera button.
    void OnCameraSettings(QWidget* parent);
    void OnAbout();
    void OnHelp();
    void OnSysCommand(int id);
    void OnNavigateError(const QString& address, int status);
    void ShowRemoteWelcome();
    void ShowLocalWelcome();
    // The end of the program asked for from outside (a signal): every open
    // dialog is cancelled and the main window closes.
    void RequestClose();

    // Read-only views for the program's tests.
    const QString& LogText() const { return m_log.StartupText(); }
    QString ClockText() const;
    CETButton* StartButton() const { return m_controls.start; }
    CETButton* StopButton() const { return m_controls.stop; }
    CETButton* QueryButton() const { return m_controls.query; }
    CCameraDlg* Panel(int i) const { return m_panels.Panel(i); }
    CExplorer1* Browser() const { return m_controls.browser; }
    CSplashDlg* Splash() const { return m_startup.Splash(); }
    bool IsMonitoring() const { return m_monitoring; }
    bool IsTimerActive(int id) const { return m_timers.IsActive(id); }
    const QString& CycleDelDays() const { return m_housekeeping.RetentionDays(); }
    const QString& VideoRootPath() const { return m_strVideoRootPath; }
    bool HasEnded() const { return m_bEnded; }
    // The status box's events, each with its time, oldest first.
    const QStringList& Events() const { return m_log.Events(); }

    // One line in the status box, with the time now.
    void AppendEvent(const QString& text) { m_log.AddEvent(text); }

public slots:
    void done(int result) override;
    // Escape ends a panel's full view and does nothing else.
    void reject() override { m_panels.ShowAll(); }

protected:
    void timerEvent(QTimerEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void ConnectCommands();
    void AddSystemMenuItem();
    bool RunStartupChecks();
    void StartPanels();
    void CheckRecordingRoot();
    void EndStartup();
    void SetCommandsEnabled(bool monitoring, bool usable);
    void UpdateClock();
    void EndSplash();
    void ReleaseCameras();
    void ApplyRecordingRoot();
    static bool IsUsableRoot(const QString& path);

    QWidget* m_canvas;  // the window's content, in a scroll area
    PanelGrid m_panels;
    MainControls m_controls;
    EventLog m_log;
    StartupSequence m_startup{m_log, this};
    Housekeeping m_housekeeping{m_log, this};
    RemoteViewHost m_remote{m_log, this};
    HistoryCheck m_historyCheck;  // the start-up check of the history, beside the cameras
    WindowTimers m_timers{this};
    QString m_strVideoRootPath;
    bool m_monitoring = true;
    bool m_bEnded = false;
    bool m_bShownOnce = false;
};
