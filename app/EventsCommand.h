// lumaro --events --camera N --day YYYY-MM-DD: that day's motion events of
// one camera on standard output, one a line ("start<TAB>end<TAB>peak",
// earliest first), without a window.
//   0    the events were printed (none is no failure)
//   1    no database
//   2    the command line is wrong
#pragma once

#include "CommandLine.h"

int EventsCommand(const CommandLine& command);
