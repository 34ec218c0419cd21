// Pushes the recording files to the disk from a thread of its own, so that a
// slow disk never stalls a camera: each open file's data every second, its
// folder once when the file was created (so the name survives a power cut),
// and the file a last time when the camera closes it. A camera's writes go
// straight to the kernel, so a power cut loses at most the last second or
// two; a killed process loses nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class FileSyncer {
public:
    static constexpr std::chrono::milliseconds kPeriod{1000};

    static FileSyncer& Instance();
    ~FileSyncer() { Stop(); }

    // Watches a duplicate of `fd` (the caller keeps and closes its own);
    // `created`: the file is new, so its folder is synced too. 0 when the
    // descriptor cannot be duplicated (the file is then not watched).
    std::uint64_t Watch(int fd, const std::string& path, bool created);
    // The last sync and the close of the duplicate, on the syncer's thread.
    void Release(std::uint64_t ticket);
    // Syncs and closes every released file, then ends the thread. Safe to
    // call twice; a later Watch starts the thread again.
    void Stop();
    // Data syncs done since the start, for measurements.
    std::uint64_t SyncCount() const;
    // The error of the file's last sync (an I/O error of a failing disk), 0 when none.
    int Failure(std::uint64_t ticket) const;

private:
    struct Entry {
        int fd = -1;
        std::string path;
        bool folderDue = false;
        bool released = false;
        bool reported = false;
        int error = 0;  // of the last sync
        std::chrono::steady_clock::time_point lastSync;
    };

    FileSyncer() = default;
    void Run();
    void SyncDue(std::unique_lock<std::mutex>& lock, bool all);
    void SyncOne(std::uint64_t ticket, Entry entry, std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::uint64_t, Entry> m_entries;  // guarded by m_mutex
    std::uint64_t m_nextTicket = 1;
    std::uint64_t m_syncs = 0;
    bool m_stopping = false;
    std::thread m_thread;  // "file-sync"; joined by Stop
};
