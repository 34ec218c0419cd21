// Export of a time range as an MP4 clip, through the real program's command
// line, read back with the ffmpeg tools and sha256sum.
#include "ClipExporter.h"
#include "HistoryWriter.h"
#include "RecordFormat.h"
#include "RecordingName.h"
#include "record/Mpeg1File.h"
#include "VideoEncoder.h"
#include "record/Frames.h"
#include "Settings.h"
#include "ShellOutput.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <fstream>
#include <memory>
#include <regex>

namespace {

constexpr TimeValue kStart = 1257064200;  // 2009-11-01 08:30:00 UTC

class ExportTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
        m_root = m_dir + "/rec";
        std::filesystem::create_directory(m_root);
        WriteSetting(kKeyVideoRootPath, m_root);
        // Camera 1: two seconds of a red scene, then a restart: two of a
        // blue one, in a file recorded before files said "true colours"
        // (red and blue exchanged); six seconds later another restart.
        // Camera 3: two seconds.
        Record(kStart, 50, SolidFrame(176, 144, 30, 30, 200));
        Record(kStart + 2, 50, SolidFrame(176, 144, 30, 30, 200));
        MarkAsOlderRecording(RecordingPath(m_root, 0, kStart + 2));
        Record(kStart + 10, 50, SolidFrame(176, 144, 30, 30, 200));
        Record(kStart, 50, SolidFrame(176, 144, 200, 30, 30), 3);
        WaitForRows();
    }
    void Record(TimeValue start, int frames, const std::vector<std::uint8_t>& frame, int camera = 1)
    {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_root);
        encoder.SetClock([start] { return start; });
        encoder.Init(camera - 1, 176, 144);
        for (int i = 0; i < frames; ++i)
            encoder.EncodeFrame(frame.data(), 176, 144);
        encoder.Close();
    }
    int Export(const std::string& arguments)
    {
        int status = 0;
        m_output = ShellOutput(std::string("TZ=UTC0 ") + LUMARO_BINARY + " --export " + arguments, &status);
        return status;
    }
    // The red, green and blue of the clip's picture `n` at its centre, or at (x, y).
    std::string PixelAt(const std::string& clip, int n, int x = 87, int y = 71)
    {
        const std::string raw = m_dir + "/pixel.rgb";
        ShellOutput("ffmpeg -v error -y -i '" + clip + "' -vf 'select=eq(n\\," + std::to_string(n) + "),crop=2:2:" +
                    std::to_string(x) + ":" + std::to_string(y) + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'");
        std::ifstream in(raw, std::ios::binary);
        unsigned char rgb[3] = {};
        in.read(reinterpret_cast<char*>(rgb), 3);
        return rgb[0] > 150 && rgb[2] < 80 ? "red" : rgb[2] > 150 && rgb[0] < 80 ? "blue" : "other";
    }
    std::string Recording(int n)
    {
        return Column(ExecuteCommand("select * from video_save_history where capdrive=1 order by start_time"),
                      "video_save_path")[static_cast<std::size_t>(n)];
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Nothing of an unfinished export in the folder.
    bool NoPartFiles()
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            if (entry.path().extension() == ".part")
                return false;
        return true;
    }
    std::string m_root;
    std::string m_output;
};

