// Trouble with the history database never stops the recording. At start a
// database that cannot be written is read for the settings and the cameras
// record anyway (their rows come from the start-up check of a later start);
// one that is gone from its working folder, or is no Lumaro database, is
// made anew (a file that was there is kept under another name). While
// running, a database deleted or replaced under the program is noticed and
// written back from the open connection, so no row is lost.
#pragma once

#include <string>

enum class DatabaseState {
    kWritable,
    kReadOnly,  // settings read; rows cannot be written
    kRenewed,   // a new database was made; its settings are the defaults
    kNone,      // no database at all
};

struct DatabaseOpening {
    DatabaseState state = DatabaseState::kNone;
    std::string problem;   // what was wrong, for the message; empty when writable
    std::string setAside;  // where a file that was no database went
};

DatabaseOpening OpenWorkingDatabase(const std::string& path);

// Looks whether the connected database file is still at its path. When it
// was deleted or replaced, sets a replacement aside, writes the connected
// database back to the path and connects to it. Empty when all is well,
// else what happened, for the message.
std::string RescueMovedDatabase();
