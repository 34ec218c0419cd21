// SIGINT, SIGTERM and SIGHUP as a Qt signal: the handler only writes a byte into a
// socket pair, and the interface thread reads it and emits ExitRequested.
#pragma once

#include <QObject>

class QSocketNotifier;

// Catches the signals from now on: one that comes before the window's
// ExitSignals exists (the libraries still loading) waits for it instead of
// killing the program. False when they cannot be caught.
bool CatchExitSignals();

class ExitSignals : public QObject {
    Q_OBJECT
public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;

    bool IsInstalled() const { return m_notifier != nullptr; }

signals:
    void ExitRequested();

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};
