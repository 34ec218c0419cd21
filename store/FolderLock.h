// The lock of the recording folder this Lumaro records into, held for the
// whole run by the process, not by a window: a folder removed and made
// again loses its lock file with it, so the lock is looked at again before
// each new recording file and once a minute, and taken again at once. A
// folder whose new lock another Lumaro holds is that one's: nothing is
// recorded there.
#pragma once

#include "InstanceLock.h"

#include <mutex>
#include <string>

class FolderLock {
public:
    enum class Result {
        kHeld,         // this process holds the folder's lock
        kTaken,        // another Lumaro holds it
        kUnavailable,  // no lock file can be made (no folder, read-only)
    };

    static FolderLock& Instance();

    // Holds the lock of `root`, taking it (again) when the lock file there is
    // not the one held; a lock of another folder is let go. Any thread.
    Result Hold(const std::string& root);
    void Release();
    // Lets go of a lock whose file is no longer at the folder's path (the
    // folder or its disk went away): it protects nothing, and its open file
    // would keep a disk that went away from being let go by the system.
    void LetGoIfGone();

private:
    bool StillHeld() const;  // m_mutex held

    mutable std::mutex m_mutex;
    std::string m_root;
    InstanceLock m_lock;
};
