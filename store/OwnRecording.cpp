#include "OwnRecording.h"

#include "RealPath.h"

#include "RecordingDisk.h"

#include "HistoryReconcile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

RecordingVerdict JudgeRecording(const std::string& path, const std::string& root)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? RecordingVerdict::kGone : RecordingVerdict::kForeign;
    const std::string real = RealPath(path);
    const std::string folder = root.empty() ? std::string() : RealPath(root);
    if (!S_ISREG(st.st_mode) || real.empty() || folder.empty())
        return RecordingVerdict::kForeign;
    const std::size_t slash = real.rfind('/');
    int camera = 0;
    TimeValue start = 0;
    const bool inFolder = real.compare(0, slash, folder) == 0 && slash == folder.size();
    return inFolder && ParseRecordingName(real.substr(slash + 1), &camera, &start) ? RecordingVerdict::kOwn
                                                                                   : RecordingVerdict::kForeign;
}

DeleteOutcome DeleteOwnRecording(const std::string& path, const std::string& root)
{
    switch (JudgeRecording(path, root)) {
    case RecordingVerdict::kGone:
        return DeleteOutcome::kGone;
    case RecordingVerdict::kForeign:
        std::printf("lumaro: '%s' is not a recording in the recording folder '%s'; the file is left alone\n",
                    path.c_str(), root.c_str());
        std::fflush(stdout);
        return DeleteOutcome::kLeftAlone;
    case RecordingVerdict::kOwn:
        break;
    }
    if (::unlink(path.c_str()) == 0)
        return DeleteOutcome::kDeleted;
    return errno == ENOENT ? DeleteOutcome::kGone : DeleteOutcome::kFailed;
}

bool DeleteDueFile(const std::string& path, const std::string& root)
{
    if (DeleteOwnRecording(path, root) != DeleteOutcome::kFailed)
        return true;
    std::printf("lumaro: recording '%s' could not be deleted (%s); it and its row stay, and a later sweep tries again\n",
                path.c_str(), std::strerror(errno));
    std::fflush(stdout);
    return false;
}

bool FolderWithinReach(const std::string& root, const char* sweep)
{
    static std::string s_told;
    const FolderState state = CheckRecordingFolder(root);
    if (state == FolderState::kReady || state == FolderState::kNotSet) {
        s_told.clear();
        return state == FolderState::kReady;
    }
    const std::string telling = root + "|" + sweep + "|" + std::to_string(static_cast<int>(state));
    if (telling != s_told)
        std::printf("lumaro: recording folder '%s' is %s: the %s sweep leaves every recording and row as it is\n",
                    root.c_str(), state == FolderState::kMissing ? "not there" : "not on its disk (not mounted)", sweep);
    s_told = telling;
    std::fflush(stdout);
    return false;
}
