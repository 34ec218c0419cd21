#include "WindowTimers.h"

#include <QTimerEvent>

void WindowTimers::SetTimer(int id, int periodMs)
{
    auto& timer = m_timers[id];
    if (!timer)
        timer = std::make_unique<QBasicTimer>();
    timer->start(periodMs, Qt::PreciseTimer, m_owner);
}

void WindowTimers::KillTimer(int id)
{
    const auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second->stop();
}

void WindowTimers::KillAll()
{
    for (auto& entry : m_timers)
        entry.second->stop();
}

bool WindowTimers::IsActive(int id) const
{
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

int WindowTimers::Dispatch(const QTimerEvent* event) const
{
    for (const auto& entry : m_timers) {
        if (entry.second->isActive() && entry.second->timerId() == event->timerId())
            return entry.first;
    }
    return 0;
}
