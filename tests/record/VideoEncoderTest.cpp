// The encoder against FFmpeg's own decoder, and the files and rows it leaves.
#include "Frames.h"
#include "Mpeg1File.h"
#include "RecordingDecoder.h"
#include "RecordingSeeker.h"
#include "OpenRecordings.h"
#include "RecordingName.h"
#include "PictureClock.h"
#include "ShellOutput.h"
#include "VideoEncoder.h"
#include "HistoryWriter.h"
#include "Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include "store/TempDatabase.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

namespace {

// Dark at the top of the picture, bright at the bottom (rows stored bottom-up).
std::vector<std::uint8_t> GradientFrame(int w, int h)
{
    std::vector<std::uint8_t> f(static_cast<std::size_t>(w) * h * 3);
    for (int row = 0; row < h; ++row) {
        const int pictureY = h - 1 - row;
        std::fill_n(&f[static_cast<std::size_t>(row) * w * 3], w * 3, static_cast<std::uint8_t>(pictureY * 255 / (h - 1)));
    }
    return f;
}

// Each picture of a recording, decoded by the player's decoder: the number
// the stream gives it and the green level at its middle.
std::vector<std::pair<long long, int>> NumberedPictures(const std::string& path)
{
    std::vector<std::pair<long long, int>> pictures;
    RecordingDecoder decoder;
    if (decoder.Open() != RecordingDecoder::kOpened)
        return pictures;
    const auto sink = [&pictures](const AVFrame* p) {
        pictures.emplace_back(RecordingDecoder::PictureNumber(p), p->data[0][p->height / 2 * p->linesize[0] + p->width / 2]);
        return true;
    };
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    std::vector<std::uint8_t> padded(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE);
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    decoder.Feed(padded.data(), static_cast<int>(bytes.size()), sink);
    decoder.Drain(sink, sink);
    return pictures;
}

class VideoEncoderTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
    }
    void TearDown() override
    {
        TempDatabaseTest::TearDown();
    }
    std::string Record(int w, int h, int frames, const std::vector<std::uint8_t>& frame)
    {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.Init(1, w, h);
        for (int i = 0; i < frames; ++i)
            encoder.EncodeFrame(frame.data(), w, h);
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        return path;
    }
    std::vector<std::string> Rows() { WaitForRows(); return Column(ExecuteCommand("select * from video_save_history"), "video_save_path"); }
};

TEST_F(VideoEncoderTest, EveryFrameBecomesAPictureAtAnySize)
{
    const std::pair<int, int> sizes[] = {{176, 144}, {320, 240}, {642, 482}};
    for (const auto& [w, h] : sizes) {
        const std::string path = Record(w, h, 23, SolidFrame(w, h, 40, 120, 200));
        ASSERT_FALSE(path.empty());
        const DecodedFile file = DecodeMpeg1File(path);
        EXPECT_EQ(file.pictures.size(), 23u) << w << "x" << h << ": the held-back picture is drained";
        EXPECT_EQ(file.errors, 0);
        EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write) << "footage is for its owner";
        ASSERT_FALSE(file.pictures.empty());
        EXPECT_EQ(file.pictures[0].width, w);
        EXPECT_EQ(file.pictures[0].height, h);
        EXPECT_EQ(file.frameRateNum, 25);
        EXPECT_EQ(file.frameRateDen, 1);
        const auto bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()),
                  (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0xB7}));
        EXPECT_NE(std::vector<std::uint8_t>(bytes.end() - 8, bytes.end() - 4),
                  (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0xB7})) << "one end code only";
        std::filesystem::remove(path);
    }
}

