// How soon the first picture is recorded after the program starts: with an
// empty recording folder, and with a folder of recordings that have no
// rows (a database made anew), which the start-up check then registers.
// Both run the real program with one virtual camera; the first picture is
// recorded when today's recording file holds bytes.
//   startup_bench [recordings [rounds]]   (default 40000 and 3)
#include "BenchSupport.h"
#include "Database.h"
#include "HistoryReconcile.h"
#include "Settings.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Recordings of 2009 without rows: a sequence header each, as the check reads.
void MakeRecordings(const std::string& folder, int count)
{
    const char header[4] = {0, 0, 1, static_cast<char>(0xB3)};
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/dv(%d)-2009-%02d-%02d %02d%02d%02d.mpg", 1 + i % 4, 1 + i / 3000 % 12,
                      1 + i / 100 % 28, i / 3600 % 24, i / 60 % 60, i % 60);
        std::ofstream(folder + name, std::ios::binary).write(header, 4);
    }
}

bool FirstPictureRecorded(const std::string& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().find("-2009-") == std::string::npos &&
            entry.path().extension() == ".mpg" && entry.file_size(ec) > 0)
            return true;
    return false;
}

// Seconds from the start to the first recorded picture.
double FirstPictureSeconds(const std::string& dir, const std::string& folder)
{
    const double start = WallSeconds();
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("LUMARO_CAPTURE_DEVICES", "lavfi:testsrc2=size=320x240:rate=25", 1);
        if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr)
            _exit(126);
        execl(LUMARO_BINARY, LUMARO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    double seconds = -1;
    while (WallSeconds() - start < 600 && seconds < 0) {
        if (FirstPictureRecorded(folder))
            seconds = WallSeconds() - start;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string dir = MakeScratchDatabase("startup_bench");
    const std::string empty = dir + "/empty", full = dir + "/full";
    std::filesystem::create_directory(empty);
    std::filesystem::create_directory(full);
    MakeRecordings(full, count);
    std::vector<double> emptyTimes, fullTimes;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& [folder, times] : {std::make_pair(empty, &emptyTimes), std::make_pair(full, &fullTimes)}) {
            ExecuteCommand("delete from video_save_history");  // a database made anew
            WriteSetting(kKeyVideoRootPath, folder);
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                if (entry.path().filename().string().find("-2009-") == std::string::npos)
                    std::filesystem::remove(entry.path());
            times->push_back(FirstPictureSeconds(dir, folder));
            std::fprintf(stderr, "round %d, %s folder: %.2f s\n", round + 1, folder == empty ? "empty" : "full",
                         times->back());
        }
    }
    const double emptyLeast = *std::min_element(emptyTimes.begin(), emptyTimes.end());
    const double fullLeast = *std::min_element(fullTimes.begin(), fullTimes.end());
    Result("start-up: first picture recorded, empty folder", emptyLeast, "s", "least of the rounds");
    Result("start-up: first picture recorded, " + std::to_string(count) + " recordings without rows", fullLeast, "s",
           "least of the rounds");
    Result("start-up: the recordings' delay", fullLeast - emptyLeast, "s", "goal under 1");
    ExecuteCommand("delete from video_save_history");
    const double started = WallSeconds();
    const ReconcileCounts counts = ReconcileHistory(full);
    Result("start-up: the check registering them, on its own thread", WallSeconds() - started, "s",
           std::to_string(counts.added) + " rows added");
    return 0;
}
