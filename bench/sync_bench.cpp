// What pushing recordings to the disk costs a camera: four files written at
// a camera's pace (25 packets of 2 KB a second each), synced by the file
// syncer's own thread, beside the same syncs done on the writing thread.
//   sync_bench [seconds]   (default 10)
#include "BenchSupport.h"
#include "FileSyncer.h"
#include "RecordingFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Timing {
    double longestMs = 0;
    double totalMs = 0;
    long count = 0;
};

void Note(Timing* t, double start)
{
    const double ms = 1000 * (WallSeconds() - start);
    t->longestMs = std::max(t->longestMs, ms);
    t->totalMs += ms;
    ++t->count;
}

// Four cameras' writes for `seconds`. `inlineSync`: each camera also syncs
// its own file every second on its own thread, as it did before the syncer.
Timing WriteFor(int seconds, bool inlineSync, const std::string& folder)
{
    std::array<RecordingFile, 4> files;
    std::array<int, 4> syncFds{};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = folder + "/cam" + std::to_string(i) + (inlineSync ? "-inline" : "") + ".mpg";
        files[i].Open(path);
        syncFds[i] = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    }
    const std::vector<std::uint8_t> packet(2048, 0x5A);
    Timing timing;
    for (int tick = 0; tick < seconds * 25; ++tick) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const double start = WallSeconds();
            files[i].Write(packet.data(), packet.size());
            if (inlineSync && tick % 25 == 0)
                ::fdatasync(syncFds[i]);
            Note(&timing, start);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    for (int fd : syncFds)
        ::close(fd);
    return timing;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::string folder = MakeScratchDatabase("sync_bench");
    const std::uint64_t before = FileSyncer::Instance().SyncCount();
    const double start = WallSeconds();
    const Timing syncer = WriteFor(seconds, false, folder);
    const double elapsed = WallSeconds() - start;
    const double syncs = static_cast<double>(FileSyncer::Instance().SyncCount() - before);
    FileSyncer::Instance().Stop();
    Result("file sync: a camera's write, longest", syncer.longestMs, "ms", "syncs on their own thread");
    Result("file sync: a camera's write, mean", syncer.totalMs / syncer.count, "ms");
    Result("file sync: time between syncs of a file", 4 * elapsed / std::max(1.0, syncs), "s", "goal <= 2");
    const Timing inlined = WriteFor(seconds, true, folder);
    Result("file sync: a camera's write, longest, syncing itself", inlined.longestMs, "ms", "for comparison");
    Result("file sync: a camera's write, mean, syncing itself", inlined.totalMs / inlined.count, "ms");
    return 0;
}