TEST_F(ExportTest, ARangeAcrossTwoFilesBecomesOneStandardClipPerCameraWithReportAndChecksums)
{
    ASSERT_EQ(Export("--camera 1,3 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:03' --output clip.mp4"), 0)
        << m_output;
    const std::string clip = "clip-camera1.mp4";
    const std::string probe = ShellOutput("ffprobe -v error -count_frames -show_entries "
                                    "stream=codec_name,nb_read_frames,r_frame_rate,color_range,color_space,color_transfer,"
                                    "color_primaries:format=duration:format_tags=creation_time,title,encoder,date "
                                    "-of default=nw=1 " + clip);
    EXPECT_NE(m_output.find("lumaro: exported 51 pictures to " + clip), std::string::npos) << m_output;
    for (const char* expected : {"codec_name=h264", "nb_read_frames=51", "r_frame_rate=25/1", "duration=2.04",
                                 "color_range=tv", "color_space=smpte170m", "color_transfer=smpte170m",
                                 "color_primaries=smpte170m", "TAG:creation_time=2009-11-01T08:30:01",
                                 "TAG:date=2009-11-01T08:30:01.00+00:00", "TAG:title=Lumaro 摄像头 1",
                                 "TAG:encoder=Lumaro "})
        EXPECT_NE(probe.find(expected), std::string::npos) << expected << "\n" << probe;
    const std::string bytes = Read(clip);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "the index comes before the pictures";
    for (const char* made : {"clip-camera1.mp4", "clip-camera1.txt", "clip-camera1.mp4.sha256"})
        EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write) << made;
    EXPECT_EQ(PixelAt(clip, 5), "red") << "the first file's scene, red as it was";
    EXPECT_EQ(PixelAt(clip, 45), "blue") << "the second file's scene, from an older file";
    EXPECT_NE(Read("clip-camera3.txt").find("摄像头：摄像头 3"), std::string::npos);
    for (const char* checksums : {"clip-camera1.mp4.sha256", "clip-camera3.mp4.sha256"}) {
        int status = -1;
        const std::string check = ShellOutput(std::string("sha256sum -c ") + checksums, &status);
        EXPECT_EQ(status, 0) << check;
        EXPECT_EQ(std::count(check.begin(), check.end(), '\n'), 2) << "the clip and its report: " << check;
    }
    EXPECT_TRUE(NoPartFiles());
}

// A folder holding both formats: a range over an MPEG-1 file and the H.264
// one after it is one clip, each second from its own file, the H.264 one's
// uncoded repeats filled, no gap and no damage reported.
TEST_F(ExportTest, ARangeOverBothFormatsIsOneClipWithoutGaps)
{
    ChooseRecordFormat(RecordFormat::kH264);
    Record(kStart + 300, 50, SolidFrame(176, 144, 200, 30, 30), 2);  // blue, 08:35:00 to 08:35:02
    ChooseRecordFormat(RecordFormat::kMpeg1);
    Record(kStart + 302, 50, SolidFrame(176, 144, 30, 30, 200), 2);  // red, MPEG-1, 08:35:02 to 08:35:04
    WaitForRows();
    ASSERT_EQ(Export("--camera 2 --from '2009-11-01 08:35:00' --to '2009-11-01 08:35:03' --output both.mp4"), 0)
        << m_output;
    EXPECT_NE(m_output.find("exported 76 pictures"), std::string::npos) << m_output;
    EXPECT_EQ(PixelAt("both.mp4", 20), "blue") << "from the H.264 file";
    EXPECT_EQ(PixelAt("both.mp4", 70), "red") << "from the MPEG-1 file";
    const std::string report = Read("both.txt");
    EXPECT_NE(report.find("dv(2)-2009-11-01 083500.ts"), std::string::npos) << report;
    EXPECT_NE(report.find("缺口（没有录像）：无"), std::string::npos) << report;
    EXPECT_NE(report.find("损坏的片段：无"), std::string::npos) << report;
}

