#include "RecordingFile.h"

#include "OpenRecordings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr auto kSyncPeriod = std::chrono::seconds(10);
}

int RecordingFile::Open(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    m_fd = fd;
    m_path = path;
    m_reported = false;
    m_lastSync = std::chrono::steady_clock::now();
    AddOpenRecording(m_path);
    return 0;
}

void RecordingFile::Write(const std::uint8_t* data, std::size_t size)
{
    if (m_fd < 0)
        return;
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ReportOnce("write", n < 0 ? errno : ENOSPC);
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    SyncIfDue();
}

bool RecordingFile::WasRemoved()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_fd < 0 || now - m_lastLinkCheck < std::chrono::seconds(1))
        return false;
    m_lastLinkCheck = now;
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 && st.st_nlink == 0;
}

void RecordingFile::SyncIfDue()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastSync < kSyncPeriod)
        return;
    m_lastSync = now;
    if (::fdatasync(m_fd) != 0)
        ReportOnce("sync", errno);
}

void RecordingFile::Close()
{
    if (m_fd < 0)
        return;
    if (::fdatasync(m_fd) != 0 && errno != EINVAL)
        ReportOnce("sync", errno);
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
    std::fprintf(stderr, "lumaro: cannot %s recording file '%s': %s\n", what, m_path.c_str(),
                 std::strerror(error));
}
