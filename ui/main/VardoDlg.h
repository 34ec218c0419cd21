// CvardoDlg: the main window. It hosts the four camera panels, the command
// buttons, the start-up log, the clock and the welcome banner, runs the
// start-up sequence, switches monitoring on and off and owns the periodic
// work (clock, retention sweep, splash end, banner).
#pragma once

#include "InstanceLock.h"
#include "DatabaseGuard.h"
#include "FreeSpace.h"
#include "HistoryCheck.h"
#include "RetentionSweep.h"
#include "WindowTimers.h"

#include <QDialog>
#include <QStringList>
#include <QString>

#include <array>
#include <memory>

class CCameraDlg;
class CETBitmapButton;
class CETButton;
class CExplorer1;
class CSplashDlg;
class QLabel;
class QPlainTextEdit;

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
    static constexpr int kPanelCount = 4;
    static constexpr int kVideoAreaWidth = 652;

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

    // The banner's remote page, without the version query.
    static QString RemoteWelcomeAddress();
    static QString LocalWelcomeAddress();

    // Read-only views for the program's tests.
    const QString& LogText() const { return m_strLog; }
    QString ClockText() const;
    CETButton* StartButton() const { return m_btnStart; }
    CETButton* StopButton() const { return m_btnStop; }
    CETButton* QueryButton() const { return m_btnQuery; }
    CCameraDlg* Panel(int i) const { return m_cameraDlg.at(static_cast<size_t>(i)); }
    CExplorer1* Browser() const { return m_browser; }
    CSplashDlg* Splash() const { return m_splashDlg.get(); }
    bool IsMonitoring() const { return m_bMonitoring == 1; }
    bool IsTimerActive(int id) const { return m_timers.IsActive(id); }
    const QString& CycleDelDays() const { return m_strCycleDelDays; }
    const QString& VideoRootPath() const { return m_strVideoRootPath; }
    bool HasEnded() const { return m_bEnded; }
    // The status box's events, each with its time, oldest first.
    const QStringList& Events() const { return m_events; }

    // One line in the status box, with the time now.
    void AppendEvent(const QString& text);

public slots:
    void done(int result) override;
    // Escape ends a panel's full view and does nothing else.
    void reject() override { ShowAllPanels(); }

protected:
    void timerEvent(QTimerEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void CreateCanvas();
    void FitToScreen();
    void CreateControls();
    void CreatePictures();
    void ConnectCommands();
    void AddSystemMenuItem();
    void AppendLog(const char* text);
    void UpdateLog();
    void ShowSplash();
    void InitCodecStep();
    bool ConnectDatabaseStep();
    static QString DatabaseNotice(const DatabaseOpening& opening);
    bool IsSecondCopy();
    bool IsRecordingFolderTaken();
    void CheckDatabaseFile();
    void CheckRecordingRoot();
    void TellRecordingFolder();
    void WatchRecordingFolder();
    void InitMonitorPanels();
    void UpdateClock();
    void EndSplash();
    void KeepFreeSpace();
    void ReadPeriodicSettings();
    void ReleaseCameras();
    void ConnectPanelEvents();
    static QRect VideoArea();
    // A double-click on a panel: that camera alone in the video area, or
    // all four again.
    void ToggleFullView(CCameraDlg* panel);
    void ShowAllPanels();
    void WatchStatus();
    void TellSweep(int deleted);
    void ApplyRecordingRoot();
    static bool IsUsableRoot(const QString& path);

    CETButton* m_btnStart = nullptr;
    CETButton* m_btnStop = nullptr;
    CETButton* m_btnQuery = nullptr;
    CETButton* m_btnSettings = nullptr;
    CETButton* m_btnAbout = nullptr;
    std::array<CCameraDlg*, kPanelCount> m_cameraDlg{};  // children of the window
    QString m_strLog;
    QStringList m_events;
    static constexpr int kMaxEvents = 200;
    bool m_databaseFailing = false;
    QString m_databaseNotice;  // what went wrong with the database at start
    QPlainTextEdit* m_logBox = nullptr;
    int m_bMonitoring = 1;
    QString m_strVideoRootPath;
    std::unique_ptr<CSplashDlg> m_splashDlg;
    CExplorer1* m_browser = nullptr;
    QLabel* m_clock = nullptr;
    CETBitmapButton* m_btnHelp = nullptr;
    QString m_strCycleDelDays;
    QString m_strMinFreeSpace;  // min_free_space_mb, read with the retention days
    WindowTimers m_timers{this};
    bool m_bEnded = false;
    QWidget* m_canvas = nullptr;  // the window's content, in a scroll area
    bool m_folderTakenTold = false;
    bool m_bShownOnce = false;
    InstanceLock m_instanceLock;  // held for the whole run
    HistoryCheck m_historyCheck;  // the start-up check of the history, beside the cameras
    CRetentionSweep m_sweep;
    WriteRate m_writeRate;
    int m_secondsToSpaceCheck = 0;
    bool m_spaceSettingsRead = false;  // no sweep before the reserve is known
    static constexpr int kSpaceCheckSeconds = 60;
    static constexpr int kShortSpaceCheckSeconds = 5;
    static constexpr double kHeadroomSeconds = 120;
};
