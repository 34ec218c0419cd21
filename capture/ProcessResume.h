// How often this process was continued after a stop (SIGCONT, e.g. after
// SIGSTOP or a suspended terminal job). A camera timed by the arrival of
// its frames finds its buffered backlog stale after a stop: it tells the
// frames that waited in the network buffer from fresh ones by this count.
#pragma once

#include <cstdint>

// Installs the counting handler once; safe to call from any thread.
void WatchProcessResume();
std::uint64_t ProcessResumeCount();