// An H.264 range is copied: the clip decodes to the recording's own
// pictures (encoded again they would differ), begins at the asked second
// though the recording's refresh picture lies two seconds before it, and
// damage in the recording is still found and told.
TEST_F(ExportTest, AnH264RangeIsCopiedAsRecordedWithItsDamageTold)
{
    ChooseRecordFormat(RecordFormat::kH264);
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(m_root);
    encoder.SetClock([] { return kStart + 600; });
    encoder.Init(3, 176, 144);
    for (int i = 0; i < 200; ++i) {
        const auto level = static_cast<std::uint8_t>(40 + i % 25 * 6);
        encoder.EncodeFrame(SolidFrame(176, 144, level, 90, 255 - level).data(), 176, 144);
    }
    const std::string source = encoder.CurrentPath();
    encoder.Close();
    ChooseRecordFormat(RecordFormat::kMpeg1);
    WaitForRows();
    const std::string range = "--camera 4 --from '2009-11-01 08:40:02' --to '2009-11-01 08:40:07' --output copy.mp4";
    ASSERT_EQ(Export(range), 0) << m_output;
    EXPECT_NE(m_output.find("exported 126 pictures"), std::string::npos) << m_output;
    // From the recording's refresh picture at 08:40:05 the clip's pictures are the recording's own; the two
    // seconds before it are its head, encoded again, close to them.
    const std::string pictures = " -v error -f framemd5 - | grep -v '^#' | cut -d, -f6 | tail -n +76";
    const std::string copied = ShellOutput("ffmpeg -i copy.mp4" + pictures);
    EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), 51) << copied;
    EXPECT_TRUE(copied == ShellOutput("ffmpeg -i '" + source + "' -vf 'select=between(n\\,50\\,175)' -vsync passthrough" +
                                    pictures)) << "the clip's pictures are not the recording's own";
    const std::string psnr = ShellOutput("ffmpeg -i copy.mp4 -i '" + source + "' -filter_complex '[1]select=between(n\\,50\\,"
                                         "175),setpts=N/25/TB[s];[0]setpts=N/25/TB[c];[c][s]psnr' -f null - 2>&1");
    std::smatch least;
    ASSERT_TRUE(std::regex_search(psnr, least, std::regex("PSNR .* min:([0-9.]+|inf)"))) << psnr;
    EXPECT_TRUE(least[1] == "inf" || std::stod(least[1]) > 35) << "the head's first picture is the range's: " << psnr;
    const std::string probe = ShellOutput("ffprobe -v error -show_entries format=duration:stream=color_primaries -of default=nw=1 copy.mp4");
    EXPECT_NE(probe.find("duration=5.04"), std::string::npos) << probe;
    EXPECT_NE(probe.find("color_primaries=smpte170m"), std::string::npos) << "the recording's own colours: " << probe;
    EXPECT_NE(Read("copy.txt").find("损坏的片段：无"), std::string::npos) << Read("copy.txt");

    const std::string original = Read(source);
    // A packet of the video stream (FFmpeg's number 0x100) from the middle on.
    std::size_t video = original.size() / 2 / 188 * 188;
    while (video + 188 < original.size() && ((original[video + 1] & 0x1F) << 8 | static_cast<unsigned char>(original[video + 2])) != 0x100)
        video += 188;
    const struct {
        const char* what;
        std::size_t cutAt;       // bytes kept of the recording
        std::size_t dropPacket;  // a transport packet taken out, or 0
        const char* said;
    } harms[] = {
        {"a packet lost", original.size(), video, "damaged pictures from 2009-11-01 08:40:0"},
        {"cut within a picture", original.size() - 100, 0, "damaged pictures from 2009-11-01 08:40:07"},
    };
    for (const auto& harm : harms) {
        std::string harmed = original.substr(0, harm.cutAt);
        if (harm.dropPacket > 0)
            harmed.erase(harm.dropPacket, 188);
        WriteFile(source, harmed);
        ASSERT_EQ(Export("--overwrite --camera 4 --from '2009-11-01 08:40:02' --to '2009-11-01 08:40:08' --output copy.mp4"), 0)
            << harm.what << ": " << m_output;
        EXPECT_NE(m_output.find(harm.said), std::string::npos) << harm.what << ": " << m_output;
    }
}

