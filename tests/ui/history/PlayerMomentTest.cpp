// Finding a moment in the player: the picture's time of day, the single
// step, fast playback and the snapshot, on recordings whose every picture is
// known (a bar that moves by a few pixels from picture to picture).
#include "PictureTime.h"
#include "VideoEncoder.h"
#include "VideoPlayDlg.h"
#include "capture/CaptureTestSupport.h"
#include "record/Frames.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"
#include "ui/ModalAnswerer.h"

#include "PlayerToolbar.h"
#include "SeekBar.h"

#include <QLineEdit>
#include <QTest>

#include <QDir>
#include <QImage>

#include <cstdlib>
#include <functional>

using namespace std::chrono_literals;

namespace {

constexpr TimeValue kStart = 1257064200;  // 2009-11-01 08:30:00 UTC
constexpr int kWidth = 320;
constexpr int kHeight = 240;

// A red scene with a white bar at 7 × n pixels in picture n.
std::vector<std::uint8_t> BarFrame(int n)
{
    auto frame = SolidFrame(kWidth, kHeight, 30, 30, 200);
    const int left = n * 7 % (kWidth - 16);
    for (int y = 0; y < kHeight; ++y)
        for (int x = left; x < left + 16; ++x)
            for (int c = 0; c < 3; ++c)
                frame[(static_cast<std::size_t>(y) * kWidth + x) * 3 + c] = 235;
    return frame;
}

// How far the shown picture's middle row is from a decoded picture's.
long RowDistance(const QImage& shown, const DecodedPicture& decoded)
{
    long distance = 0;
    for (int x = 0; x < kWidth; ++x) {
        const QColor c = shown.pixelColor(x, kHeight / 2);
        const std::uint8_t* p = decoded.Pixel(x, kHeight / 2);
        distance += std::abs(c.red() - p[0]) + std::abs(c.green() - p[1]) + std::abs(c.blue() - p[2]);
    }
    return distance;
}

// The number of the decoded picture that `shown` is.
long long MatchingPicture(const QImage& shown, const DecodedFile& file)
{
    long long best = -1;
    long bestDistance = 0;
    for (std::size_t n = 0; n < file.pictures.size(); ++n) {
        const long distance = RowDistance(shown, file.pictures[n]);
        if (best < 0 || distance < bestDistance)
            best = static_cast<long long>(n), bestDistance = distance;
    }
    return best;
}



}  // namespace

class PlayerMomentTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    // `hundredths` into kStart is its first picture.
    std::string RecordBars(int pictures, int hundredths = 0)
    {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.SetClock([] { return kStart; });
        encoder.Init(0, kWidth, kHeight);
        const PreciseTime first = kStart * kMicrosPerSecond + hundredths * 10000;
        for (int n = 0; n < pictures; ++n)
            encoder.EncodeFrame(BarFrame(n).data(), kWidth, kHeight, PictureTime(first, n));
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        return path;
    }
    // Plays `path`, pauses, and seeks to the middle: the player shows the
    // picture there and stays paused.
    void PauseInTheMiddle(CVideoPlayDlg& player, const std::string& path)
    {
        ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
        Pump(200);
        player.OnPlayButton();
        ASSERT_EQ(player.State(), Paused);
        Pump(150);
        player.OnSeek(5000);
        ASSERT_TRUE(WaitFor([&] { return player.ShownPictureNumber() >= 100; }));
        Pump(300);
    }
};

static QString Expected(long long n)
{
    return QStringLiteral("2009-11-01 08:30:%1.%2").arg(n / 25, 2, 10, QLatin1Char('0')).arg(n % 25 * 4, 2, 10, QLatin1Char('0'));
}

TEST_F(PlayerMomentTest, TheTimeOfDayAndTheStepFollowThePictureOnScreenAfterASeek)
{
    const std::string path = RecordBars(300);
    const DecodedFile decoded = DecodeMpeg1File(path);
    ASSERT_EQ(decoded.pictures.size(), 300u);
    CVideoPlayDlg player;
    player.resize(640, 480);
    player.show();
    PauseInTheMiddle(player, path);
    const long long n = player.ShownPictureNumber();
    EXPECT_GE(n, 120);
    EXPECT_LE(n, 180);
    EXPECT_EQ(MatchingPicture(player.LastPicture(), decoded), n) << "the number is the picture's own";
    EXPECT_EQ(player.TimeText(), Expected(n));

    // Steps go picture by picture, also when a fast speed is chosen.
    player.SetSpeed(16);
    for (long long step = 1; step <= 3; ++step) {
        const auto shown = player.PicturesShown();
        player.OnStep();
        ASSERT_TRUE(WaitFor([&] { return player.PicturesShown() > shown; }));
        Pump(250);
        EXPECT_EQ(player.PicturesShown(), shown + 1) << "one picture, then paused again";
        EXPECT_EQ(player.ShownPictureNumber(), n + step);
        EXPECT_EQ(MatchingPicture(player.LastPicture(), decoded), n + step);
        EXPECT_EQ(player.TimeText(), Expected(n + step));
    }
    EXPECT_EQ(player.State(), Paused);
    player.OnClose();
}

