#include "HistoryCheck.h"

#include <pthread.h>

void HistoryCheck::Start(const std::string& root)
{
    Stop();
    m_stop = false;
    m_done = false;
    m_thread = std::thread([this, root] {
        pthread_setname_np(pthread_self(), "history-check");
        m_counts = ReconcileHistory(root, &m_stop);
        m_done = true;
    });
}

void HistoryCheck::Stop()
{
    m_stop = true;
    Wait();
}

ReconcileCounts HistoryCheck::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_counts;
}
