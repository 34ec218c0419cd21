// The recorder on a PC that cannot keep up: the real program with four
// 1920 × 1080 virtual cameras at 25 a second, beside two busy loops per
// core, for a while; then SIGTERM. It prints how many files each camera
// made (one each, when falling behind is never taken for a silent camera),
// how many pictures they hold against the time they cover (25 a second),
// how many of those were new camera pictures, and how long the end took.
//   overload_bench [seconds [busy loops per core]]   (default 80 and 2)
// LUMARO_BENCH_BINARY names another build of the program to run instead.
#include "BenchSupport.h"
#include "Database.h"
#include "PictureClock.h"
#include "RecordingSeeker.h"
#include "Settings.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kCameras =
    "lavfi:testsrc2=size=1920x1080:rate=25;lavfi:testsrc2=size=1920x1080:rate=25;"
    "lavfi:testsrc2=size=1920x1080:rate=25;lavfi:testsrc2=size=1920x1080:rate=25";

std::vector<pid_t> StartBusyLoops(int perCore)
{
    std::vector<pid_t> children;
    const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    for (long i = 0; i < cores * perCore; ++i) {
        const pid_t child = fork();
        if (child == 0)
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        children.push_back(child);
    }
    return children;
}

pid_t StartProgram(const std::string& dir)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("LUMARO_CAPTURE_DEVICES", kCameras, 1);
    if (std::freopen((dir + "/stderr.log").c_str(), "w", stderr) == nullptr)
        _exit(126);
    const char* other = std::getenv("LUMARO_BENCH_BINARY");
    const char* binary = other != nullptr && *other != '\0' ? other : LUMARO_BINARY;
    execl(binary, binary, static_cast<char*>(nullptr));
    _exit(127);
}

// Seconds until `child` ended after SIGTERM (killed after 30 s).
double StopSeconds(pid_t child)
{
    const double start = WallSeconds();
    ::kill(child, SIGTERM);
    for (int waited = 0; waited < 30000; waited += 10) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return WallSeconds() - start;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return WallSeconds() - start;
}

struct CameraFiles {
    int files = 0;
    long long pictures = 0;
};

std::map<int, CameraFiles> CountFiles(const std::string& folder)
{
    std::map<int, CameraFiles> cameras;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("dv(", 0) != 0 || name.size() < 5)
            continue;
        CameraFiles& camera = cameras[name[3] - '0'];
        ++camera.files;
        Shell("ffmpeg -nostdin -v error -i '" + entry.path().string() + "' -f null - 2>&1 | head -2 >&2");
        camera.pictures += RecordingSeeker(entry.path().string()).LastPictureNumber().value_or(-1) + 1;
    }
    return cameras;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 80;
    const int perCore = argc > 2 ? std::max(0, std::atoi(argv[2])) : 2;
    const std::string dir = MakeScratchDatabase("overload_bench");
    const std::string folder = dir + "/recordings";
    std::filesystem::create_directory(folder);
    WriteSetting(kKeyVideoRootPath, folder);

    const std::vector<pid_t> busy = StartBusyLoops(perCore);
    const pid_t program = StartProgram(dir);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double stop = StopSeconds(program);
    for (const pid_t child : busy)
        ::kill(child, SIGKILL);
    for (const pid_t child : busy)
        waitpid(child, nullptr, 0);

    const auto cameras = CountFiles(folder);
    for (const auto& [camera, files] : cameras) {
        std::fprintf(stderr, "camera %d: %d files, %lld pictures (%.1f s)\n", camera, files.files, files.pictures,
                     static_cast<double>(files.pictures) / kRecordingPicturesPerSecond);
        Result("overload: camera " + std::to_string(camera) + " files", files.files, "files",
               std::to_string(seconds) + " s, " + std::to_string(perCore) + " busy loops a core");
        Result("overload: camera " + std::to_string(camera) + " recorded", files.pictures / 25.0, "s",
               "pictures / 25");
    }
    Result("overload: SIGTERM to the end", stop, "s", "goal < 1");
    Shell("grep -c 'new file\\|silence\\|lost' " + dir + "/stderr.log >&2 || true");
    return 0;
}