// Any decoder shows the scene as it was (a yellow bar is not cyan, a red
// car not blue), and the file's mark says so, which tells it from files
// recorded before.
TEST_F(VideoEncoderTest, TheSceneIsRecordedInItsTrueColoursAndUpright)
{
    const struct {
        const char* scene;
        std::uint8_t red, green, blue;
    } scenes[] = {{"red", 255, 0, 0}, {"yellow", 255, 255, 0}, {"blue", 0, 0, 255}, {"orange", 255, 128, 0}};
    for (const auto& scene : scenes) {
        const std::string path = Record(320, 240, 5, SolidFrame(320, 240, scene.blue, scene.green, scene.red));
        EXPECT_TRUE(RecordingHasTrueColours(path)) << scene.scene;
        const DecodedFile decoded = DecodeMpeg1File(path);
        ASSERT_FALSE(decoded.pictures.empty());
        const std::uint8_t* p = decoded.pictures.back().Pixel(160, 120);
        EXPECT_NEAR(p[0], scene.red, 24) << scene.scene;
        EXPECT_NEAR(p[1], scene.green, 24) << scene.scene;
        EXPECT_NEAR(p[2], scene.blue, 24) << scene.scene;
        std::filesystem::remove(path);
    }

    const DecodedFile gradient = DecodeMpeg1File(Record(320, 240, 5, GradientFrame(320, 240)));
    ASSERT_FALSE(gradient.pictures.empty());
    const DecodedPicture& pic = gradient.pictures.back();
    EXPECT_LT(pic.Pixel(160, 4)[1], 40) << "top is dark";
    EXPECT_GT(pic.Pixel(160, 235)[1], 215) << "bottom is bright";
    EXPECT_NEAR(pic.Pixel(160, 120)[1], 128, 20);
}

// A raw stream's length is taken from its size and the rate in its first
// header: common players give a finished file's real length, a still scene
// (mostly repeated pictures) and a busy one alike.
TEST_F(VideoEncoderTest, PlayersTakeAFinishedFilesRealLengthFromItsHeader)
{
    const struct {
        const char* scene;
        int seconds;
        bool moving;
    } scenes[] = {{"still", 8, false}, {"busy", 8, true}, {"over a minute", 64, true}};
    for (const auto& scene : scenes) {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.Init(0, 320, 240);
        auto frame = GradientFrame(320, 240);
        for (int n = 0; n < scene.seconds * CVideoEncoder::kFramesPerSecond; ++n) {
            if (scene.moving)
                std::rotate(frame.begin(), frame.begin() + 3 * 7, frame.end());
            if (scene.moving || n == 0)
                encoder.EncodeFrame(frame.data(), 320, 240);
            else
                encoder.RepeatLastPicture();
        }
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        const double duration = std::stod("0" + ShellOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                                          path + "'"));
        EXPECT_NEAR(duration, scene.seconds, scene.seconds * 0.05) << scene.scene;
        std::filesystem::remove(path);
    }
}

// A format chosen for new files takes effect at the next file: each file
// is whole in its own format, with its row, its first picture's time and
// its slots (a camera's pause included) in its time line.
TEST_F(VideoEncoderTest, EachNewFileTakesTheFormatChosenThen)
{
    const struct {
        RecordFormat format;
        const char* extension;
        const char* codec;
    } files[] = {{RecordFormat::kH264, ".ts", "codec_name=h264"}, {RecordFormat::kMpeg1, ".mpg", "codec_name=mpeg1video"},
                 {RecordFormat::kH264, ".ts", "codec_name=h264"}};
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(m_dir);
    encoder.Init(0, 320, 240);
    std::vector<std::string> paths;
    for (const auto& file : files) {
        ChooseRecordFormat(file.format);
        EXPECT_EQ(encoder.IsFormatOutdated(), !paths.empty() && encoder.FileFormat() != file.format);
        ASSERT_EQ(encoder.NewFile(CurrentPreciseTime() + static_cast<PreciseTime>(paths.size()) * kMicrosPerSecond), 1);
        EXPECT_FALSE(encoder.IsFormatOutdated());
        auto frame = GradientFrame(320, 240);
        for (int n = 0; n < 75; ++n) {
            std::rotate(frame.begin(), frame.begin() + 3 * 5, frame.end());
            if (n >= 25 && n < 50)
                encoder.RepeatLastPicture();  // a second's pause of the camera
            else
                encoder.EncodeFrame(frame.data(), 320, 240);
        }
        paths.push_back(encoder.CurrentPath());
        EXPECT_EQ(paths.back().substr(paths.back().size() - std::strlen(file.extension)), file.extension);
        EXPECT_TRUE(RecordingFirstPicture(paths.back()).has_value());
    }
    encoder.Close();
    ChooseRecordFormat(RecordFormat::kMpeg1);
    EXPECT_EQ(Rows().size(), 3u);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string probe = ShellOutput("ffprobe -v error -show_entries stream=codec_name:format=duration "
                                              "-of default=nw=1 '" + paths[i] + "'");
        EXPECT_NE(probe.find(files[i].codec), std::string::npos) << probe;
        const auto at = probe.find("duration=");
        ASSERT_NE(at, std::string::npos) << probe;
        EXPECT_NEAR(std::stod(probe.substr(at + 9)), 3.0, 0.15) << paths[i];
    }
}

