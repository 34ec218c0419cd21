// The steps of the start-up the main window runs while it is still hidden:
// the splash, the codec and database steps with their log lines and what
// the user is told of the database, and the checks that end a second copy
// or a second Lumaro on one recording folder before any camera starts.
// It holds the working folder's lock for the whole run.
#pragma once

#include "DatabaseGuard.h"
#include "InstanceLock.h"

#include <QString>

#include <memory>

class CSplashDlg;
class EventLog;
class QWidget;

class StartupSequence {
public:
    // `window` is the parent of the splash and the messages.
    StartupSequence(EventLog& log, QWidget* window);
    ~StartupSequence();

    void ShowSplash();
    CSplashDlg* Splash() const { return m_splash.get(); }
    // Hides the splash for a message, and shows it again.
    void HideSplash();
    void ShowSplashAgain();
    void EndSplash();

    void CodecStep();
    // True when a database is open (writable, read-only or made anew);
    // `root` is the recording folder it names.
    bool DatabaseStep(QString* root);
    // What the user is told about the database; empty when all is well.
    const QString& DatabaseNotice() const { return m_databaseNotice; }
    static QString NoticeFor(const DatabaseOpening& opening);

    // True, after telling the user, when another Lumaro runs on this
    // working folder or records into `root`: this one is to end.
    bool IsSecondCopy();
    bool IsRecordingFolderTaken(const QString& root);

private:
    EventLog& m_log;
    QWidget* m_window;
    std::unique_ptr<CSplashDlg> m_splash;
    QString m_databaseNotice;
    InstanceLock m_instanceLock;
};
