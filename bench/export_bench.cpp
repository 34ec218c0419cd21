// Export speed: a recording of one camera at 640 × 480 exported whole as an
// MP4 clip, in pictures per second of CPU, and the peak memory against that
// of an export of a tenth of the range (flat in the range's length); the
// same pictures recorded in H.264, whose export copies them, side by side. Then a
// minute from the middle of a day-long file (LayDayLongRecording): its time
// and the bytes read, against the file's size; and how soon 取消 ends an
// export of an hour of it.
//   export_bench [minutes [hours]]   (default 10 and 24; 0 hours: no day-long file)
#include "BenchSupport.h"
#include "ClipExporter.h"
#include "HistoryWriter.h"
#include "RecordFormat.h"
#include "VideoEncoder.h"

#include "Database.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

namespace {

constexpr TimeValue kStart = 1700000000;

void Record(int pictures, int camera)
{
    std::vector<std::uint8_t> frame(640 * 480 * 3);
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(".");
    encoder.SetClock([] { return kStart; });
    encoder.Init(camera - 1, 640, 480);
    for (int i = 0; i < pictures; ++i) {
        for (std::size_t p = 0; p < frame.size(); p += 3)  // a moving ramp, not a flat picture
            frame[p] = frame[p + 1] = frame[p + 2] = static_cast<std::uint8_t>(p / 3 % 640 + i);
        encoder.EncodeFrame(frame.data(), 640, 480);
    }
    encoder.Close();
    HistoryWriter::Instance().WaitUntilWritten(std::chrono::seconds(30));
}

void Export(int seconds, const char* name, int camera = 1)
{
    const double cpu = CpuSeconds();
    const double wall = WallSeconds();
    const ExportResult result = ClipExporter::Run({camera, kStart, kStart + seconds, name, false, "export_bench"});
    const double spent = CpuSeconds() - cpu;
    const std::string what = std::string("export: ") + std::to_string(seconds) + " s of 640x480" +
                             (camera == 3 ? " H.264 (copied)" : "");
    Result(what, result.pictures / spent, "pictures/s of CPU",
           result.ok ? std::to_string(result.pictures) + " pictures" : result.error);
    Result(what + ", wall", WallSeconds() - wall, "s");
    Result(std::string("export: peak memory after ") + std::to_string(seconds) + " s", PeakMemoryMiB(), "MiB");
}

// The bytes the report says were read for the clip.
long long BytesRead(const std::string& report)
{
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long long bytes = 0;
    const std::regex read("共 (\\d+) 字节");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), read); it != std::sregex_iterator(); ++it)
        bytes += std::stoll((*it)[1].str());
    return bytes;
}

void ExportFromADay(const std::string& dir, int hours)
{
    constexpr TimeValue kDay = kStart + 3600;  // a whole hour after the first recording
    const std::string path = dir + "/" + FormatLocalTime("dv(2)-%Y-%m-%d %H%M%S.mpg", kDay);
    if (!LayDayLongRecording(dir, path, hours))
        return;
    ExecuteCommand("INSERT INTO video_save_history (capdrive, video_save_path, start_time) VALUES (2, '" + path + "', '" +
                   FormatLocalTime("%Y-%m-%d %H:%M:%S", kDay) + "')");
    const TimeValue middle = kDay + hours * 3600 / 2;
    const double wall = WallSeconds();
    const ExportResult result = ClipExporter::Run({2, middle, middle + 60, "minute.mp4", false, "export_bench"});
    const std::string size = std::to_string(std::filesystem::file_size(path) >> 20) + " MiB file";
    Result("export: a minute from the middle of a " + std::to_string(hours) + "-hour file", WallSeconds() - wall, "s",
           result.ok ? size : result.error);
    Result("export: bytes read for that minute", static_cast<double>(BytesRead("minute.txt")) / (1 << 20), "MiB", size);
    std::atomic<bool> cancel{false};
    double cancelled = 0;
    std::thread canceller([&cancel, &cancelled] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        cancelled = WallSeconds();
        cancel = true;
    });
    const ExportResult hour = ClipExporter::Run({2, middle, middle + 3600, "hour.mp4", false, "export_bench"}, &cancel);
    const double ended = WallSeconds();
    canceller.join();
    Result("export: 取消 to the end of an hour's export", (ended - cancelled) * 1000, "ms",
           hour.ok ? "not cancelled" : "goal under 1000");
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    const int hours = argc > 2 ? std::atoi(argv[2]) : 24;
    const std::string dir = MakeScratchDatabase("export_bench");
    Record(minutes * 60 * 25, 1);
    ChooseRecordFormat(RecordFormat::kH264);
    Record(minutes * 60 * 25, 3);
    ChooseRecordFormat(RecordFormat::kMpeg1);
    Export(minutes * 6, "tenth.mp4");
    Export(minutes * 60, "whole.mp4");
    Export(minutes * 60, "copied.mp4", 3);
    if (hours > 0)
        ExportFromADay(dir, hours);
    return 0;
}