TEST_F(PlayerMomentTest, FastPlaybackShowsEveryPictureUpToFourTimesAndOnlyIntraPicturesAbove)
{
    const std::string path = m_dir + "/tool.m1v";
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 250 "
                           "-c:v mpeg1video -b:v 400k -g 10 -bf 1 -f mpeg1video '" + path + "'").c_str()), 0);
    for (int speed : {2, 4, 8, 16}) {
        CVideoPlayDlg player;
        player.SetSpeed(speed);
        player.SetPacing(0ms);
        ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
        ASSERT_TRUE(player.WaitForEnd(20000));
        Pump(50);
        const bool intraOnly = speed > CVideoPlayDlg::kFullDecodeSpeed;
        // The intra pictures are 0, 10, … 240 and the closing 249.
        EXPECT_EQ(player.PicturesShown(), intraOnly ? 26u : 250u) << speed << "×";
        // Without a start time in its name the file tells the time since its start.
        EXPECT_EQ(player.TimeText(), "00:00:09.96") << speed << "×";
    }
    CVideoPlayDlg player;
    player.SetSpeed(3);
    EXPECT_EQ(player.Speed(), 1) << "not a speed on offer";
}

TEST_F(PlayerMomentTest, ASnapshotIsThePictureOnScreenInTrueColoursNamedAfterCameraAndTime)
{
    QString error;
    {
        CVideoPlayDlg idle;
        EXPECT_FALSE(idle.SaveSnapshot(QString::fromStdString(m_dir + "/none.png"), &error));
        EXPECT_FALSE(error.isEmpty());
    }
    const std::string path = RecordBars(300);
    CVideoPlayDlg player;
    PauseInTheMiddle(player, path);
    const long long n = player.ShownPictureNumber();
    const QString name = SnapshotFileName(IdentifyRecording(path), n);
    EXPECT_EQ(name, QStringLiteral("摄像头1 2009-11-01 0830%1.%2.png")
                        .arg(n / 25, 2, 10, QLatin1Char('0')).arg(n % 25 * 4, 2, 10, QLatin1Char('0')));
    const QString file = QDir(QString::fromStdString(m_dir)).filePath(name);
    ASSERT_TRUE(player.SaveSnapshot(file, &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0) << "the owner's only";
    const QImage saved(file);
    ASSERT_EQ(saved.size(), QSize(kWidth, kHeight));
    const int left = static_cast<int>(n * 7 % (kWidth - 16));
    const QColor scene = saved.pixelColor(left < 160 ? 300 : 10, 120);
    EXPECT_GT(scene.red(), 170);
    EXPECT_LT(scene.blue(), 60) << "red stays red";
    EXPECT_TRUE(saved.text("Description").contains(QStringLiteral("摄像头1")));
    EXPECT_TRUE(saved.text("Description").contains(Expected(n)));

    EXPECT_FALSE(player.SaveSnapshot(QString::fromStdString(m_dir + "/missing/x.png"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(QString::fromStdString(m_dir)).entryList({"*.png*"}), QStringList{name}) << "no half file";
    player.OnClose();
}

// The picture keeps its shape whatever the player's size, measured from
// what the player draws: the scene is red, the space around it black.
TEST_F(PlayerMomentTest, ThePictureKeepsItsShapeAtAnySize)
{
    const std::string path = RecordBars(50);
    CVideoPlayDlg player;
    player.resize(640, 480);
    player.show();
    ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
    Pump(200);
    player.OnPlayButton();
    ASSERT_EQ(player.State(), Paused);
    for (const QSize size : {QSize(1920, 1080), QSize(500, 900), QSize(1200, 300)}) {
        player.resize(size);
        Pump(100);
        const QImage shot = player.grab().toImage();
        QRect red;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 90 && c.blue() < 90)
                    red |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(red.isEmpty()) << size.width() << "x" << size.height();
        EXPECT_NEAR(static_cast<double>(red.width()) / red.height(), 4.0 / 3.0, 0.03)
            << size.width() << "x" << size.height() << ": drawn " << red.width() << "x" << red.height();
        EXPECT_TRUE(red.width() == size.width() || red.height() >= size.height() - 120) << "as large as it fits";
    }
    player.OnClose();
}

// The history list shows a recording's start to the second; its first
// picture may lie a few hundredths later. That second goes to it.
TEST_F(PlayerMomentTest, TheSecondTheListShowsGoesToTheRecordingsFirstPicture)
{
    const std::string path = RecordBars(100, 7);
    CVideoPlayDlg player;
    player.resize(640, 480);
    player.show();
    ASSERT_EQ(player.PlayFile(path), CVideoPlayDlg::kPlayStarted);
    Pump(200);
    player.OnPlayButton();
    ASSERT_EQ(player.State(), Paused);
    player.OnSeek(5000);
    ASSERT_TRUE(WaitFor([&] { return player.ShownPictureNumber() >= 40; }));
    const std::pair<const char*, long long> jumps[] = {{"08:30:00", 0}, {"08:30:01", 23}, {"08:30:00", 0}};
    for (const auto& [text, number] : jumps) {
        ASSERT_TRUE(player.JumpToTimeOfDay(QString::fromLatin1(text))) << text;
        ASSERT_TRUE(WaitFor([&] { return player.ShownPictureNumber() == number; }))
            << text << ": " << player.ShownPictureNumber() << " state " << player.State();
    }
    ModalAnswerer answerer;
    EXPECT_FALSE(player.JumpToTimeOfDay(QStringLiteral("08:29:59"))) << "before the recording's second";
    EXPECT_EQ(answerer.Seen().size(), 1u);
    player.OnClose();
}

// Every way to a moment lands on its picture, and the label tells that
// picture's own time: the keys move a second or a minute from the picture
// on screen, the field goes to a time of day, the step goes back, and at the
// end of the file a seek starts playback again.
TEST_F(PlayerMomentTest, EveryWayToAMomentShowsItsPictureWithItsTime)
{
    const std::string path = RecordBars(300);
    const DecodedFile decoded = DecodeMpeg1File(path);
    CVideoPlayDlg player;
    player.resize(640, 480);
    player.show();
    PauseInTheMiddle(player, path);
    ASSERT_EQ(player.ShownPictureNumber(), 150) << "the middle of the time from the first picture to the last";
    ASSERT_EQ(player.LastPictureNumber(), 299);
    const auto key = [&](Qt::Key k) { return [&player, k] { QTest::keyClick(player.Trackbar(), k); }; };
    const auto jump = [&](const char* text) {
        return [&player, text] {
            player.Toolbar()->JumpField()->setText(QString::fromLatin1(text));
            QTest::keyClick(player.Toolbar()->JumpField(), Qt::Key_Return);
        };
    };
    const struct {
        const char* what;
        std::function<void()> act;
        long long expected;
    } steps[] = {
        {"Right: a second on", key(Qt::Key_Right), 175},
        {"Left: a second back", key(Qt::Key_Left), 150},
        {"Left again", key(Qt::Key_Left), 125},
        {"Page Down: a minute on, held at the end", key(Qt::Key_PageDown), 299},
        {"Page Up: a minute back, held at the start", key(Qt::Key_PageUp), 0},
        {"a time of day", jump("08:30:07"), 175},
        {"the step back", [&player] { player.OnStepBack(); }, 174},
        {"the trackbar's end", [&player] { player.OnSeek(10000); }, 299},
    };
    for (const auto& step : steps) {
        step.act();
        ASSERT_TRUE(WaitFor([&] { return player.ShownPictureNumber() == step.expected; }))
            << step.what << ": " << player.ShownPictureNumber() << " state " << player.State();
        Pump(100);
        EXPECT_EQ(player.ShownPictureNumber(), step.expected) << step.what << ": and it stays";
        EXPECT_EQ(MatchingPicture(player.LastPicture(), decoded), step.expected) << step.what;
        EXPECT_EQ(player.TimeText(), Expected(step.expected)) << step.what;
        EXPECT_EQ(player.State(), Paused) << step.what;
    }

    ModalAnswerer answerer;
    for (const char* text : {"08:31:00", "25:00:00", "__:__:__"})
        EXPECT_FALSE(player.JumpToTimeOfDay(QString::fromLatin1(text))) << text;
    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_TRUE(answerer.Seen()[0].contains(QStringLiteral("08:30:00 到 08:30:11"))) << answerer.Seen()[0].toStdString();

    // Played to its end, the file plays again from a seek.
    player.SetPacing(0ms);
    player.OnPlayButton();
    ASSERT_TRUE(player.WaitForEnd(10000));
    ASSERT_EQ(player.State(), Stopped);
    player.OnSeek(0);
    EXPECT_EQ(player.State(), Playing);
    ASSERT_TRUE(player.WaitForEnd(10000));
    EXPECT_EQ(player.ShownPictureNumber(), 299) << "played through once more";
    player.OnClose();
}
