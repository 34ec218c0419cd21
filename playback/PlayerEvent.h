// An auto-reset event: Set wakes one waiter, or the next one to wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class PlayerEvent {
public:
    explicit PlayerEvent(bool signalled) : m_signalled(signalled) {}

    void Set()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
        m_cv.notify_one();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }
    // True when the event was signalled within `timeoutMs`; it is reset then.
    bool Wait(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; }))
            return false;
        m_signalled = false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};
