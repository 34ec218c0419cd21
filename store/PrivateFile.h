// Files that hold the cameras' addresses and passwords (the database and
// its -wal, -shm and lock files) are for their owner alone: created 0600,
// and tightened to that when an earlier version left them readable.
#pragma once

#include <string>

inline constexpr unsigned kPrivateMode = 0600;

// Takes group and other permissions off an existing regular file of ours;
// nothing when it is absent. False when it could not be tightened.
bool KeepPrivate(const std::string& path);
