// The disk a recording folder lies on. Lumaro remembers the mount its folder
// was set on (soft_set `video_root_mount`): a USB disk or a network share
// that is not mounted (late after a power cut, unplugged, failed) leaves
// only the empty place it would be mounted on, or a folder of the system
// disk under it, and nothing may be recorded there, nor any row dropped for
// files that are only out of reach.
#pragma once

#include <optional>
#include <string>

inline constexpr const char* kKeyVideoRootMount = "video_root_mount";

struct MountPlace {
    std::string mountPoint;
    std::string source;  // the device or share
};

// The mount that holds `realPath` among the lines of /proc/self/mountinfo:
// the one with the longest mount point that is the path or a parent of it.
std::optional<MountPlace> MountOfPath(const std::string& realPath, const std::string& mountinfo);
// The same for a path as it stands now (links resolved); nothing when the
// path does not exist.
std::optional<MountPlace> MountOf(const std::string& path);

enum class FolderState {
    kReady,      // a folder on the disk it was set on (or no disk known yet)
    kNotSet,
    kMissing,    // not there, or not a folder
    kOtherDisk,  // there, but on another disk: its own is not mounted
};

// Where the recording folder stands now, against the mount remembered for
// it: on a mount above that one, its disk is not mounted; on one below it,
// that mount is its disk from now on.
FolderState CheckRecordingFolder(const std::string& root);

// The mount `root` is expected on (empty: not known yet); any thread.
void ExpectFolderMount(const std::string& root, const std::string& mountPoint);
std::string ExpectedFolderMount(const std::string& root);
// Reads the remembered mount of the folder from the settings, or, when none
// is stored and the folder is there, remembers the mount it lies on now.
// Returns the mount expected.
std::string RememberFolderMount(const std::string& root);
