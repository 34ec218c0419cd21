// SIGINT, SIGTERM and SIGHUP as a Qt signal: the handler only writes a byte into a
// socket pair, and the interface thread reads it and emits ExitRequested.
#pragma once

#include <QObject>

class QSocketNotifier;

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
