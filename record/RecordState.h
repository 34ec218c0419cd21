// What a camera's recording does now, as its encoder knows it: the file
// grows, or why it does not. Written on the streaming thread, read by the
// panel on the interface thread.
#pragma once

enum class RecordState {
    kIdle,           // no picture encoded yet, or the encoder was closed
    kRecording,      // the current file grows
    kNoFolder,       // no recording folder is set
    kFolderMissing,  // the recording folder is not there (or is no folder)
    kDiskFull,       // the disk refused a write; waiting for room
    kCannotWrite,    // no file can be made in the folder
    kDiskAway,       // the folder's disk is not mounted (it lies on another disk now)
    kDiskError,      // the folder's disk fails (input/output errors)
    kFolderTaken,    // another Lumaro records into the folder
};
