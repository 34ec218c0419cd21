// The working folder of a user's Lumaro started from the desktop menu or
// scripts/run.sh: $LUMARO_HOME, or ~/Lumaro. It is made with its database
// on the first start; the window then asks for the recording folder.
#pragma once

#include <string>

// The folder, from the environment; empty when neither LUMARO_HOME nor
// HOME is set.
std::string HomeWorkingFolder();

// Makes the folder and, unless `makeDatabase` is false, db/dbvardo.db in it
// when missing and goes there. False with one line for the user in `error`.
bool EnterHomeWorkingFolder(std::string* error, bool makeDatabase = true);