TEST_F(VideoEncoderTest, FilesAreNamedPerCameraAndGetOneRowEach)
{
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(m_dir);
    EXPECT_EQ(encoder.NewFile(), 1) << "a file can start before the codec is open";
    encoder.Init(2, 176, 144);
    const auto frame = SolidFrame(176, 144, 1, 2, 3);
    encoder.EncodeFrame(frame.data(), 176, 144);
    // Two new files within one second: the second takes the next second's
    // name, and each file has its row.
    const std::string first = encoder.CurrentPath();
    ASSERT_EQ(encoder.NewFile(), 1);
    const std::string second = encoder.CurrentPath();
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsOpenRecording(second));
    WaitForRows();
    EXPECT_TRUE(std::regex_match(second, std::regex(m_dir + R"(/dv\(3\)-\d{4}-\d\d-\d\d \d{6}\.mpg)")))
        << second;
    EXPECT_EQ(ScalarText("select count(*) as n from video_save_history where video_save_path='" + second + "'"), "1");
    EXPECT_EQ(ScalarText("select capdrive as n from video_save_history where video_save_path='" + second + "'"), "3");
    encoder.Close();
    EXPECT_FALSE(IsOpenRecording(second));
}

TEST_F(VideoEncoderTest, AMissingRootIsReportedOnceAndRecordingResumesWhenItExists)
{
    const std::string root = m_dir + "/not yet";
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(root);
    encoder.Init(0, 176, 144);
    const auto frame = SolidFrame(176, 144, 9, 9, 9);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 30; ++i)
        encoder.EncodeFrame(frame.data(), 176, 144);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find(root), std::string::npos);
    EXPECT_NE(errors.find("is not there"), std::string::npos) << errors;
    EXPECT_TRUE(Rows().empty());

    std::filesystem::create_directory(root);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a missing folder is looked for once a second
    for (int i = 0; i < 10; ++i)
        encoder.EncodeFrame(frame.data(), 176, 144);
    const std::string path = encoder.CurrentPath();
    encoder.Close();
    EXPECT_EQ(Rows(), std::vector<std::string>{path});
    EXPECT_GE(DecodeMpeg1File(path).pictures.size(), 9u);
}

TEST_F(VideoEncoderTest, WithoutAFolderNothingIsRecordedNotEvenInTheFileSystemRoot)
{
    WriteFile(m_dir + "/plain");
    const auto frame = SolidFrame(176, 144, 9, 9, 9);
    for (const std::string& root : {std::string(), m_dir + "/plain"}) {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(root);
        encoder.Init(2, 176, 144);
        testing::internal::CaptureStderr();
        for (int i = 0; i < 30; ++i)
            encoder.EncodeFrame(frame.data(), 176, 144);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(encoder.CurrentPath().empty()) << root;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("camera 3 records nothing"), std::string::npos) << errors;
        encoder.Close();
    }
    EXPECT_TRUE(Rows().empty());
    for (const auto& entry : std::filesystem::directory_iterator("/"))
        EXPECT_NE(entry.path().filename().string().rfind("dv(3)-", 0), 0u) << entry.path();
}

