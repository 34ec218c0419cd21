#include "ExportOutput.h"

#include "Database.h"
#include "OwnRecording.h"
#include "RealPath.h"
#include "Settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool Inside(const std::string& real, const std::string& folder)
{
    return !folder.empty() && (real == folder || real.rfind(folder == "/" ? folder : folder + "/", 0) == 0);
}

bool EndsWithMp4(const std::string& name)
{
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".mp4") == 0;
}

// The bytes of a file written by another descriptor reach the disk.
void SyncPath(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Gives `from` the name `to` unless a file has it: renameat2 with
// RENAME_NOREPLACE, or a hard link where the file system lacks that.
int RenameExclusive(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

ExportNames NamesFor(const std::string& clip)
{
    ExportNames names{clip, (EndsWithMp4(clip) ? clip.substr(0, clip.size() - 4) : clip) + ".txt", clip + ".sha256"};
    if (names.report == clip)  // a clip named NAME.txt
        names.report = clip + ".txt";
    return names;
}

std::string CameraClipName(const std::string& clip, int camera)
{
    const std::size_t slash = clip.rfind('/');
    const std::size_t dot = clip.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::size_t at = hasExtension ? dot : clip.size();
    return clip.substr(0, at) + "-camera" + std::to_string(camera) + clip.substr(at);
}

std::vector<std::string> GuardedFolders()
{
    std::vector<std::string> folders;
    for (const std::string& folder : {ReadSetting(kKeyVideoRootPath), FolderOf(kDatabaseFile)}) {
        const std::string real = folder.empty() ? std::string() : RealPath(folder);
        if (!real.empty())
            folders.push_back(real);
    }
    return folders;
}

OutputCheck CheckOutput(const ExportNames& names, bool overwrite, const std::vector<std::string>& guarded)
{
    for (const std::string& path : {names.clip, names.report, names.checksum}) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (!overwrite)
            return {OutputVerdict::kExists, path};
        if (!S_ISREG(st.st_mode))
            return {OutputVerdict::kNotRegular, path};
        const std::string real = RealPath(path);
        for (const std::string& folder : guarded)
            if (Inside(real, folder))
                return {OutputVerdict::kGuarded, path};
    }
    return {};
}

std::string OutputRefusal(const OutputCheck& check)
{
    switch (check.verdict) {
    case OutputVerdict::kExists:
        return check.path + " exists; nothing was written (--overwrite replaces an earlier export)";
    case OutputVerdict::kNotRegular:
        return check.path + " is not a regular file; an export replaces only an earlier export";
    case OutputVerdict::kGuarded:
        return check.path + " lies in the recording folder or the database's folder; an export never replaces "
                            "anything there";
    case OutputVerdict::kFree:
        break;
    }
    return std::string();
}

TempFile::TempFile(std::string finalPath) : m_final(std::move(finalPath))
{
    std::string name = m_final + ".XXXXXX.part";
    const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    struct stat st {};
    ::fstat(fd, &st);
    ::fchmod(fd, 0600);  // evidence: for the owner only, handed over as a copy
    ::close(fd);
    m_path = name;
    m_device = st.st_dev;
    m_inode = st.st_ino;
}

TempFile::~TempFile()
{
    if (!m_path.empty() && !m_published)
        ::unlink(m_path.c_str());
}

bool TempFile::Publish(bool overwrite, std::string* error)
{
    SyncPath(m_path);
    struct stat st {};
    if (overwrite && ::lstat(m_final.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || ::unlink(m_final.c_str()) != 0) {
            *error = "cannot replace " + m_final + (S_ISREG(st.st_mode) ? std::string(": ") + std::strerror(errno)
                                                                          : std::string(": not a regular file"));
            return false;
        }
    }
    const int rc = RenameExclusive(m_path, m_final);
    m_clashed = rc == EEXIST;
    if (rc != 0) {
        *error = rc == EEXIST ? m_final + " appeared while exporting; nothing was replaced"
                              : "cannot write " + m_final + ": " + std::strerror(rc);
        return false;
    }
    m_published = true;
    SyncPath(FolderOf(m_final));
    return true;
}

void TempFile::Withdraw()
{
    struct stat st {};
    if (m_published && ::lstat(m_final.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
        ::unlink(m_final.c_str());
    m_published = false;
    m_path.clear();
}
