// The start-up check of the history (ReconcileHistory) on a thread of its
// own, "history-check", so the cameras start at once however many
// recordings wait for their rows. Started again when the recording folder
// changes; the owner's destructor stops and joins it.
#pragma once

#include "HistoryReconcile.h"

#include <atomic>
#include <string>
#include <thread>

class HistoryCheck {
public:
    HistoryCheck() = default;
    ~HistoryCheck() { Stop(); }
    HistoryCheck(const HistoryCheck&) = delete;
    HistoryCheck& operator=(const HistoryCheck&) = delete;

    // Checks `root`; a check still running is stopped first.
    void Start(const std::string& root);
    // Ends a running check at its next row and joins it.
    void Stop();
    // Waits for the check to end; what it changed.
    ReconcileCounts Wait();
    bool IsDone() const { return m_done; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{true};
    ReconcileCounts m_counts;  // written by the thread, read after the join
    std::thread m_thread;      // the check; joined by Stop and Wait
};
