// The time rule through the real program: a network camera whose pictures
// show when they were taken records so that picture n of a file shows the
// moment (its first picture + n / 25 s), at low rates, with pauses and
// across a stop of the process; an export's first and last pictures are
// the asked moments.
#include "PictureClock.h"
#include "ProgramRun.h"
#include "Settings.h"
#include "TextFormat.h"
#include "TimedCamera.h"
#include "capture/NetworkCameras.h"
#include "store/TempDatabase.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Checked {
    int pictures = 0;      // pictures that showed a new camera picture
    double worstMs = 0;    // the largest distance from their moment
    long long total = 0;   // pictures in the files
};

// Each new camera picture in `path` against the moment the rule gives it.
Checked CheckFile(const std::string& path, std::int64_t epochUs)
{
    Checked checked;
    const std::optional<PreciseTime> first = RecordingFirstPicture(path);
    if (!first)
        return checked;
    std::optional<std::int64_t> previous;
    const auto pictures = GreyPictures(path, TimedCamera::kWidth, TimedCamera::kHeight);
    checked.total = static_cast<long long>(pictures.size());
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        const std::optional<std::int64_t> ms = ReadBars(pictures[n].data(), TimedCamera::kWidth, TimedCamera::kHeight);
        if (!ms || ms == previous)
            continue;  // a repeat holds the previous picture's moment
        previous = ms;
        ++checked.pictures;
        const double errorMs = static_cast<double>(PictureTime(*first, static_cast<long long>(n)) - epochUs) / 1000.0 -
                               static_cast<double>(*ms);
        checked.worstMs = std::max(checked.worstMs, std::abs(errorMs));
    }
    return checked;
}

class TimeRuleTest : public TempDatabaseTest {
protected:
    std::vector<std::string> Recordings(const std::string& folder)
    {
        WaitForRows();
        return Column(ExecuteCommand("select * from video_save_history where capdrive=1 and video_save_path like '" +
                                     folder + "/%' order by start_time"),
                      "video_save_path");
    }
    void CheckExport(const std::string& recording, std::int64_t epochUs, int rate);
};

// An export of four whole seconds from the recording: its first picture is
// the camera's latest picture at the start, its last the latest at the end.
void TimeRuleTest::CheckExport(const std::string& recording, std::int64_t epochUs, int rate)
{
    const TimeValue from = WholeSeconds(*RecordingFirstPicture(recording)) + 2;
    const std::string clip = m_dir + "/clip.mp4";
    const std::string command = std::string(LUMARO_BINARY) + " --export --camera 1 --from '" +
                                FormatLocalTime("%Y-%m-%d %H:%M:%S", from) + "' --to '" +
                                FormatLocalTime("%Y-%m-%d %H:%M:%S", from + 4) + "' --output " + clip + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto pictures = GreyPictures(clip, TimedCamera::kWidth, TimedCamera::kHeight);
    ASSERT_EQ(pictures.size(), 4u * 25 + 1) << "from the picture at the start to the one at the end";
    const double sinceEpochMs = static_cast<double>(from * kMicrosPerSecond - epochUs) / 1000.0;
    const double cameraGapMs = 1000.0 / rate + 50.0;
    for (const auto& [index, moment] : {std::pair<std::size_t, double>{0, sinceEpochMs}, {100, sinceEpochMs + 4000}}) {
        const auto ms = ReadBars(pictures[index].data(), TimedCamera::kWidth, TimedCamera::kHeight);
        ASSERT_TRUE(ms) << "picture " << index;
        EXPECT_LE(static_cast<double>(*ms), moment + 50.0) << "picture " << index << ": not from later";
        EXPECT_GE(static_cast<double>(*ms), moment - cameraGapMs) << "picture " << index << ": the latest one then";
    }
}

struct TimedCase {
    const char* what;
    int rate, pauseMs, periodMs;
    bool stopProcess;
    int busyLoopsPerCore;
    int leastPictures;  // new camera pictures in the file
    bool raw;           // MJPEG over bare TCP: a picture is whole at its end marker
    bool exportToo;
    bool h264 = false;  // the space-saving recording format
};

const TimedCase kTimedCases[] = {
    {"5 a second", 5, 0, 0, false, 0, 40, false, true},
    {"10 a second, 2 s pause in every 10", 10, 2000, 10000, false, 0, 80, false, false},
    {"10 a second, the program stopped for 3 s", 10, 0, 0, true, 0, 80, false, false},
    // Pictures may be left out on a busy PC, but none is late.
    {"25 a second on a busy PC, stopped for 3 s", 25, 0, 0, true, 2, 80, false, false},
    {"raw MJPEG over TCP, 2 a second", 2, 0, 0, false, 0, 16, true, false},
    {"5 a second, H.264", 5, 0, 0, false, 0, 40, false, true, true},
    {"10 a second, 2 s pause in every 10, H.264", 10, 2000, 10000, false, 0, 80, false, false, true},
};

void PrintTo(const TimedCase& c, std::ostream* out)
{
    *out << c.what;
}

class TimeRuleCases : public TimeRuleTest, public ::testing::WithParamInterface<TimedCase> {};

TEST_P(TimeRuleCases, EveryPictureShowsTheMomentItsPlaceGives)
{
    const TimedCase& c = GetParam();
    const std::string folder = m_dir + "/recordings";
    std::filesystem::create_directory(folder);
    WriteSetting(kKeyVideoRootPath, folder);
    WriteSetting(kKeyRecordFormat, c.h264 ? "h264" : "mpeg1");
    const BusyLoops load(c.busyLoopsPerCore);
    const std::int64_t epoch = CurrentPreciseTime();
    TimedCamera camera(FreeLoopbackPort(), c.rate, epoch, c.pauseMs, c.periodMs, c.raw);
    const pid_t child = StartProgram(m_dir, camera.Entry(), m_dir + "/stdout.log", {}, m_dir + "/stderr.log");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(5s);
    if (c.stopProcess) {
        ::kill(child, SIGSTOP);
        std::this_thread::sleep_for(3s);
        ::kill(child, SIGCONT);
    }
    std::this_thread::sleep_for(c.stopProcess ? 5s : 8s);
    EXPECT_EQ(StopProgram(child, SIGTERM), 0) << c.what;
    const auto files = Recordings(folder);
    ASSERT_EQ(files.size(), 1u) << c.what << ": no silence long enough to end the file\n"
                                << ReadAll(m_dir + "/stderr.log");
    EXPECT_EQ(files[0].substr(files[0].size() - 3) == ".ts", c.h264) << files[0];
    const Checked checked = CheckFile(files[0], epoch);
    std::fprintf(stderr, "%s: %lld pictures, %d new camera pictures, worst %.0f ms\n", c.what, checked.total,
                 checked.pictures, checked.worstMs);
    EXPECT_GE(checked.pictures, c.leastPictures) << c.what;
    EXPECT_LE(checked.worstMs, 100.0) << c.what << ": within a tenth of a second";
    EXPECT_GE(checked.total, 25 * 10) << c.what << ": the file covers the time it recorded";
    if (c.exportToo)
        CheckExport(files.at(0), epoch, c.rate);
}

std::string CaseName(const ::testing::TestParamInfo<TimedCase>& info)
{
    static const char* const kNames[] = {"FiveASecond", "TenASecondWithPauses", "TenASecondStopped",
                                         "TwentyFiveASecondOnABusyPcStopped", "RawMjpegOverTcp", "FiveASecondH264",
                                         "TenASecondWithPausesH264"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Cameras, TimeRuleCases, ::testing::ValuesIn(kTimedCases), CaseName);

}  // namespace
