#include "RecordingTarget.h"

#include "ErrorLog.h"
#include "FolderLock.h"
#include "FreeSpace.h"
#include "HistoryWriter.h"
#include "OpenRecordings.h"
#include "RecordingDisk.h"
#include "RecordingName.h"

#include <cerrno>
#include <cstring>

void RecordingTarget::SetRoot(const std::string& root)
{
    m_root = root;
    m_reportedFolder = RecordState::kRecording;
    m_awaitingSpace = false;
    m_nextTry = {};
}

bool RecordingTarget::AwaitsRoom()
{
    return !m_file.IsOpen() && m_awaitingSpace && !HasRoomAgain();
}

bool RecordingTarget::Open(TimeValue start, const char* extension)
{
    m_file.Close();
    ReleaseHeldFile();
    m_nextTry = std::chrono::steady_clock::now() + kRetryPeriod;
    if (!FolderReady())
        return false;
    std::string path;
    const int error = OpenFreeName(start, extension, &path);
    if (error != 0) {
        if (error != m_lastOpenError)
            LogError("cannot open recording file '%s': %s\n", path.c_str(), std::strerror(error));
        m_lastOpenError = error;
        // A disk that failed turns read-only: it stays a failing disk, not a folder that cannot be written.
        const bool failing = error == EIO || (error == EROFS && State() == RecordState::kDiskError);
        SetState(error == ENOSPC || error == EDQUOT ? RecordState::kDiskFull
                 : failing                          ? RecordState::kDiskError
                                                    : RecordState::kCannotWrite);
        return false;
    }
    m_lastOpenError = 0;
    m_reportedFolder = RecordState::kRecording;
    m_nextTry = {};
    SetState(RecordState::kRecording);
    HistoryWriter::Instance().Submit(HistoryRow{m_deviceIndex + 1, path, start});
    return true;
}

// A full disk waits for room; a failing one is tried again a second later.
bool RecordingTarget::Write(const std::uint8_t* data, std::size_t size)
{
    if (!m_file.IsOpen())
        return false;
    if (m_file.Write(data, size))
        return true;
    const int error = m_file.LastError();
    if (m_file.IsOpen() && (error == ENOSPC || error == EDQUOT))
        EndForSpace();
    else if (m_file.IsOpen())
        EndForError(error);
    return false;
}

void RecordingTarget::EndForError(int error)
{
    LogError("camera %d: the disk refused recording file '%s' (%s); recording goes on when it works again\n",
             m_deviceIndex + 1, m_file.Path().c_str(), std::strerror(error));
    m_file.Close();
    FolderLock::Instance().LetGoIfGone();
    SetState(RecordState::kDiskError);
    m_nextTry = std::chrono::steady_clock::now() + kRetryPeriod;
}

void RecordingTarget::Close(const std::uint8_t* endCode, std::size_t size)
{
    if (m_file.IsOpen() && size > 0)
        m_file.Write(endCode, size);
    m_file.Close();
    ReleaseHeldFile();
    SetState(RecordState::kIdle);
}

// The file ends with its last whole picture; the camera records again, in
// a new file from the picture then, once the folder's disk has room. A
// picture that follows others it was not coded with would not decode. Until
// then the file still counts as being written: the free-space sweep makes
// room from older recordings, not from the footage just taken.
void RecordingTarget::EndForSpace()
{
    m_heldPath = m_file.Path();
    m_file.Close();
    AddOpenRecording(m_heldPath);
    m_awaitingSpace = true;
    SetState(RecordState::kDiskFull);
}

void RecordingTarget::ReleaseHeldFile()
{
    if (!m_heldPath.empty())
        RemoveOpenRecording(m_heldPath);
    m_heldPath.clear();
}

bool RecordingTarget::HasRoomAgain()
{
    const std::optional<SpaceInfo> space = ReadSpace(m_root);
    m_awaitingSpace = space && space->freeBytes < kRoomToResume;
    return !m_awaitingSpace;
}

// The file of `start`, or when something has that name already (a file, a
// link, a folder), of the next free second: what is there is never written.
int RecordingTarget::OpenFreeName(TimeValue start, const char* extension, std::string* path)
{
    const std::string wanted = RecordingPath(m_root, m_deviceIndex, start, extension);
    int error = EEXIST;
    int later = 0;
    for (; later < kFreeNameTries && error == EEXIST; ++later) {
        *path = later == 0 ? wanted : RecordingPath(m_root, m_deviceIndex, start + later, extension);
        error = path->empty() ? EINVAL : m_file.Open(*path);
    }
    if (error == 0 && later > 1)
        LogError("'%s' is there already and is left alone; recording goes on in '%s'\n", wanted.c_str(), path->c_str());
    return error;
}

// Without an existing folder the file's name would land in the file
// system's root (no folder set yet) or nowhere; on another disk than its
// own it would land on the system disk under the place the folder's disk is
// mounted on; and a folder another Lumaro locked is that one's. The camera
// records nothing until the folder is fit, and says why once.
bool RecordingTarget::FolderReady()
{
    RecordState state = RecordState::kRecording;
    switch (CheckRecordingFolder(m_root)) {
    case FolderState::kNotSet:
        state = RecordState::kNoFolder;
        break;
    case FolderState::kMissing:
        state = RecordState::kFolderMissing;
        break;
    case FolderState::kOtherDisk:
        state = RecordState::kDiskAway;
        break;
    case FolderState::kReady:
        if (FolderLock::Instance().Hold(m_root) == FolderLock::Result::kTaken)
            state = RecordState::kFolderTaken;
        break;
    }
    if (state == RecordState::kRecording)
        return true;
    FolderLock::Instance().LetGoIfGone();
    SetState(state);
    ReportFolder(state);
    return false;
}

void RecordingTarget::ReportFolder(RecordState state)
{
    if (state == m_reportedFolder)
        return;
    m_reportedFolder = state;
    const int camera = m_deviceIndex + 1;
    const char* root = m_root.c_str();
    if (state == RecordState::kNoFolder)
        LogError("camera %d records nothing: no recording folder is set\n", camera);
    else if (state == RecordState::kFolderMissing)
        LogError("camera %d records nothing: recording folder '%s' is not there\n", camera, root);
    else if (state == RecordState::kDiskAway)
        LogError("camera %d records nothing: the disk of recording folder '%s' is not mounted on %s\n", camera, root,
                 ExpectedFolderMount(m_root).c_str());
    else if (state == RecordState::kFolderTaken)
        LogError("camera %d records nothing: another Lumaro records into '%s'\n", camera, root);
}
