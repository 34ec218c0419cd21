// Four virtual cameras (640 × 480, 25 frames a second) through the whole
// program, offscreen, for a while; beside it, in the same run, the ffmpeg
// command-line tool doing the same chain for the same four sources (a
// source drawn in 24-bit blue-green-red as the program's virtual cameras
// draw, MPEG-1 at the same parameters, one thread), all four
// at once in real time as the cameras run. Each side's sources also run
// alone: the program's capture sources read and dropped, the tool's into a
// null output. Each side's own CPU per frame is its whole less its sources'.
// The program also runs with motion detection off, for the detection's share.
//   program_bench [seconds [rounds]]   (default 60 seconds, 3 rounds)
// PROGRAM_BENCH_SIZE (default 640x480) sets the cameras' size,
// PROGRAM_BENCH_FORMAT=h264 records H.264 (the tool then codes libx264 with
// the recorder's settings into MPEG-TS).
#include "BenchSupport.h"
#include "CameraDlg.h"
#include "CaptureDevices.h"
#include "CaptureSource.h"
#include "Profile.h"
#include "MotionDetector.h"
#include "Settings.h"
#include "VardoDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

std::string Size()
{
    const char* size = std::getenv("PROGRAM_BENCH_SIZE");
    return size != nullptr && *size != '\0' ? size : "640x480";
}

const std::string kSource = "testsrc2=size=" + Size() + ":rate=25";

bool H264()
{
    const char* format = std::getenv("PROGRAM_BENCH_FORMAT");
    return format != nullptr && std::string(format) == "h264";
}

// The tool's chain after the source, as the recorder codes.
std::string ToolEncoding(const std::string& root)
{
    if (!H264())
        return "-vf format=yuv420p -sws_flags bicubic -c:v mpeg1video -b:v 400k -g 10 -bf 0 -f mpeg1video '" + root +
               "/tool%d.m1v'";
    return "-vf format=yuv420p -sws_flags bicubic -c:v libx264 -preset ultrafast -tune zerolatency -crf 36 -g 125 "
           "-bf 0 -f mpegts '" + root + "/tool%d.ts'";
}

struct Totals {
    std::uint64_t delivered = 0;
    std::uint64_t encoded = 0;
};

Totals RunProgram(int seconds)
{
    Totals totals;
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    QEventLoop loop;  // as the program's own: it sleeps between events
    QTimer::singleShot((seconds + 1) * 1000, &loop, &QEventLoop::quit);  // the cameras start after a second
    loop.exec();
    dlg.StopMonitoring();  // the counters are read with every camera at rest
    for (int i = 0; i < CvardoDlg::kPanelCount; ++i) {
        const CCaptureGraph* graph = dlg.Panel(i)->Capture().Control();
        const std::uint64_t delivered = graph ? graph->FramesDelivered() : 0;
        const std::uint64_t encoded = graph ? graph->Renderer().FramesEncoded() : 0;
        std::fprintf(stderr, "camera %d: %llu delivered, %llu encoded\n", i + 1,
                     static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(encoded));
        totals.delivered += delivered;
        totals.encoded += encoded;
    }
    dlg.close();
    return totals;
}

// CPU seconds of the ffmpeg tool over the four sources, `chain` after the
// source. The four run at once and in real time (-re), as four cameras do in
// the recorder, so both sides share the two cores and their caches alike.
double ToolSeconds(int seconds, const std::string& chain)
{
    const double before = ChildCpuSeconds();
    std::string command;
    for (int i = 0; i < 4; ++i) {
        std::string output = chain;
        const auto at = output.find("%d");
        if (at != std::string::npos)
            output.replace(at, 2, std::to_string(i));
        command += "ffmpeg -nostdin -loglevel error -y -threads 1 -filter_threads 1 -re -f lavfi -i " + kSource +
                   ":duration=" + std::to_string(seconds) + ",format=bgr24 " + output + " & ";
    }
    if (!Shell(command + "wait"))
        std::fprintf(stderr, "program_bench: the ffmpeg tool failed\n");
    return ChildCpuSeconds() - before;
}

// CPU seconds per frame of the program's own four sources read as its
// cameras read them (paced, flipped to bottom-up rows), with nothing after.
double LumaroSourcesSecondsPerFrame(int seconds)
{
    const std::vector<CaptureDeviceEntry> devices = EnumerateCaptureDevices();
    std::vector<std::uint64_t> frames(devices.size());
    const double cpuStart = CpuSeconds();
    const double end = WallSeconds() + seconds;
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < devices.size(); ++i)
        readers.emplace_back([&, i] {
            CaptureSource source;
            std::string error;
            if (!source.Open(devices[i], &error)) {
                std::fprintf(stderr, "program_bench: source %zu: %s\n", i + 1, error.c_str());
                return;
            }
            std::vector<std::uint8_t> frame(static_cast<std::size_t>(3) * source.Width() * source.Height());
            while (WallSeconds() < end && source.ReadFrame(frame.data()) == ReadStatus::Frame)
                ++frames[i];
        });
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < readers.size(); ++i) {
        readers[i].join();
        total += frames[i];
    }
    return total > 0 ? (CpuSeconds() - cpuStart) / static_cast<double>(total) : 0;
}

