// Lumaro deletes only its own recordings. A row's path may point anywhere
// (a row written by hand, a folder moved, `..` in a path, a link planted in
// the folder), so before a file goes its path is judged: it must itself be a
// regular file, not a link, whose real path lies directly in the real
// recording folder and carries a recording's name. Anything else is left
// alone; its row may go, and one line says so.
#pragma once

#include <string>

enum class RecordingVerdict {
    kOwn,      // one of the folder's recordings
    kGone,     // nothing there any more
    kForeign,  // something else: outside the folder, a link, another name
};

RecordingVerdict JudgeRecording(const std::string& path, const std::string& root);

enum class DeleteOutcome { kDeleted, kGone, kLeftAlone, kFailed };

// Deletes `path` when it is one of the recordings of `root`. kLeftAlone
// prints one line on standard output; kFailed leaves errno set.
DeleteOutcome DeleteOwnRecording(const std::string& path, const std::string& root);

// Deletes a recording a sweep found due; false when its file stays (it
// could not be deleted: one line says why) and so must its row.
bool DeleteDueFile(const std::string& path, const std::string& root);

// Whether the recording folder is there on its own disk, so that a file
// missing from it is truly gone; while it is not, a sweep leaves every row
// as it is and `sweep` says so on standard output once.
bool FolderWithinReach(const std::string& root, const char* sweep);
