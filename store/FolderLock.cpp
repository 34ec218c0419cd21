#include "FolderLock.h"

#include <sys/stat.h>

FolderLock& FolderLock::Instance()
{
    static FolderLock lock;
    return lock;
}

FolderLock::Result FolderLock::Hold(const std::string& root)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (root == m_root && StillHeld())
        return Result::kHeld;
    InstanceLock fresh;
    switch (fresh.Acquire(RecordingFolderLockPath(root))) {
    case InstanceLock::Result::Acquired:
        m_lock.TakeOver(fresh);
        m_root = root;
        return Result::kHeld;
    case InstanceLock::Result::HeldByAnother:
        return Result::kTaken;
    case InstanceLock::Result::Unavailable:
        break;
    }
    return Result::kUnavailable;
}

void FolderLock::LetGoIfGone()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_root.empty() && !StillHeld()) {
        m_lock.Release();
        m_root.clear();
    }
}

void FolderLock::Release()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_lock.Release();
    m_root.clear();
}

// The file at the lock's path is still the one locked: the folder was not
// removed or made anew since.
bool FolderLock::StillHeld() const
{
    struct stat there {};
    return m_lock.IsHeld() && ::stat(RecordingFolderLockPath(m_root).c_str(), &there) == 0 && m_lock.IsFile(there);
}
