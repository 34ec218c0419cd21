#include "BenchSupport.h"

#include "Database.h"
#include "PictureNumbering.h"
#include "RepeatPicture.h"
#include "Schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <vector>

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
constexpr long long kPicturesPerMinute = 25 * 60;

// Moves every group time code of `minute` on by `pictures`.
void MoveTimeCodes(std::vector<std::uint8_t>& minute, const std::vector<std::size_t>& groups, long long pictures)
{
    for (std::size_t at : groups) {
        std::uint8_t* b = &minute[at + 4];
        const std::uint32_t moved = SlotTimeCode(GroupHeaderPictures(&minute[at]) % kPicturesPerMinute + pictures);
        b[0] = static_cast<std::uint8_t>(moved >> 17);
        b[1] = static_cast<std::uint8_t>(moved >> 9);
        b[2] = static_cast<std::uint8_t>(moved >> 1);
        b[3] = static_cast<std::uint8_t>((b[3] & 0x7F) | ((moved & 1) << 7));
    }
}

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

bool LayDayLongRecording(const std::string& dir, const std::string& path, int hours)
{
    const std::string minutePath = dir + "/minute.m1v";
    if (!Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=60 "
               "-c:v mpeg1video -b:v 400k -g 10 -bf 0 -f mpeg1video '" + minutePath + "'"))
        return false;
    std::ifstream in(minutePath, std::ios::binary);
    std::vector<std::uint8_t> minute((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (minute.size() > 4)
        minute.resize(minute.size() - 4);  // the sequence end code goes once, at the end
    std::vector<std::size_t> groups;
    for (std::size_t i = 0; i + 8 < minute.size(); ++i)
        if (minute[i] == 0 && minute[i + 1] == 0 && minute[i + 2] == 1 && minute[i + 3] == 0xB8)
            groups.push_back(i);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long long k = 0; k < hours * 60LL; ++k) {
        MoveTimeCodes(minute, groups, k * kPicturesPerMinute);
        out.write(reinterpret_cast<const char*>(minute.data()), static_cast<std::streamsize>(minute.size()));
    }
    const std::uint8_t end[4] = {0x00, 0x00, 0x01, 0xB7};
    out.write(reinterpret_cast<const char*>(end), 4);
    return static_cast<bool>(out);
}
