// Four virtual cameras at 640 × 480 and 25 frames a second through the whole
// pipeline (capture, display, stamps, day rule, encoding, files and rows) for
// a while; prints CPU time per frame, peak memory and, per camera, the frames
// delivered and encoded.
//   capture_bench [seconds]   (default 30)
#include "CameraDlg.h"
#include "Database.h"
#include "Schema.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakKib()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const char* camera = "lavfi:testsrc2=size=640x480:rate=25";
    const std::string devices = std::string(camera) + ";" + camera + ";" + camera + ";" + camera;
    setenv("LUMARO_CAPTURE_DEVICES", devices.c_str(), 1);
    QApplication app(argc, argv);

    char tmpl[] = "/tmp/lumaro-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    std::filesystem::current_path(dir);
    std::string error;
    if (!CreateDatabaseFile(kDatabaseFile, &error) || std::freopen("/dev/null", "w", stdout) == nullptr ||
        InitDatabaseConnect() != 0) {
        std::fprintf(stderr, "capture_bench: no database: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::unique_ptr<CCameraDlg>> panels;
    for (int i = 0; i < 4; ++i) {
        panels.push_back(std::make_unique<CCameraDlg>());
        panels.back()->resize(320, 240);
        panels.back()->SetDeviceIndex(i);
        panels.back()->SetRecordingRoot(dir);
        panels.back()->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    }
    const double cpuStart = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);

    std::uint64_t encodedTotal = 0;
    std::fprintf(stderr, "camera  delivered  encoded\n");
    for (auto& panel : panels) {
        const CCaptureGraph* graph = panel->Capture().Control();
        const std::uint64_t delivered = graph ? graph->FramesDelivered() : 0;
        const std::uint64_t encoded = graph ? graph->Renderer().FramesEncoded() : 0;
        encodedTotal += encoded;
        std::fprintf(stderr, "%6d  %9llu  %7llu\n", panel->DeviceIndex() + 1,
                     static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(encoded));
    }
    panels.clear();
    const double cpu = CpuSeconds() - cpuStart;
    std::fprintf(stderr, "wall %.1f s, CPU %.2f s, CPU per frame %.3f ms, peak memory %ld MiB\n",
                 wall.elapsed() / 1000.0, cpu, encodedTotal ? cpu * 1000.0 / encodedTotal : 0.0,
                 PeakKib() / 1024);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
