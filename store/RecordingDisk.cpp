#include "RecordingDisk.h"

#include "RealPath.h"
#include "Settings.h"

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

std::mutex g_mutex;
std::map<std::string, std::string> g_expected;  // folder → mount point; guarded by g_mutex

// mountinfo writes a space, a tab, a line break and a backslash as \040,
// \011, \012 and \134.
std::string Unescape(const std::string& field)
{
    const auto octal = [&field](std::size_t at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
    std::string plain;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            plain += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            plain += field[i];
        }
    }
    return plain;
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether `mountPoint` is `path` or one of its parents.
bool Holds(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::string ReadMountinfo()
{
    std::ifstream in("/proc/self/mountinfo");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The deepest part of `path` that exists now.
std::string ExistingPart(std::string path)
{
    struct stat st {};
    while (!path.empty() && ::stat(path.c_str(), &st) != 0) {
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
        if (path == "/")
            break;
    }
    return path;
}

}  // namespace

std::optional<MountPlace> MountOfPath(const std::string& realPath, const std::string& mountinfo)
{
    std::optional<MountPlace> found;
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
        std::size_t dash = 0;
        while (dash < words.size() && words[dash] != "-")
            ++dash;
        if (words.size() < 5 || dash + 2 >= words.size())
            continue;
        const std::string mountPoint = Unescape(words[4]);
        // A later line with the same mount point was mounted over the earlier one.
        if (Holds(mountPoint, realPath) && (!found || mountPoint.size() >= found->mountPoint.size()))
            found = MountPlace{mountPoint, Unescape(words[dash + 2])};
    }
    return found;
}

std::optional<MountPlace> MountOf(const std::string& path)
{
    const std::string real = RealPath(path);
    return real.empty() ? std::nullopt : MountOfPath(real, ReadMountinfo());
}

// A folder on a mount above the one remembered lies on the disk the place
// belongs to when its own is not mounted; one on a mount below it was made
// on the system disk before its own disk was first mounted there, which
// is then its disk from now on.
FolderState CheckRecordingFolder(const std::string& root)
{
    if (root.empty())
        return FolderState::kNotSet;
    const std::string expected = ExpectedFolderMount(root);
    const bool there = IsFolder(root);
    if (expected.empty())
        return there ? FolderState::kReady : FolderState::kMissing;
    const std::optional<MountPlace> mount = MountOf(there ? root : ExistingPart(root));
    if (mount && mount->mountPoint != expected && Holds(mount->mountPoint, expected))
        return FolderState::kOtherDisk;
    if (mount && there && mount->mountPoint != expected)
        ExpectFolderMount(root, mount->mountPoint);
    return there ? FolderState::kReady : FolderState::kMissing;
}

void ExpectFolderMount(const std::string& root, const std::string& mountPoint)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_expected[root] = mountPoint;
}

std::string ExpectedFolderMount(const std::string& root)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_expected.find(root);
    return it == g_expected.end() ? std::string() : it->second;
}

// A stored mount that is no parent of the folder was stored for another
// one; a deeper mount the folder lies on now is its disk from now on.
std::string RememberFolderMount(const std::string& root)
{
    if (root.empty())
        return std::string();
    std::string mountPoint = ReadSetting(kKeyVideoRootMount);
    const std::optional<MountPlace> now = IsFolder(root) ? MountOf(root) : std::nullopt;
    const bool stale = mountPoint.empty() || !Holds(mountPoint, root);
    if (now && (stale || (now->mountPoint != mountPoint && Holds(mountPoint, now->mountPoint)))) {
        mountPoint = now->mountPoint;
        WriteSetting(kKeyVideoRootMount, mountPoint);
    } else if (stale) {
        mountPoint.clear();
    }
    ExpectFolderMount(root, mountPoint);
    return mountPoint;
}
