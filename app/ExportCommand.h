// lumaro --export: clips of one or more cameras without a window.
//   0    every clip was written (a gap or damage in the recordings is
//        reported, not a failure)
//   1    a clip could not be made (no recording, a source unreadable, the
//        output not writable, no database); nothing of it is left
//   2    the command line is wrong
//   3    an output file exists (--overwrite replaces an earlier export) or
//        may not be replaced
//   129, 130, 143   ended by SIGHUP, SIGINT or SIGTERM; nothing is left
#pragma once

#include "CommandLine.h"

int ExportCommand(const CommandLine& command);
