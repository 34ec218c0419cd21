#include "FileSyncer.h"
#include "ErrorLog.h"

#include "WorkerStop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace {

// A file's name lives in its folder: syncing the folder makes a new file
// survive a power cut.
int SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : errno;  // the folder is gone: nothing left to keep
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error == EINVAL ? 0 : error;  // a file system that cannot sync folders
}

}  // namespace

FileSyncer& FileSyncer::Instance()
{
    static FileSyncer syncer;
    return syncer;
}

std::uint64_t FileSyncer::Watch(int fd, const std::string& path, bool created)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint64_t ticket = m_nextTicket++;
    m_entries[ticket] = Entry{copy, path, created, false, false, 0, std::chrono::steady_clock::now()};
    if (!m_thread.joinable()) {
        m_stopping = false;
        m_thread = std::thread(&FileSyncer::Run, this);
    }
    m_changed.notify_all();
    return ticket;
}

void FileSyncer::Release(std::uint64_t ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_entries.find(ticket);
    if (it == m_entries.end())
        return;
    it->second.released = true;
    m_changed.notify_all();
}

void FileSyncer::Stop()
{
    StopWorkerThread(m_mutex, m_changed, m_stopping, m_thread);
}

std::uint64_t FileSyncer::SyncCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_syncs;
}

void FileSyncer::Run()
{
    pthread_setname_np(pthread_self(), "file-sync");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        m_changed.wait_for(lock, kPeriod / 4);
        SyncDue(lock, false);
    }
    SyncDue(lock, true);
}

// The syncs themselves run unlocked: a camera that opens or closes a file
// meanwhile never waits for the disk.
void FileSyncer::SyncDue(std::unique_lock<std::mutex>& lock, bool all)
{
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<std::uint64_t, Entry>> due;
    for (const auto& [ticket, entry] : m_entries)
        if (all || entry.released || entry.folderDue || now - entry.lastSync >= kPeriod)
            due.emplace_back(ticket, entry);
    for (auto& [ticket, entry] : due)
        SyncOne(ticket, std::move(entry), lock);
    m_changed.notify_all();
}

void FileSyncer::SyncOne(std::uint64_t ticket, Entry entry, std::unique_lock<std::mutex>& lock)
{
    lock.unlock();
    int error = ::fdatasync(entry.fd) == 0 ? 0 : errno;
    if (error == 0 && entry.folderDue)
        error = SyncFolderOf(entry.path);
    if (error != 0 && !entry.reported)
        LogError("cannot sync recording file '%s': %s\n", entry.path.c_str(), std::strerror(error));
    lock.lock();
    ++m_syncs;
    Entry& kept = m_entries[ticket];
    kept.reported = kept.reported || error != 0;
    kept.error = error;
    kept.folderDue = false;
    kept.lastSync = std::chrono::steady_clock::now();
    if (kept.released || m_stopping) {
        ::close(kept.fd);
        m_entries.erase(ticket);
    }
}

int FileSyncer::Failure(std::uint64_t ticket) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_entries.find(ticket);
    return it == m_entries.end() ? 0 : it->second.error;
}
