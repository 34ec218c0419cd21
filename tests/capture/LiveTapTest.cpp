// A camera's way to the remote view: pictures only while watched and only
// as fast as they are taken, one JPEG for every viewer of a picture, and
// nothing stale handed to a viewer who comes back.
#include "LiveTap.h"

#include <gtest/gtest.h>

namespace {

using Clock = LiveTap::Clock;
using std::chrono::milliseconds;

QImage Filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(LiveTap, APictureIsWantedOnlyWhileWatchedAndAsFastAsItIsTaken)
{
    const Clock::time_point start = Clock::now();
    const struct {
        int askedMs;   // a viewer asked this long ago; -1: never
        int putMs;     // the last picture was handed over this long ago
        bool taken;    // and a viewer took it
        bool wanted;
    } cases[] = {
        {-1, 5000, true, false},  // nobody watches: the streaming thread does nothing
        {100, 500, true, true},   {2900, 500, true, true},
        {3100, 500, true, false},  // the viewer left
        {100, 50, true, false},    // at most ten a second
        {100, 500, false, false},  // the last one still waits for its viewer
        {100, 1100, false, true},  // but not past a second
    };
    for (const auto& c : cases) {
        LiveTap tap("摄像头1");
        const Clock::time_point put = start - milliseconds(c.putMs);
        tap.Put(Filled(QSize(64, 36), Qt::red), "t", put);
        if (c.askedMs >= 0)
            (void)tap.Take(c.taken ? 0 : 1, start - milliseconds(c.askedMs));
        EXPECT_EQ(tap.Wanted(start), c.wanted) << c.askedMs << " " << c.putMs << " " << c.taken;
    }
}

TEST(LiveTap, EveryViewerOfAPictureGetsTheSameJpegAndNoStaleOne)
{
    LiveTap tap("摄像头1");
    const Clock::time_point now = Clock::now();
    EXPECT_FALSE(tap.Take(0, now).jpeg) << "no picture yet";
    QImage image = tap.ImageToDraw(QSize(96, 54));
    image.fill(QColor(0, 0, 255));
    for (int y = 0; y < 54; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)), 48, qRgb(255, 0, 0));
    tap.Put(image, "2026-12-09 10:00:00", now);
    const LiveShot first = tap.Take(0, now + milliseconds(10));
    const LiveShot second = tap.Take(0, now + milliseconds(20));
    ASSERT_TRUE(first.jpeg);
    EXPECT_EQ(first.jpeg, second.jpeg) << "made once, shared by both viewers";
    EXPECT_EQ(first.number, 1u);
    EXPECT_EQ(first.time, "2026-12-09 10:00:00");
    EXPECT_EQ(first.ageMs, 10);
    EXPECT_FALSE(tap.Take(1, now).jpeg) << "nothing newer than what the viewer has";
    const QImage decoded = QImage::fromData(QByteArray::fromStdString(*first.jpeg), "JPEG");
    ASSERT_EQ(decoded.size(), QSize(96, 54));
    EXPECT_GT(qRed(decoded.pixel(10, 27)), 200);
    EXPECT_LT(qBlue(decoded.pixel(10, 27)), 60);
    EXPECT_GT(qBlue(decoded.pixel(85, 27)), 200) << "left is red and right is blue: the bytes' order kept";
    EXPECT_FALSE(tap.Take(0, now + LiveTap::kFresh).jpeg) << "a viewer coming back gets no old picture";
}

TEST(LiveTap, PicturesAreHalvedThenFittedIntoTheLargestSize)
{
    const struct {
        QSize frame;
        QSize picture;
    } cases[] = {{{1920, 1080}, {960, 540}}, {{3840, 2160}, {960, 540}}, {{1280, 720}, {960, 540}},
                 {{640, 480}, {640, 480}},   {{1280, 960}, {720, 540}},  {{2592, 1944}, {720, 540}},
                 {{4000, 100}, {960, 24}}};
    for (const auto& c : cases)
        EXPECT_EQ(LiveTap::PictureSize(c.frame), c.picture) << c.frame.width() << "x" << c.frame.height();
}

}  // namespace
