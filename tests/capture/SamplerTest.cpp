// The per-frame pipeline without a device: display image, record stamps, day rule.
#include "CaptureTestSupport.h"
#include "record/Frames.h"
#include "record/Mpeg1File.h"
#include "PanelLink.h"
#include "Sampler.h"
#include "store/TempDatabase.h"

#include <QObject>

#include <cstdlib>

namespace {

// Green pixels in a rectangle of a bottom-up BGR frame, in picture coordinates.
int GreenInFrame(const std::vector<std::uint8_t>& f, int width, int height, int x, int y, int w, int h)
{
    std::vector<std::uint8_t> rgb(f.size());
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const std::uint8_t* s = &f[(static_cast<std::size_t>(height - 1 - row) * width + col) * 3];
            std::uint8_t* d = &rgb[(static_cast<std::size_t>(row) * width + col) * 3];
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        }
    return GreenPixels(rgb.data(), width, x, y, w, h);
}

class SamplerTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
    }
    void TearDown() override
    {
        TempDatabaseTest::TearDown();
    }
    QObject m_panel;
    std::shared_ptr<PanelLink> m_link = std::make_shared<PanelLink>(&m_panel);
};

TEST_F(SamplerTest, StampsTheScaledDisplayAndTheFullSizeFrameAtTheirCorners)
{
    Sampler sampler;
    sampler.Configure(320, 240, m_dir, 0, m_link);
    ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 640, 480, true}));
    auto frame = SolidFrame(640, 480, 0, 0, 200);
    sampler.DoRenderSample(frame.data());

    QImage shown;
    ASSERT_TRUE(m_link->TakeDisplayImage(&shown));
    EXPECT_EQ(shown.size(), QSize(320, 240));
    EXPECT_GT(GreenPixels(shown, 0, 0, 120, 16), 50) << "time at the top-left";
    EXPECT_GT(GreenPixels(shown, 260, 222, 60, 18), 20) << "title at the bottom-right";
    EXPECT_EQ(GreenPixels(shown, 100, 80, 120, 80), 0);
    EXPECT_NEAR(qRed(shown.pixel(160, 120)), 200, 2) << "the picture itself";
    // Transparent background: the picture shows between the letters.
    EXPECT_GT(16 * 120 - GreenPixels(shown, 0, 0, 120, 16), 16 * 60);

    EXPECT_GT(GreenInFrame(frame, 640, 480, 0, 0, 120, 16), 50);
    EXPECT_GT(GreenInFrame(frame, 640, 480, 580, 462, 60, 18), 20);
    EXPECT_EQ(GreenInFrame(frame, 640, 480, 200, 200, 200, 80), 0);
    EXPECT_EQ(GreenInFrame(frame, 640, 480, 0, 460, 200, 20), 0) << "nothing upside down";
}

// The time reads over any scene: its green letters keep a dark edge, also
// over a green or yellow picture where green alone would vanish.
TEST_F(SamplerTest, TheStampsGreenLettersHaveADarkOutlineOverAnyScene)
{
    const struct {
        const char* scene;
        std::uint8_t red, green, blue;
    } scenes[] = {{"black", 0, 0, 0}, {"green", 0, 255, 0}, {"yellow", 255, 255, 0}, {"white", 255, 255, 255}};
    for (const auto& scene : scenes) {
        Sampler sampler;
        sampler.Configure(320, 240, m_dir, 0, m_link);
        ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 320, 240, true}));
        auto frame = SolidFrame(320, 240, scene.blue, scene.green, scene.red);
        sampler.DoRenderSample(frame.data());
        QImage shown;
        ASSERT_TRUE(m_link->TakeDisplayImage(&shown));
        int dark = 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 150; ++x)
                dark += qRed(shown.pixel(x, y)) < 60 && qGreen(shown.pixel(x, y)) < 60;
        EXPECT_GT(dark, 100) << scene.scene;
        EXPECT_GT(GreenPixels(shown, 0, 0, 150, 18), 50) << scene.scene;
        EXPECT_EQ(shown.pixel(160, 120), qRgb(scene.red, scene.green, scene.blue)) << scene.scene;
        m_link->ReturnImage(std::move(shown));
    }
}