TEST_F(VideoEncoderTest, ADatabaseFailureDoesNotStopTheRecording)
{
    ExecuteCommand("drop table video_save_history");
    testing::internal::CaptureStdout();
    const std::string path = Record(176, 144, 12, SolidFrame(176, 144, 5, 5, 5));
    HistoryWriter::Instance().Stop();  // its last try is printed too
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("<?>Command 异常"), std::string::npos) << printed;
    EXPECT_EQ(DecodeMpeg1File(path).pictures.size(), 12u);
}

// An encoder on a clock the test moves, fed with plain frames.
struct ClockedEncoder {
    explicit ClockedEncoder(const std::string& root)
    {
        encoder.SetRecordingRoot(root);
        encoder.SetClock([this] { return now; });
        encoder.Init(0, 176, 144);
    }
    void Encode(int n)
    {
        for (int i = 0; i < n; ++i)
            encoder.EncodeFrame(frame.data(), 176, 144);
    }
    TimeValue now = 1257000000;
    CVideoEncoder encoder;
    std::vector<std::uint8_t> frame = SolidFrame(176, 144, 5, 5, 5);
};

// Deleting a file (or its folder) under a camera would leave it writing into
// nothing; it starts a new file instead, as soon as the folder is there.
TEST_F(VideoEncoderTest, ARemovedFileOrFolderIsReplacedByANewFile)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    ClockedEncoder camera(root);
    CVideoEncoder& encoder = camera.encoder;
    TimeValue& now = camera.now;
    const auto encode = [&](int n) { camera.Encode(n); };
    encode(5);
    const std::string first = encoder.CurrentPath();
    std::filesystem::remove(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    now += 5;
    testing::internal::CaptureStderr();
    encode(5);
    const std::string second = encoder.CurrentPath();
    EXPECT_NE(second, first);
    EXPECT_TRUE(std::filesystem::exists(second));

    std::filesystem::remove_all(root);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    now += 5;
    encode(20);
    std::filesystem::create_directory(root);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // looked for once a second
    now += 5;
    encode(5);
    const std::string third = encoder.CurrentPath();
    encoder.Close();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2) << "one line for each loss: " << printed;
    EXPECT_NE(printed.find("records nothing: recording folder"), std::string::npos) << printed;
    EXPECT_EQ(third.rfind(root, 0), 0u);
    EXPECT_GE(DecodeMpeg1File(third).pictures.size(), 4u);
    EXPECT_EQ(Rows().size(), 3u);
}

// A database another program holds locked never stalls a camera; the rows
// wait in order, also for files closed meanwhile, and keep their start times.
TEST_F(VideoEncoderTest, ALockedDatabaseNeverStallsTheCameraAndEveryFileGetsItsRowLater)
{
    HistoryWriter::Instance().SetRetryPeriod(std::chrono::milliseconds(50));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(kDatabaseFile, &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> locker(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    testing::internal::CaptureStdout();
    std::vector<std::string> files;
    const auto started = std::chrono::steady_clock::now();
    for (int reconnect = 0; reconnect < 3; ++reconnect) {  // a camera that reconnects during the lock
        ClockedEncoder camera(m_dir);
        camera.now += 10 * reconnect;
        camera.Encode(5);
        files.push_back(camera.encoder.CurrentPath());
    }
    const auto spent = std::chrono::steady_clock::now() - started;
    EXPECT_LT(spent, std::chrono::seconds(2)) << "the cameras never waited on the database's busy time-out";
    EXPECT_GE(HistoryWriter::Instance().Pending(), 1u);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    WaitForRows();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Rows(), files);
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history order by rowid"), "start_time"),
              (std::vector<std::string>{FormatLocalTime("%Y-%m-%d %H:%M:%S", 1257000000),
                                        FormatLocalTime("%Y-%m-%d %H:%M:%S", 1257000010),
                                        FormatLocalTime("%Y-%m-%d %H:%M:%S", 1257000020)}));
}