// H.264 recordings across a restart are copied with the gap kept; a range
// whose recordings change size (a camera set to another resolution) is
// encoded, every picture at the clip's size (a smaller one read past the
// end of its picture before).
TEST_F(ExportTest, RecordingsAcrossARestartAreCopiedAndAnotherSizeIsEncoded)
{
    const auto record = [this](TimeValue start, int width, int height, bool green = false) {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_root);
        encoder.SetClock([start] { return start; });
        encoder.Init(3, width, height);
        for (int i = 0; i < 50; ++i) {
            const auto level = static_cast<std::uint8_t>(40 + i % 25 * 6);
            const auto frame = green ? SolidFrame(width, height, 30, 200, 30) : SolidFrame(width, height, level, 90, 255 - level);
            encoder.EncodeFrame(frame.data(), width, height);
        }
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        return path;
    };
    const std::string pictures = " -v error -f framemd5 - | grep -v '^#' | cut -d, -f6";
    for (const RecordFormat format : {RecordFormat::kH264, RecordFormat::kMpeg1}) {
        const TimeValue start = kStart + (format == RecordFormat::kH264 ? 700 : 800);
        ChooseRecordFormat(format);
        const std::string first = record(start, 176, 144), second = record(start + 5, 176, 144);
        record(start + 10, 88, 72, true);
        ChooseRecordFormat(RecordFormat::kMpeg1);
        WaitForRows();
        const auto at = [](TimeValue t) { return "'" + FormatLocalTime("%Y-%m-%d %H:%M:%S", t) + "'"; };
        ASSERT_EQ(Export("--overwrite --camera 4 --from " + at(start) + " --to " + at(start + 6) + " --output restart.mp4"), 0)
            << m_output;
        EXPECT_NE(m_output.find("no recording from " + FormatLocalTime("%Y-%m-%d %H:%M:%S", start + 2) + ".00 to " +
                                FormatLocalTime("%Y-%m-%d %H:%M:%S", start + 5) + ".00"), std::string::npos) << m_output;
        if (format == RecordFormat::kH264) {
            EXPECT_EQ(ShellOutput("ffmpeg -i restart.mp4" + pictures + " | head -n 75"),
                      ShellOutput("(ffmpeg -i '" + first + "'" + pictures + "; ffmpeg -i '" + second + "'" + pictures +
                                  " | head -n 25)")) << "both recordings' own pictures";
        }
        ASSERT_EQ(Export("--overwrite --camera 4 --from " + at(start + 5) + " --to " + at(start + 12) + " --output sizes.mp4"), 0)
            << m_output;
        EXPECT_NE(m_output.find("exported 100 pictures"), std::string::npos) << m_output;
        EXPECT_EQ(ShellOutput("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames -of csv=p=0 sizes.mp4"),
                  "176,144,100\n");
        for (const auto& [x, y] : {std::pair<int, int>{87, 71}, {172, 140}})
            EXPECT_EQ(PixelAt("sizes.mp4", 99, x, y), "other") << "the last picture green as recorded, at " << x << "," << y;
    }
}

TEST_F(ExportTest, GapsAndDamageStayInTheTimeLineAndAreNamedInTheReport)
{
    const std::string gapLine = "no recording from 2009-11-01 08:30:04.00 to 2009-11-01 08:30:10.00 (6.00 s)";
    ASSERT_EQ(Export("--camera 1 --from '2009-11-01 08:30:03' --to '2009-11-01 08:30:11' --output gap.mp4"), 0)
        << "a gap is a fact, not a failure: " << m_output;
    EXPECT_NE(m_output.find(gapLine), std::string::npos) << m_output;
    const std::string stamps = ShellOutput("ffprobe -v error -show_entries packet=pts_time -of csv=p=0 gap.mp4");
    std::vector<double> times;
    for (std::istringstream in(stamps); in;) {
        double t = 0;
        if (in >> t)
            times.push_back(t);
    }
    ASSERT_EQ(times.size(), 51u) << stamps;
    EXPECT_NEAR(times[25] - times[24], 6.04, 0.005) << "08:30:03.96, then 08:30:10.00";
    const std::string report = Read("gap.txt");
    for (const std::string& expected :
         {std::string("缺口（没有录像）：1 处\n  2009-11-01 08:30:04.00 至 2009-11-01 08:30:10.00，长 6.00 秒"),
          std::string("第一个画面：2009-11-01 08:30:03.00"), std::string("最后一个画面：2009-11-01 08:30:11.00"),
          std::string("画面数：51"), std::string("UTC+00:00"), std::string("损坏的片段：无"),
          std::string("导出方式：命令行：lumaro --export --camera 1"), std::string("导出程序：Lumaro "),
          Recording(1), Recording(2), ShellOutput("sha256sum '" + Recording(2) + "' | cut -c1-64").substr(0, 64)})
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n" << report;

    struct Harm {
        const char* what;
        std::function<void(const std::string&)> harm;
        const char* said;
    };
    const Harm harms[] = {
        {"bytes overwritten", [](const std::string& path) {
             std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(static_cast<std::streamoff>(std::filesystem::file_size(path) / 3));
             f << std::string(std::filesystem::file_size(path) / 4, '\x5a');
         }, "damaged pictures from 2009-11-01 08:30:00."},
        {"cut in half", [](const std::string& path) {
             std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
         }, "no recording from 2009-11-01 08:30:0"},
    };
    for (const Harm& h : harms) {
        h.harm(Recording(0));
        EXPECT_EQ(Export("--overwrite --camera 1 --from '2009-11-01 08:30:00' --to '2009-11-01 08:30:03' --output harmed.mp4"), 0)
            << h.what << ": " << m_output;
        EXPECT_NE(m_output.find(h.said), std::string::npos) << h.what << ": " << m_output;
        EXPECT_EQ(Read("harmed.txt").find(h.said[0] == 'd' ? "损坏的片段：无" : "缺口（没有录像）：无"), std::string::npos)
            << h.what << "\n" << Read("harmed.txt");
    }
}

