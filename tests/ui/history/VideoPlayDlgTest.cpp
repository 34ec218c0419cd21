// The player on recordings made by the encoder and by the ffmpeg tool, and on
// files that are empty, cut or garbage.
#include "ETBitmapButton.h"
#include "VideoEncoder.h"
#include "VideoPlayDlg.h"
#include "capture/CaptureTestSupport.h"
#include "record/Frames.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include "SeekBar.h"

#include <QElapsedTimer>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <random>

using namespace std::chrono_literals;

class VideoPlayDlgTest : public TempDatabaseTest {
protected:
    // A recording of `frames` solid frames of one colour, as a camera makes it.
    std::string Record(int frames, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        const auto frame = SolidFrame(320, 240, b, g, r);
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.Init(m_camera++, 320, 240);
        for (int i = 0; i < frames; ++i)
            encoder.EncodeFrame(frame.data(), 320, 240);
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        return path;
    }
    std::string ToolRecording(int frames, const char* size = "352x288", const char* options = "-bf 2")
    {
        const std::string path = m_dir + "/tool.m1v";
        const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=") + size +
                                    ":rate=25 -frames:v " + std::to_string(frames) + " -c:v mpeg1video " + options +
                                    " -f mpeg1video '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return path;
    }
    // Plays `path` to its end as fast as it decodes.
    static void PlayToEnd(CVideoPlayDlg& player, const std::string& path)
    {
        player.SetPacing(0ms);
        ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
        ASSERT_TRUE(player.WaitForEnd(20000));
        Pump(50);
    }
    int m_camera = 0;
};

TEST_F(VideoPlayDlgTest, EveryPictureOfAFileIsShownInTheSceneColours)
{
    const std::string own = Record(37, 200, 30, 30);
    const std::string tool = ToolRecording(40);
    for (const auto& path : {own, tool}) {
        CVideoPlayDlg player;
        PlayToEnd(player, path);
        EXPECT_EQ(player.PicturesShown(), DecodeMpeg1File(path).pictures.size()) << path;
        EXPECT_EQ(player.State(), Stopped);
        EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImageStop);
        EXPECT_EQ(player.Trackbar()->value(), 10000);
    }
    // A recording made before files said "true colours" holds a red scene
    // as blue; both show red.
    const std::string older = Record(10, 30, 30, 200);
    MarkAsOlderRecording(older);
    for (const auto& path : {own, older}) {
        CVideoPlayDlg player;
        PlayToEnd(player, path);
        const QColor shown = player.LastPicture().pixelColor(160, 120);
        EXPECT_GT(shown.red(), 170) << path;
        EXPECT_LT(shown.blue(), 60) << path << ": red stays red";
    }
}

// At the recorder's own rate and size the parser now and then hands out a
// picture without taking input; a minute of video shows whether any is lost.
TEST_F(VideoPlayDlgTest, AMinuteAtTheRecordersParametersLosesNoPicture)
{
    const std::string path = ToolRecording(1500, "640x480", "-b:v 400k -g 10 -bf 1");
    CVideoPlayDlg player;
    PlayToEnd(player, path);
    EXPECT_EQ(player.PicturesShown(), 1500u);
}

TEST_F(VideoPlayDlgTest, PauseHoldsThePictureAndTheButtonOnlyTogglesARunningPlayback)
{
    CVideoPlayDlg player;
    player.OnPlayButton();
    EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImageStop) << "pressed while stopped";
    ASSERT_EQ(player.PlayFile(Record(100, 0, 0, 200)), CVideoPlayDlg::kPlayStarted);
    EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImagePause);
    Pump(300);
    player.OnPlayButton();
    EXPECT_EQ(player.State(), Paused);
    EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImagePlay);
    Pump(100);
    const auto held = player.PicturesShown();
    Pump(400);
    EXPECT_EQ(player.PicturesShown(), held);
    player.OnPlayButton();
    EXPECT_EQ(player.State(), Playing);
    EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImagePause);
    Pump(300);
    EXPECT_GT(player.PicturesShown(), held);
}

TEST_F(VideoPlayDlgTest, ASeekToTheMiddleReadsFromHalfTheFile)
{
    const std::string path = ToolRecording(200);
    const auto total = DecodeMpeg1File(path).pictures.size();
    CVideoPlayDlg player;
    player.OnSeek(5000);  // nothing open yet: nothing happens
    ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
    Pump(120);
    player.OnSeek(5000);
    Pump(200);
    EXPECT_GE(player.Trackbar()->value(), 5000);
    EXPECT_LT(player.Trackbar()->value(), 6500);
    player.SetPacing(0ms);
    ASSERT_TRUE(player.WaitForEnd(20000));
    EXPECT_LE(player.PicturesShown(), total - 40) << "the bytes before the middle were skipped";
    EXPECT_GE(player.PicturesShown(), 40u);
}