// The panel hands back what it no longer shows; the next frame is drawn into
// that image unless someone still holds it.
TEST_F(SamplerTest, AReturnedDisplayImageIsDrawnIntoAgainUnlessStillHeld)
{
    Sampler sampler;
    sampler.Configure(320, 240, m_dir, 0, m_link);
    ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 640, 480, true}));
    const auto show = [&](std::uint8_t red) {
        auto frame = SolidFrame(640, 480, 0, 0, red);
        sampler.DoRenderSample(frame.data());
        QImage shown;
        EXPECT_TRUE(m_link->TakeDisplayImage(&shown));
        return shown;
    };
    QImage first = show(200);
    const uchar* pixels = first.constBits();
    m_link->ReturnImage(std::move(first));
    QImage second = show(100);
    EXPECT_EQ(second.constBits(), pixels) << "the returned image is reused";
    EXPECT_NEAR(qRed(second.pixel(160, 120)), 100, 2);

    const QImage held = second;
    m_link->ReturnImage(std::move(second));
    const QImage third = show(30);
    EXPECT_NE(third.constBits(), held.constBits());
    EXPECT_NEAR(qRed(held.pixel(160, 120)), 100, 2) << "a held image is left as it was";
    EXPECT_NEAR(qRed(third.pixel(160, 120)), 30, 2);

    m_link->ReturnImage(QImage(10, 10, QImage::Format_RGB32));
    EXPECT_EQ(show(60).size(), QSize(320, 240)) << "an image of another size is not reused";
}

TEST_F(SamplerTest, AFrameLessTallThanThePanelKeepsItsOwnStamps)
{
    Sampler sampler;
    sampler.Configure(320, 240, m_dir, 0, m_link);
    ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 320, 120, true}));
    auto frame = SolidFrame(320, 120, 30, 30, 30);
    sampler.DoRenderSample(frame.data());
    EXPECT_GT(GreenInFrame(frame, 320, 120, 0, 0, 120, 16), 50) << "the time is in the recording";
    EXPECT_GT(GreenInFrame(frame, 320, 120, 260, 102, 60, 18), 20);
}

TEST_F(SamplerTest, OnlyTheRgbFrameIsAcceptedAndTheFirstSizeStays)
{
    auto sampler = std::make_unique<Sampler>();
    sampler->Configure(320, 240, m_dir, 1, m_link);
    EXPECT_FALSE(sampler->CheckMediaType({MediaSubtype::Other, 320, 240, true}));
    EXPECT_FALSE(sampler->CheckMediaType({MediaSubtype::Rgb24, 320, 240, false}));
    EXPECT_FALSE(sampler->CheckMediaType({MediaSubtype::Rgb24, 320, -240, true})) << "top-down rows";
    ASSERT_TRUE(sampler->CheckMediaType({MediaSubtype::Rgb24, 176, 144, true}));
    ASSERT_TRUE(sampler->CheckMediaType({MediaSubtype::Rgb24, 352, 288, true}));
    auto frame = SolidFrame(352, 288, 10, 10, 10);
    for (int i = 0; i < 3; ++i)
        sampler->DoRenderSample(frame.data());
    const std::string path = sampler->Encoder().CurrentPath();
    sampler.reset();
    const DecodedFile file = DecodeMpeg1File(path);
    ASSERT_EQ(file.pictures.size(), 3u);
    EXPECT_EQ(file.pictures[0].width, 176) << "the codec keeps its first size";
}

struct DayChange {
    const char* name;
    TimeValue before;  // one second before local midnight, in EST5
};