TEST_F(VideoEncoderTest, WhatHasARecordingsNameIsLeftAloneAndTheNextFreeSecondIsUsed)
{
    const std::string outside = m_dir + "/outside.txt";
    const std::string name = RecordingPath(m_dir, 0, 1257000000);
    const std::vector<std::pair<const char*, std::function<void()>>> plants = {
        {"an earlier recording of the second", [&] { ClockedEncoder earlier(m_dir); earlier.Encode(30); }},
        {"a link to a file elsewhere", [&] { std::filesystem::create_symlink(outside, name); }},
        {"a link to nowhere", [&] { std::filesystem::create_symlink(m_dir + "/nowhere", name); }},
        {"a folder", [&] { std::filesystem::create_directory(name); }},
    };
    for (const auto& [what, plant] : plants) {
        WriteFile(outside, "not Lumaro's");
        plant();
        const auto before = std::filesystem::is_regular_file(name) ? ReadBytes(name) : std::vector<std::uint8_t>();
        testing::internal::CaptureStderr();
        ClockedEncoder camera(m_dir);
        camera.Encode(20);
        const std::string path = camera.encoder.CurrentPath();
        camera.encoder.Close();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(path, RecordingPath(m_dir, 0, 1257000001)) << what;
        EXPECT_EQ(DecodeMpeg1File(path).pictures.size(), 20u) << what;
        EXPECT_NE(said.find("'" + name + "' is there already and is left alone"), std::string::npos) << what << said;
        EXPECT_EQ(ReadBytes(outside).size(), 12u) << what << ": nothing written through a link";
        EXPECT_FALSE(std::filesystem::exists(m_dir + "/nowhere")) << what;
        if (!before.empty()) {
            EXPECT_EQ(ReadBytes(name), before) << what;
        }
        std::filesystem::remove_all(name);
        std::filesystem::remove(path);
    }
}

// A slot without a new camera picture shows the previous one again; every
// picture keeps its number (its slot), which the player's numbering and the
// seeker read back, also across the groups a long run of repeats is cut into.
TEST_F(VideoEncoderTest, RepeatedSlotsShowTheirPictureAndEveryPictureKeepsItsSlotNumber)
{
    const struct {
        int width, height;
        std::vector<int> repeats;  // after each new picture
    } cases[] = {
        {176, 144, {0, 1, 2, 0, 4, 0, 0, 24, 3}},
        {642, 482, {300, 0, 7}},
        {1920, 1080, {130, 2}},
    };
    for (const auto& c : cases) {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.Init(1, c.width, c.height);
        std::vector<int> levels;  // the level each slot shows
        for (std::size_t i = 0; i < c.repeats.size(); ++i) {
            const auto level = static_cast<std::uint8_t>(30 + 20 * i);
            encoder.EncodeFrame(SolidFrame(c.width, c.height, level, level, level).data(), c.width, c.height);
            levels.push_back(level);
            for (int r = 0; r < c.repeats[i]; ++r, levels.push_back(level))
                encoder.RepeatLastPicture();
        }
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height);
        const auto pictures = NumberedPictures(path);
        ASSERT_EQ(pictures.size(), levels.size()) << what;
        for (std::size_t n = 0; n < pictures.size(); ++n) {
            ASSERT_EQ(pictures[n].first, static_cast<long long>(n)) << what << ": picture " << n;
            ASSERT_NEAR(pictures[n].second, 16 + levels[n] * 219 / 255, 4) << what << ": picture " << n << " (luma)";
        }
        const RecordingSeeker seeker(path);
        EXPECT_EQ(seeker.LastPictureNumber(), static_cast<long long>(levels.size()) - 1) << what;
        const auto group = seeker.GroupOf(static_cast<long long>(levels.size()) - 1);
        ASSERT_TRUE(group) << what;
        EXPECT_GE(group->number, static_cast<long long>(levels.size()) - 1 - SlotNumbering::kMaxGroupSlots) << what;
        EXPECT_EQ(DecodeMpeg1File(path).errors, 0) << what << ": FFmpeg's own parser takes every picture";
    }
}

TEST_F(VideoEncoderTest, FramesWithoutAnOpenCodecAreSkipped)
{
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(m_dir);
    const auto frame = SolidFrame(176, 144, 5, 5, 5);
    encoder.EncodeFrame(frame.data(), 176, 144);
    encoder.Close();
    encoder.Close();
    EXPECT_TRUE(Rows().empty()) << "no file is started for frames that cannot be encoded";
}

}  // namespace
