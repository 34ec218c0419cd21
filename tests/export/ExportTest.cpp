// Export of a time range as an MP4 clip, through the real program's command
// line, read back with the ffmpeg tools and sha256sum.
#include "ClipExporter.h"
#include "HistoryWriter.h"
#include "VideoEncoder.h"
#include "record/Frames.h"
#include "store/TempDatabase.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

namespace {

constexpr TimeValue kStart = 1257064200;  // 2009-11-01 08:30:00 UTC

std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), &pclose);
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    const int rc = pclose(pipe.release());
    if (status != nullptr)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

class ExportTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
        // Camera 1: two seconds of a red scene, then a restart: two of a blue one.
        Record(kStart, 50, SolidFrame(176, 144, 30, 30, 200));
        Record(kStart + 2, 50, SolidFrame(176, 144, 200, 30, 30));
        WaitForRows();
    }
    void Record(TimeValue start, int frames, const std::vector<std::uint8_t>& frame)
    {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.SetClock([start] { return start; });
        encoder.Init(0, 176, 144);
        for (int i = 0; i < frames; ++i)
            encoder.EncodeFrame(frame.data(), 176, 144);
        encoder.Close();
    }
    int Export(const std::string& arguments)
    {
        int status = 0;
        m_output = Shell(std::string("TZ=UTC0 ") + LUMARO_BINARY + " --export " + arguments, &status);
        return status;
    }
    // The red, green and blue of the clip's picture `n` at its centre.
    std::string PixelAt(const std::string& clip, int n)
    {
        const std::string raw = m_dir + "/pixel.rgb";
        Shell("ffmpeg -v error -y -i '" + clip + "' -vf 'select=eq(n\\," + std::to_string(n) +
            "),crop=2:2:87:71' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'");
        std::ifstream in(raw, std::ios::binary);
        unsigned char rgb[3] = {};
        in.read(reinterpret_cast<char*>(rgb), 3);
        return rgb[0] > 150 && rgb[2] < 80 ? "red" : rgb[2] > 150 && rgb[0] < 80 ? "blue" : "other";
    }
    std::string m_output;
};

TEST_F(ExportTest, ARangeAcrossTwoFilesBecomesOneClipWithTrueColoursAndItsChecksum)
{
    const std::string clip = m_dir + "/clip.mp4";
    ASSERT_EQ(Export("--camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03' --output '" + clip + "'"), 0)
        << m_output;
    const std::string probe = Shell("ffprobe -v error -count_frames -show_entries "
                                  "stream=codec_name,nb_read_frames,r_frame_rate:format=duration:format_tags=creation_time,title "
                                  "-of default=nw=1 '" + clip + "'");
    EXPECT_NE(m_output.find("lumaro: exported 51 pictures to " + clip), std::string::npos) << m_output;
    EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=51"), std::string::npos) << "08:30:01 to 08:30:03, both ends: " << probe;
    EXPECT_NE(probe.find("r_frame_rate=25/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("duration=2.04"), std::string::npos) << probe;
    EXPECT_NE(probe.find("TAG:creation_time=2009-11-01T08:30:01"), std::string::npos) << probe;
    EXPECT_NE(probe.find("TAG:title=Lumaro 摄像头 1"), std::string::npos) << probe;
    EXPECT_EQ(PixelAt(clip, 5), "red") << "the first file's scene, red as it was";
    EXPECT_EQ(PixelAt(clip, 45), "blue") << "the second file's scene";
    int status = -1;
    const std::string check = Shell("cd '" + m_dir + "' && sha256sum -c clip.mp4.sha256", &status);
    EXPECT_EQ(status, 0) << check;
    EXPECT_FALSE(Exists(clip + ".part"));
}

TEST_F(ExportTest, BadInputSaysSoInOneLineAndLeavesNoFile)
{
    const std::string clip = m_dir + "/bad.mp4";
    const std::string out = " --output '" + clip + "'";
    const char* ranges[] = {
        "--camera 1 --from '2009-11-01 08:30:03' --to '2009-11-01 08:30:01'",  // backwards
        "--camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:01'",  // empty
        "--camera 1 --from 'yesterday' --to '2009-11-01 08:30:03'",
        "--camera 1 --from '2009-02-30 08:30:01' --to '2009-11-01 08:30:03'",
        "--camera 5 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03'",
        "--camera 2 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03'",  // no recording
        "--camera 1 --from '2009-11-02 08:30:01' --to '2009-11-02 08:30:03'",  // none that day
    };
    for (const char* range : ranges) {
        EXPECT_NE(Export(std::string(range) + out), 0) << range;
        EXPECT_EQ(std::count(m_output.begin(), m_output.end(), '\n'), 1) << range << ": " << m_output;
        EXPECT_TRUE(std::regex_search(m_output, std::regex("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d lumaro: export: ")))
            << "one line with its local time stamp: " << m_output;
        EXPECT_FALSE(Exists(clip)) << range;
    }
    EXPECT_NE(Export("--camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03' --output /nonexistent/x.mp4"), 0);
    EXPECT_NE(m_output.find("/nonexistent/x.mp4"), std::string::npos) << m_output;

    const auto paths = Column(ExecuteCommand("select * from video_save_history order by start_time"), "video_save_path");
    std::filesystem::remove(paths[1]);  // a recording gone
    EXPECT_NE(Export("--camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03'" + out), 0);
    EXPECT_NE(m_output.find(paths[1]), std::string::npos) << m_output;
    EXPECT_FALSE(Exists(clip));
    std::ofstream(paths[1]) << "not a recording";  // a recording damaged
    EXPECT_NE(Export("--camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03'" + out), 0);
    EXPECT_NE(m_output.find("damaged"), std::string::npos) << m_output;
    EXPECT_FALSE(Exists(clip));
}

TEST_F(ExportTest, ACancelledExportLeavesNoFile)
{
    const std::string clip = m_dir + "/cancelled.mp4";
    const std::atomic<bool> cancel{true};
    const ExportResult result = ClipExporter::Run({1, kStart, kStart + 3, clip}, &cancel);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "cancelled");
    EXPECT_FALSE(Exists(clip));
    EXPECT_FALSE(Exists(clip + ".part"));
    EXPECT_FALSE(Exists(clip + ".sha256"));
}

}  // namespace
