#include "RecordingFile.h"
#include "ErrorLog.h"

#include "FileSyncer.h"
#include "FreeSpace.h"
#include "OpenRecordings.h"
#include "PrivateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int RecordingFile::Open(const std::string& path)
{
    Close();
    // A new file only: never one that is there already, never through a link.
    // Footage is for the shop's owner: readable by the user Lumaro runs as only.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivateMode);
    if (fd < 0)
        return errno;
    m_fd = fd;
    m_path = path;
    m_size = 0;
    m_reported = false;
    m_lastError = 0;
    m_syncTicket = FileSyncer::Instance().Watch(fd, path, true);
    AddOpenRecording(m_path);
    return 0;
}

bool RecordingFile::Write(const std::uint8_t* data, std::size_t size)
{
    if (m_fd < 0)
        return false;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(m_fd, data + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            m_lastError = error;
            if (written > 0 && ::ftruncate(m_fd, static_cast<off_t>(m_size)) != 0)
                ReportOnce("cut back", errno);
            if (error == ENOSPC || error == EDQUOT)
                RequestFreeSpace();  // the oldest recordings make room
            ReportOnce("write", error);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    m_size += size;
    CountWrittenBytes(size);
    return true;
}

bool RecordingFile::Rewrite(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    if (m_fd < 0 || offset + size > m_size)
        return false;
    // Appending writes would put the bytes at the end whatever the offset:
    // the flag is off for this one write (only the camera's thread writes).
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_APPEND) != 0)
        return false;
    const ssize_t n = ::pwrite(m_fd, data, size, static_cast<off_t>(offset));
    const bool restored = ::fcntl(m_fd, F_SETFL, flags) == 0;
    return restored && n == static_cast<ssize_t>(size);
}

RecordingFile::Trouble RecordingFile::CheckTrouble()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_fd < 0 || now - m_lastLinkCheck < std::chrono::seconds(1))
        return Trouble::kNone;
    m_lastLinkCheck = now;
    struct stat held {};
    struct stat there {};
    if (::fstat(m_fd, &held) == 0 && held.st_nlink == 0)
        return Trouble::kRemoved;
    if (::stat(m_path.c_str(), &there) != 0 || there.st_dev != held.st_dev || there.st_ino != held.st_ino)
        return Trouble::kOutOfReach;
    if (const int error = FileSyncer::Instance().Failure(m_syncTicket); error != 0) {
        m_lastError = error;
        return Trouble::kDiskError;
    }
    return Trouble::kNone;
}

void RecordingFile::Close()
{
    if (m_fd < 0)
        return;
    FileSyncer::Instance().Release(m_syncTicket);
    m_syncTicket = 0;
    if (::close(m_fd) != 0)
        ReportOnce("close", errno);
    m_fd = -1;
    RemoveOpenRecording(m_path);
    m_path.clear();
}

void RecordingFile::ReportOnce(const char* what, int error)
{
    if (m_reported)
        return;
    m_reported = true;
    LogError("cannot %s recording file '%s': %s\n", what, m_path.c_str(),
                 std::strerror(error));
}
