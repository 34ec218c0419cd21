// One program per working folder: an exclusive lock (flock) on a file beside
// the database. The system drops the lock when the process ends in any way,
// so a crash never leaves a stale lock behind.
#pragma once

#include <string>
#include <sys/stat.h>

inline constexpr const char* kInstanceLockFile = "db/dbvardo.lock";

// The lock of a recording folder, held by the one Lumaro that records there.
inline std::string RecordingFolderLockPath(const std::string& root)
{
    return root + "/.lumaro.lock";
}

class InstanceLock {
public:
    enum class Result { Acquired, HeldByAnother, Unavailable };

    InstanceLock() = default;
    ~InstanceLock() { Release(); }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Unavailable: the lock file cannot be made (no db folder, read-only);
    // the caller then goes on, since no other copy can hold it either.
    Result Acquire(const std::string& path);
    void Release();
    // Holds what `other` held (releasing its own lock first); `other` holds nothing.
    void TakeOver(InstanceLock& other);
    bool IsHeld() const { return m_fd >= 0; }
    // Whether the locked file is the one `st` describes.
    bool IsFile(const struct stat& st) const;

private:
    int m_fd = -1;
};
