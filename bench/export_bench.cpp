// Export speed: a recording of one camera at 640 × 480 exported whole as an
// MP4 clip, in pictures per second of CPU, and the peak memory against that
// of an export of a tenth of the range (flat in the range's length).
//   export_bench [minutes]   (default 10)
#include "BenchSupport.h"
#include "ClipExporter.h"
#include "HistoryWriter.h"
#include "VideoEncoder.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr TimeValue kStart = 1700000000;

void Record(int pictures)
{
    std::vector<std::uint8_t> frame(640 * 480 * 3);
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(".");
    encoder.SetClock([] { return kStart; });
    encoder.Init(0, 640, 480);
    for (int i = 0; i < pictures; ++i) {
        for (std::size_t p = 0; p < frame.size(); p += 3)  // a moving ramp, not a flat picture
            frame[p] = frame[p + 1] = frame[p + 2] = static_cast<std::uint8_t>(p / 3 % 640 + i);
        encoder.EncodeFrame(frame.data(), 640, 480);
    }
    encoder.Close();
    HistoryWriter::Instance().WaitUntilWritten(std::chrono::seconds(30));
}

void Export(int seconds, const char* name)
{
    const double cpu = CpuSeconds();
    const ExportResult result = ClipExporter::Run({1, kStart, kStart + seconds, name, false, "export_bench"});
    const double spent = CpuSeconds() - cpu;
    Result(std::string("export: ") + std::to_string(seconds) + " s of 640x480", result.pictures / spent,
           "pictures/s of CPU", result.ok ? std::to_string(result.pictures) + " pictures" : result.error);
    Result(std::string("export: peak memory after ") + std::to_string(seconds) + " s", PeakMemoryMiB(), "MiB");
}

}  // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    MakeScratchDatabase("export_bench");
    Record(minutes * 60 * 25);
    Export(minutes * 6, "tenth.mp4");
    Export(minutes * 60, "whole.mp4");
    return 0;
}