// A minute from the middle of a long recording: the report proves where the
// clip came from by the bytes read for it, which anyone can hash again, and
// the export reads little more than those.
TEST_F(ExportTest, TheReportProvesTheClipsOriginByTheBytesItReadAndNothingMore)
{
    const int frames = 60 * 25;
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(m_root);
    encoder.SetClock([] { return kStart + 100; });
    encoder.Init(1, 176, 144);
    for (int i = 0; i < frames; ++i) {
        const auto level = static_cast<std::uint8_t>(40 + i % 25 * 6);
        encoder.EncodeFrame(SolidFrame(176, 144, level, 90, 255 - level).data(), 176, 144);
    }
    const std::string source = encoder.CurrentPath();
    encoder.Close();
    WaitForRows();
    ASSERT_EQ(Export("--camera 2 --from '2009-11-01 08:32:10' --to '2009-11-01 08:32:12' --output part.mp4"), 0) << m_output;
    const std::string report = Read("part.txt");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(report, found, std::regex("SHA-256：([0-9a-f]{64})（读取的第 (\\d+) 至 (\\d+) 字节，共 (\\d+) 字节）\n"
                                                            "    核对：([^\n]+)\n")))
        << report;
    EXPECT_EQ(ShellOutput(found[5].str()).substr(0, 64), found[1].str()) << "the report's own command: " << found[5];
    const long long read = std::stoll(found[4].str());
    EXPECT_EQ(std::stoll(found[3].str()) - std::stoll(found[2].str()) + 1, read);
    EXPECT_LT(read * 4, static_cast<long long>(std::filesystem::file_size(source)))
        << "two seconds of a minute: not the whole file";
}

// The clock set back: two recordings of a camera cover the same seconds. The
// one made later gives them, whichever second the range begins at, and the
// report names both files and the overlap.
TEST_F(ExportTest, WhereTwoRecordingsCoverTheSameTimeTheLaterOneGivesItAndTheReportSaysSo)
{
    Record(kStart + 200, 100, SolidFrame(176, 144, 30, 30, 200), 4);  // red, 08:33:20 to 08:33:24
    Record(kStart + 202, 100, SolidFrame(176, 144, 200, 30, 30), 4);  // blue, made later: 08:33:22 to 08:33:26
    WaitForRows();
    const auto paths = Column(ExecuteCommand("select * from video_save_history where capdrive=4 order by rowid"),
                              "video_save_path");
    ASSERT_EQ(paths.size(), 2u);
    const struct {
        const char* from;
        const char* firstColour;
        int last;  // the picture at 08:33:25
    } ranges[] = {{"2009-11-01 08:33:21", "red", 100}, {"2009-11-01 08:33:23", "blue", 50}};
    for (const auto& range : ranges) {
        ASSERT_EQ(Export(std::string("--overwrite --camera 4 --from '") + range.from +
                         "' --to '2009-11-01 08:33:25' --output both.mp4"), 0) << m_output;
        EXPECT_EQ(PixelAt("both.mp4", 0), range.firstColour) << range.from;
        EXPECT_EQ(PixelAt("both.mp4", range.last), "blue") << range.from << ": from 08:33:22 on, the later recording";
        if (range.last == 100) {
            EXPECT_EQ(PixelAt("both.mp4", 26), "blue") << "08:33:22.04";
        }
        const std::string report = Read("both.txt");
        for (const std::string& expected : {std::string("源录像文件：2 个"), std::string("时间重叠：1 处"), paths[0], paths[1],
                                            "导出用的是后录的 " + paths[1]})
            EXPECT_NE(report.find(expected), std::string::npos) << range.from << ": " << expected << "\n" << report;
    }
}