// A camera slower than the recording: each frame's picture stands until the
// next frame's time, so the file plays as long as the frames covered.
TEST_F(SamplerTest, ASlowCamerasPicturesAreRepeatedUntilTheNextFrame)
{
    std::string path;
    {
        Sampler sampler;
        sampler.Configure(0, 0, m_dir, 0, nullptr);
        ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 176, 144, true}));
        const std::uint8_t levels[] = {30, 110, 190, 250};
        auto t = RecordTimeline::Clock::now();
        for (int i = 0; i < 4; ++i, t += std::chrono::milliseconds(120)) {  // 8.3 frames a second
            auto frame = SolidFrame(176, 144, levels[i], levels[i], levels[i]);
            sampler.DoRenderSample(frame.data(), t);
        }
        path = sampler.Encoder().CurrentPath();
    }  // the file ends with the sampler
    const DecodedFile file = DecodeMpeg1File(path);
    ASSERT_EQ(file.pictures.size(), 10u) << "1 + 3 × (2 repeats + the frame)";
    std::vector<int> shown;
    for (const DecodedPicture& picture : file.pictures)
        shown.push_back(picture.rgb[3 * (72 * 176 + 88)] / 40);
    EXPECT_EQ(shown, (std::vector<int>{0, 0, 0, 2, 2, 2, 4, 4, 4, 6})) << "levels / 40, in order";
}

// The wall clock set while a camera records: the pictures after it would
// not show their moments in the old file, so a new one begins at the new
// time; a second's correction is no such step.
TEST_F(SamplerTest, AWallClockSetWhileRecordingBeginsANewFile)
{
    const struct {
        TimeValue step;
        std::size_t files;
    } cases[] = {{3600, 2}, {-3600, 2}, {1, 1}};
    for (const auto& c : cases) {
        ExecuteCommand("delete from video_save_history");
        TimeValue now = 1257064200;
        {
            Sampler sampler([&now] { return now; });
            sampler.Configure(0, 0, m_dir, 0, nullptr);
            ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 176, 144, true}));
            auto frame = SolidFrame(176, 144, 0, 0, 0);
            auto t = RecordTimeline::Clock::now();
            for (int i = 0; i < 20; ++i, t += std::chrono::milliseconds(40)) {
                if (i == 10)
                    now += c.step;
                sampler.DoRenderSample(frame.data(), t);
            }
        }
        WaitForRows();
        const auto paths = Column(ExecuteCommand("select * from video_save_history order by rowid"), "video_save_path");
        ASSERT_EQ(paths.size(), c.files) << c.step << " s";
        if (c.files == 2) {
            EXPECT_EQ(paths[1].substr(m_dir.size() + 7, 13), FormatLocalTime("%Y-%m-%d %H", 1257064200 + c.step))
                << "named with the new time";
        }
    }
}

TEST_F(SamplerTest, TheFirstFrameOfANewLocalDayStartsANewFile)
{
    setenv("TZ", "EST5", 1), tzset();
    const DayChange changes[] = {
        {"day", 1257051599},    // 2009-10-31 23:59:59 EST
        {"month", 1257051599 + 86400},  // 2009-11-01 23:59:59 -> 11-02
        {"month end", 1259643599},      // 2009-11-30 23:59:59 -> 12-01
        {"year", 1262321999},           // 2009-12-31 23:59:59 -> 2010-01-01
    };
    for (const auto& change : changes) {
        ExecuteCommand("delete from video_save_history");
        TimeValue now = change.before - 5;
        {
            Sampler sampler([&now] { return now; });
            sampler.Configure(0, 0, m_dir, 1, nullptr);
            ASSERT_TRUE(sampler.CheckMediaType({MediaSubtype::Rgb24, 176, 144, true}));
            auto frame = SolidFrame(176, 144, 0, 0, 0);
            for (; now <= change.before + 2; ++now)
                sampler.DoRenderSample(frame.data());
        }
        WaitForRows();
        const auto paths = Column(ExecuteCommand("select * from video_save_history order by video_save_path"),
                                  "video_save_path");
        ASSERT_EQ(paths.size(), 2u) << change.name;
        EXPECT_EQ(paths[1], m_dir + "/dv(2)-" + FormatLocalTime("%Y-%m-%d %H%M%S.mpg", change.before + 1))
            << change.name << ": named with the first frame after midnight";
        EXPECT_EQ(DecodeMpeg1File(paths[0]).pictures.size() + DecodeMpeg1File(paths[1]).pictures.size(), 8u)
            << change.name;
    }
    unsetenv("TZ"), tzset();
}

}  // namespace
