// The player's engine without a window: a seek lands on the picture asked
// for whatever the decoding thread is doing, in both recording formats, and
// its notices stay few.
#include "PictureTime.h"
#include "PlayerEngine.h"
#include "VideoEncoder.h"
#include "record/Frames.h"
#include "store/TempDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr TimeValue kStart = 1257064200;  // 2009-11-01 08:30:00 UTC
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kBits = 9;
constexpr int kBlock = kWidth / (kBits + 1);

// Picture n carries n in white and black blocks across its middle, the
// lowest bit on the left.
std::vector<std::uint8_t> NumberedFrame(int n)
{
    auto frame = SolidFrame(kWidth, kHeight, 0, 0, 0);
    for (int bit = 0; bit < kBits; ++bit)
        for (int y = kHeight / 2 - 40; y < kHeight / 2 + 40; ++y)
            for (int x = bit * kBlock; x < (bit + 1) * kBlock && (n >> bit & 1) != 0; ++x)
                for (int c = 0; c < 3; ++c)
                    frame[(static_cast<std::size_t>(y) * kWidth + x) * 3 + c] = 255;
    return frame;
}

int NumberIn(const QImage& picture)
{
    int n = 0;
    for (int bit = 0; bit < kBits; ++bit)
        if (qGray(picture.pixel(bit * kBlock + kBlock / 2, kHeight / 2)) > 128)
            n |= 1 << bit;
    return n;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 5s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class PlayerEngineTest : public TempDatabaseTest {
protected:
    // The pictures as the camera's encoder records them, in `format`.
    std::string Record(int pictures, RecordFormat format = RecordFormat::kMpeg1)
    {
        ChooseRecordFormat(format);
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.SetClock([] { return kStart; });
        encoder.Init(0, kWidth, kHeight);
        for (int n = 0; n < pictures; ++n)
            encoder.EncodeFrame(NumberedFrame(n).data(), kWidth, kHeight, PictureTime(kStart * kMicrosPerSecond, n));
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        ChooseRecordFormat(RecordFormat::kMpeg1);
        return path;
    }
};

}  // namespace

// Seeks come while the thread decodes the old place's group, converts a
// picture or waits paused; each time the picture shown, its number and the
// picture's own content agree with the last seek.
TEST_F(PlayerEngineTest, APausedSeekShowsThePictureAskedForWhateverTheThreadIsDoing)
{
    const std::string paths[] = {Record(400), Record(400, RecordFormat::kH264)};
    for (const std::string& path : paths) {
        PlayerEngine engine;
        ASSERT_EQ(engine.Play(path), PlayerEngine::kPlayStarted);
        ASSERT_TRUE(WaitUntil([&] { return engine.ShownNumber() >= 0; })) << path;
        engine.TogglePause();
        ASSERT_EQ(engine.State(), Paused);
        EXPECT_EQ(engine.RefreshLastNumber(), 399) << path;
        std::mt19937 random(7);
        const struct {
            const char* what;
            std::chrono::microseconds between;
        } cases[] = {{"back to back", 0us}, {"while a group decodes", 300us}, {"after it settled", 20ms}};
        for (const auto& c : cases) {
            long long asked = 0;
            for (int i = 0; i < 25; ++i) {
                asked = std::uniform_int_distribution<long long>(0, 399)(random);
                engine.SeekToPicture(asked);
                std::this_thread::sleep_for(c.between);
            }
            ASSERT_TRUE(WaitUntil([&] { return engine.ShownNumber() == asked; })) << path << " " << c.what << ": " << asked;
            std::this_thread::sleep_for(100ms);
            long long number = -1;
            const QImage shown = engine.ShownPicture(&number);
            EXPECT_EQ(number, asked) << path << " " << c.what;
            EXPECT_EQ(NumberIn(shown), asked) << path << " " << c.what;
            EXPECT_EQ(engine.State(), Paused) << c.what;
        }
    }
}

// Pictures shown faster than anyone reads them replace one another in the
// queue; the wake comes when it gets its first notice; the end of an
// earlier playback is told with that playback's mark.
TEST_F(PlayerEngineTest, NoticesStayFewAndTheEndBelongsToItsPlayback)
{
    const std::string path = Record(200);
    PlayerEngine engine;
    std::atomic<int> wakes{0};
    engine.SetWake([&] { ++wakes; });
    engine.SetPacing(0ms);
    ASSERT_EQ(engine.Play(path), PlayerEngine::kPlayStarted);
    ASSERT_TRUE(engine.WaitForEnd(10000));
    const std::vector<PlayerNotice> notices = engine.TakeNotices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(notices[0].kind, PlayerNotice::kPictureShown);
    EXPECT_EQ(notices[0].number, 199);
    EXPECT_EQ(notices[1].kind, PlayerNotice::kStopped);
    EXPECT_EQ(notices[1].generation, engine.Generation());
    EXPECT_EQ(engine.PicturesShown(), 200u);

    engine.SetPacing(40ms);
    ASSERT_EQ(engine.Play(path), PlayerEngine::kPlayStarted);
    ASSERT_TRUE(WaitUntil([&] { return engine.ShownNumber() >= 5; }));
    for (const PlayerNotice& notice : engine.TakeNotices())
        EXPECT_NE(notice.kind, PlayerNotice::kStopped) << "a new playback is not ended by the last one's end";
    EXPECT_EQ(engine.State(), Playing);
}