TEST_F(ExportTest, NothingIsEverReplacedButAnEarlierExportWhenAsked)
{
    const std::string range = " --camera 1 --from '2009-11-01 08:30:01' --to '2009-11-01 08:30:02' ";
    const std::string recording = Recording(0);
    const std::string recordingBytes = Read(recording);
    std::filesystem::create_directory("folder.mp4");
    std::filesystem::create_symlink(recording, "link.mp4");
    WriteFile("earlier.mp4", "an earlier export");
    WriteFile("report.txt", "someone's notes");
    struct Case {
        std::string arguments;
        int status;
        std::string untouched;  // a file whose bytes must stay as they were
    };
    const std::vector<Case> cases = {
        {"--output earlier.mp4", 3, "earlier.mp4"},
        {"--output report.mp4", 3, "report.txt"},  // its report's name is taken
        {"--output '" + recording + "'", 3, recording},
        {"--overwrite --output link.mp4", 3, recording},
        {"--overwrite --output folder.mp4", 3, ""},
        {"--overwrite --output /dev/null", 3, ""},
        {"--overwrite --output '" + recording + "'", 3, recording},
        {"--overwrite --output db/dbvardo.db", 3, ""},
        {"--overwrite --output earlier.mp4", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string before = c.untouched.empty() ? "" : Read(c.untouched);
        EXPECT_EQ(Export(range + c.arguments), c.status) << c.arguments << ": " << m_output;
        if (c.status != 0) {
            EXPECT_EQ(std::count(m_output.begin(), m_output.end(), '\n'), 1) << c.arguments << ": " << m_output;
        }
        if (!c.untouched.empty()) {
            EXPECT_EQ(Read(c.untouched), before) << c.arguments;
        }
    }
    EXPECT_EQ(Read(recording), recordingBytes);
    EXPECT_TRUE(std::filesystem::is_symlink("link.mp4") && std::filesystem::is_directory("folder.mp4"));
    EXPECT_EQ(ShellOutput("sha256sum -c earlier.mp4.sha256"), "earlier.mp4: OK\nearlier.txt: OK\n");

    // Two exports to one name at the same moment: one writes, the other is refused.
    const std::string both = std::string("TZ=UTC0 ") + LUMARO_BINARY + " --export" + range + "--output same.mp4";
    const std::string statuses = ShellOutput("(" + both + " >/dev/null 2>&1; echo $?) & (" + both + " >/dev/null 2>&1; echo $?); wait");
    EXPECT_TRUE(statuses == "0\n3\n" || statuses == "3\n0\n") << statuses;
    EXPECT_EQ(ShellOutput("sha256sum -c same.mp4.sha256"), "same.mp4: OK\nsame.txt: OK\n");
    EXPECT_TRUE(NoPartFiles());
}

TEST_F(ExportTest, ASignalEndsTheExportWithTheUsualStatusAndLeavesNothing)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // Stopped as soon as its temporary clip exists, signalled, continued:
        // the signal lands in the middle of the export.
        const std::string run = std::string("TZ=UTC0 ") + LUMARO_BINARY +
                                " --export --camera 1 --from '2009-11-01 08:30:00' --to '2009-11-01 08:30:11' "
                                "--output cut.mp4 & pid=$!; until ls cut.mp4.*.part >/dev/null 2>&1; do sleep 0.001; done; "
                                "kill -STOP $pid; kill -" + std::to_string(signal) + " $pid; kill -CONT $pid; wait $pid; echo status=$?";
        const std::string out = ShellOutput(run);
        EXPECT_NE(out.find("status=" + std::to_string(128 + signal)), std::string::npos) << signal << ": " << out;
        for (const char* name : {"cut.mp4", "cut.txt", "cut.mp4.sha256"})
            EXPECT_FALSE(Exists(name)) << signal;
        EXPECT_TRUE(NoPartFiles()) << signal;
    }
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
    const ExportResult result = ClipExporter::Run({1, kStart, kStart + 3, clip, false, "test"}, &cancel);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "cancelled");
    EXPECT_FALSE(Exists(clip));
    EXPECT_FALSE(Exists(clip + ".part"));
    EXPECT_FALSE(Exists(clip + ".sha256"));
}

}  // namespace