TEST_F(VideoPlayDlgTest, EmptyCutAndGarbageFilesEndStoppedWithoutACrash)
{
    WriteFile(m_dir + "/empty.mpg", "");
    const auto whole = ReadBytes(Record(50, 30, 200, 30));
    WriteFile(m_dir + "/cut.mpg", std::string(whole.begin(), whole.begin() + whole.size() / 2 + 333));
    std::mt19937 random(7);
    std::string garbage(200000, '\0');
    for (auto& c : garbage)
        c = static_cast<char>(random());
    WriteFile(m_dir + "/garbage.mpg", garbage);
    for (const char* name : {"empty.mpg", "cut.mpg", "garbage.mpg"}) {
        CVideoPlayDlg player;
        PlayToEnd(player, m_dir + "/" + name);
        EXPECT_EQ(player.State(), Stopped) << name;
        EXPECT_EQ(player.ButtonImageId(), CVideoPlayDlg::kImageStop) << name;
        if (std::string(name) == "cut.mpg") {
            EXPECT_GE(player.PicturesShown(), 20u) << "a cut file plays up to the cut";
        }
    }
    CVideoPlayDlg player;
    EXPECT_EQ(player.PlayFile(m_dir + "/missing.mpg"), CVideoPlayDlg::kFileOpenFailed);
}

TEST_F(VideoPlayDlgTest, AnotherFileWhilePlayingContinuesWithIt)
{
    const std::string red = Record(100, 200, 30, 30);
    const std::string blue = Record(30, 30, 30, 200);
    CVideoPlayDlg player;
    ASSERT_EQ(player.PlayFile(red), CVideoPlayDlg::kPlayStarted);
    Pump(200);
    ASSERT_EQ(player.PlayFile(blue), CVideoPlayDlg::kPlayStarted);
    player.SetPacing(0ms);
    ASSERT_TRUE(player.WaitForEnd(20000));
    const QColor last = player.LastPicture().pixelColor(160, 120);
    EXPECT_GT(last.blue(), 170);
    EXPECT_LT(player.PicturesShown(), 100u + 30u);
    EXPECT_GE(player.PicturesShown(), 30u);
}

TEST_F(VideoPlayDlgTest, AFailedOpenEndsTheRunningPlaybackAndACloseEndsTheThread)
{
    CVideoPlayDlg player;
    ASSERT_EQ(player.PlayFile(Record(200, 90, 90, 90)), CVideoPlayDlg::kPlayStarted);
    Pump(150);
    EXPECT_EQ(player.PlayFile(m_dir + "/missing.mpg"), CVideoPlayDlg::kFileOpenFailed);
    EXPECT_TRUE(player.WaitForEnd(5000));
    EXPECT_EQ(player.State(), Stopped);

    ASSERT_EQ(player.PlayFile(Record(200, 90, 90, 90)), CVideoPlayDlg::kPlayStarted);
    Pump(150);
    QElapsedTimer clock;
    clock.start();
    player.OnClose();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(player.State(), Stopped);
}

TEST_F(VideoPlayDlgTest, ClosingAfterAFailedOpenIsImmediate)
{
    CVideoPlayDlg player;
    PlayToEnd(player, Record(20, 90, 90, 90));
    EXPECT_EQ(player.PlayFile(m_dir + "/missing.mpg"), CVideoPlayDlg::kFileOpenFailed);
    QElapsedTimer clock;
    clock.start();
    player.OnClose();
    EXPECT_LT(clock.elapsed(), 1000) << "no thread runs, so nothing is waited for";
}

TEST_F(VideoPlayDlgTest, TheGrooveJumpsWhereClicked)
{
    const std::string path = ToolRecording(400, "176x144");
    CVideoPlayDlg player;
    player.resize(600, 400);
    player.show();
    EXPECT_EQ(player.findChild<CETBitmapButton*>()->cursor().shape(), Qt::ArrowCursor) << "a plain bitmap button";
    ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
    player.OnPlayButton();  // paused: the position moves only as the user moves it
    Pump(100);
    CSeekBar* bar = player.Trackbar();
    const int x = bar->width() * 3 / 4;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, bar->height() / 2));
    EXPECT_NEAR(bar->value(), bar->ValueAt(x), 1);
    EXPECT_GT(bar->value(), 6500);
    EXPECT_LT(bar->value(), 8500);
    player.OnClose();
}
