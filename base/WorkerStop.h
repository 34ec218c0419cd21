// The end of a worker thread that sleeps on a condition variable until it is
// told to stop, shared by the program's background writers.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Sets `stopping` under `mutex`, wakes the thread and joins it outside the
// lock, so that it can take the lock for its last work. Safe to call twice.
inline void StopWorkerThread(std::mutex& mutex, std::condition_variable& changed, bool& stopping,
                             std::thread& thread)
{
    std::thread ending;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        changed.notify_all();
        ending = std::move(thread);
    }
    if (ending.joinable())
        ending.join();
}
