// Timers of one window by small integer id: SetTimer(id, ms) starts or
// restarts timer `id`, KillTimer(id) stops it. Ticks arrive on the interface
// thread as the owner's timerEvent, also while a modal dialog runs; the owner
// forwards them with Dispatch, which answers the id of the timer that fired.
#pragma once

#include <QBasicTimer>
#include <QObject>

#include <map>
#include <memory>

class QTimerEvent;

class WindowTimers {
public:
    explicit WindowTimers(QObject* owner) : m_owner(owner) {}

    // A period of 0 ms fires at the next turn of the event loop, and again at
    // every turn until killed.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    void KillAll();
    bool IsActive(int id) const;

    // The id of the timer behind `event`, or 0 when it is none of these.
    int Dispatch(const QTimerEvent* event) const;

private:
    QObject* m_owner;
    std::map<int, std::unique_ptr<QBasicTimer>> m_timers;
};
