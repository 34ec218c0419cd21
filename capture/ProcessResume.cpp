#include "ProcessResume.h"

#include <atomic>
#include <csignal>
#include <mutex>

namespace {

std::atomic<std::uint64_t> g_resumes{0};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "counted in a signal handler");

void OnContinue(int)
{
    g_resumes.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

void WatchProcessResume()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = OnContinue;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;  // no read is cut short by it
        sigaction(SIGCONT, &action, nullptr);
    });
}

std::uint64_t ProcessResumeCount()
{
    return g_resumes.load(std::memory_order_relaxed);
}
