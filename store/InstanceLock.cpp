#include "InstanceLock.h"

#include "PrivateFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::Result InstanceLock::Acquire(const std::string& path)
{
    Release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kPrivateMode);
    if (fd < 0)
        return Result::Unavailable;
    KeepPrivate(path);
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Result::HeldByAnother : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void InstanceLock::TakeOver(InstanceLock& other)
{
    if (&other == this)
        return;
    Release();
    m_fd = other.m_fd;
    other.m_fd = -1;
}

bool InstanceLock::IsFile(const struct stat& st) const
{
    struct stat held {};
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 && held.st_dev == st.st_dev && held.st_ino == st.st_ino;
}
