#include "BenchSupport.h"

#include "Database.h"
#include "Schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace {

double Seconds(const timeval& t)
{
    return t.tv_sec + t.tv_usec / 1e6;
}

double Usage(int who)
{
    rusage u{};
    getrusage(who, &u);
    return Seconds(u.ru_utime) + Seconds(u.ru_stime);
}

std::string g_scratch;

void RemoveScratch()
{
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(g_scratch, ec);
}

}  // namespace

double CpuSeconds()
{
    return Usage(RUSAGE_SELF);
}

double ChildCpuSeconds()
{
    return Usage(RUSAGE_CHILDREN);
}

long PeakMemoryMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

double WallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string MakeScratchDatabase(const char* program)
{
    char tmpl[] = "/tmp/lumaro-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        std::perror(program);
        std::exit(1);
    }
    g_scratch = tmpl;
    std::atexit(RemoveScratch);
    std::filesystem::current_path(g_scratch);
    std::string error;
    if (!CreateDatabaseFile(kDatabaseFile, &error) || std::freopen("/dev/null", "w", stdout) == nullptr ||
        InitDatabaseConnect() != 0) {
        std::fprintf(stderr, "%s: no database: %s\n", program, error.c_str());
        std::exit(1);
    }
    return g_scratch;
}

void Result(const std::string& name, double value, const char* unit, const std::string& note)
{
    std::fprintf(stderr, "| %-52s | %10.3f | %-9s | %s\n", name.c_str(), value, unit, note.c_str());
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}