// CPU seconds per frame of the program with every camera's motion
// detection off.
double ProgramWithoutMotion(int seconds)
{
    for (int position = 0; position < CvardoDlg::kPanelCount; ++position)
        WriteSetting(MotionSettingKey(position), "off");
    const double cpuStart = CpuSeconds();
    const Totals totals = RunProgram(seconds);
    const double perFrame = (CpuSeconds() - cpuStart) / static_cast<double>(totals.encoded);
    for (int position = 0; position < CvardoDlg::kPanelCount; ++position)
        WriteSetting(MotionSettingKey(position), "");
    return perFrame;
}

// One round: the program, its sources alone, then the tool's chain and the
// tool's sources alone, each as CPU seconds per frame.
struct Round {
    Totals totals;
    double lumaro = 0;
    double lumaroWithoutMotion = 0;
    double lumaroSources = 0;
    double tool = 0;
    double toolSources = 0;
};

// Each figure the least of the two rounds'; the totals are the first's.
Round LeastOf(const Round& a, const Round& b)
{
    Round least = a;
    least.lumaro = std::min(a.lumaro, b.lumaro);
    least.lumaroWithoutMotion = std::min(a.lumaroWithoutMotion, b.lumaroWithoutMotion);
    least.lumaroSources = std::min(a.lumaroSources, b.lumaroSources);
    least.tool = std::min(a.tool, b.tool);
    least.toolSources = std::min(a.toolSources, b.toolSources);
    return least;
}

Round RunRound(int seconds, const std::string& root)
{
    Round round;
    const double cpuStart = CpuSeconds();
    round.totals = RunProgram(seconds);
    round.lumaro = (CpuSeconds() - cpuStart) / static_cast<double>(round.totals.encoded);
    round.lumaroWithoutMotion = ProgramWithoutMotion(seconds);
    round.lumaroSources = LumaroSourcesSecondsPerFrame(seconds);
    const std::string encode = ToolEncoding(root);
    const double toolFrames = 4.0 * 25 * seconds;
    round.tool = ToolSeconds(seconds, encode) / toolFrames;
    round.toolSources = ToolSeconds(seconds, "-f null -") / toolFrames;
    std::fprintf(stderr, "round: Lumaro %.3f ms, its sources %.3f ms, tool %.3f ms, its sources %.3f ms per frame\n",
                 1000 * round.lumaro, 1000 * round.lumaroSources, 1000 * round.tool, 1000 * round.toolSources);
    return round;
}

}  // namespace

// The machine's other load only ever adds CPU time, so each side keeps the
// least it needed over the rounds, which run in turn.
int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string camera = std::string("lavfi:") + kSource;
    setenv("LUMARO_CAPTURE_DEVICES", (camera + ";" + camera + ";" + camera + ";" + camera).c_str(), 1);
    const std::string dir = MakeScratchDatabase("program_bench");
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    QApplication app(argc, argv);
    WriteProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 0);
    const std::string root = dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    if (H264())
        WriteSetting(kKeyRecordFormat, "h264");

    Totals totals;
    Round best;
    for (int i = 0; i < rounds; ++i) {
        const Round round = RunRound(seconds, root);
        totals.delivered += round.totals.delivered;
        totals.encoded += round.totals.encoded;
        best = i == 0 ? round : LeastOf(best, round);
    }
    const double lumaroOwn = best.lumaro - best.lumaroSources;
    const double toolOwn = best.tool - best.toolSources;
    const std::string least = "least of " + std::to_string(rounds) + " rounds";

    Result("four cameras: frames delivered", static_cast<double>(totals.delivered), "frames",
           std::to_string(rounds) + " rounds of " + std::to_string(seconds) + " s");
    Result("four cameras: frames encoded", static_cast<double>(totals.encoded), "frames",
           totals.delivered == totals.encoded ? "none lost" : "LOST");
    Result("four cameras: Lumaro CPU per frame", 1000 * best.lumaro, "ms", least);
    Result("four cameras: ffmpeg tool CPU per frame", 1000 * best.tool, "ms", least);
    Result("four cameras: Lumaro's sources alone CPU per frame", 1000 * best.lumaroSources, "ms", least);
    Result("four cameras: tool's sources alone CPU per frame", 1000 * best.toolSources, "ms", least);
    Result("four cameras: Lumaro own CPU per frame", 1000 * lumaroOwn, "ms");
    Result("four cameras: ffmpeg tool own CPU per frame", 1000 * toolOwn, "ms");
    Result("four cameras: own CPU ratio Lumaro/tool", lumaroOwn / toolOwn, "", "goal <= 1.3");
    Result("four cameras: Lumaro CPU per frame, motion detection off", 1000 * best.lumaroWithoutMotion, "ms", least);
    Result("four cameras: motion detection share of Lumaro's CPU", 100 * (best.lumaro - best.lumaroWithoutMotion) / best.lumaro,
           "%", "goal <= 3");
    Result("four cameras: Lumaro peak memory", static_cast<double>(PeakMemoryMiB()), "MiB");
    return 0;
}
