// The day timeline: where its strips put moments, what a click, a drag and
// the wheel do, and the player's way from event to event across a camera's
// files.
#include "DayTimeline.h"
#include "PlayerToolbar.h"
#include "SeekBar.h"
#include "VideoEncoder.h"
#include "VideoPlayDlg.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"
#include "capture/CaptureTestSupport.h"
#include "record/Frames.h"
#include "store/TempDatabase.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>

namespace {

constexpr TimeValue k0830 = 1257064200;  // 2009-11-01 08:30:00 UTC
constexpr PreciseTime kSecond = kMicrosPerSecond;

PreciseTime At(TimeValue second, int hundredths = 0)
{
    return second * kSecond + hundredths * (kSecond / 100);
}

class DayTimelineTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    // A recording of camera 1 from `start`, `seconds` long, with its row.
    std::string Record(TimeValue start, int seconds)
    {
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.SetClock([start] { return start; });
        encoder.Init(0, 160, 120);
        const auto frame = SolidFrame(160, 120, 40, 90, 140);
        for (int n = 0; n < seconds * kRecordingPicturesPerSecond; ++n)
            encoder.EncodeFrame(frame.data(), 160, 120);
        const std::string path = encoder.CurrentPath();
        encoder.Close();
        WaitForRows();
        return path;
    }
    static void AddEvent(const std::string& path, TimeValue from, TimeValue to, const char* kind = "motion")
    {
        ExecuteCommand("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak, kind) VALUES (1, '" +
                       path + "', '" + PreciseText(At(from)) + "', '" + PreciseText(At(to)) + "', 0.2, '" + kind + "')");
    }
};

// The strips put each recording and event at its time; a click plays, a
// drag chooses a range, the wheel zooms to the hour and back.
TEST_F(DayTimelineTest, TheStripsShowTheDayAndAnswerClicksDragsAndTheWheel)
{
    const std::string first = Record(k0830, 10);
    AddEvent(first, k0830 + 2, k0830 + 6);
    AddEvent(first, k0830 + 40, k0830 + 50, "tamper");
    const std::optional<DayTimelineData> data = LoadDayTimeline("2009-11-01");
    ASSERT_TRUE(data);
    ASSERT_EQ(data->cameras[0].recorded.size(), 1u);
    EXPECT_EQ(data->cameras[0].recorded[0].from, At(k0830));
    EXPECT_EQ(data->cameras[0].recorded[0].to, At(k0830 + 10));
    ASSERT_EQ(data->cameras[0].events.size(), 2u);
    EXPECT_EQ(data->cameras[0].events[1].kind, MotionEventKind::kTamper);
    EXPECT_EQ(data->cameras[0].events[0].from, At(k0830 + 2));
    EXPECT_EQ(RecordingAt(*data, 1, At(k0830 + 5)), &data->cameras[0].recorded[0]);
    EXPECT_EQ(RecordingAt(*data, 1, At(k0830 + 11)), nullptr);

    CDayTimeline timeline;
    timeline.resize(CDayTimeline::kLabelWidth + 960, CDayTimeline::kHeight);  // 40 pixels an hour
    timeline.SetData(*data);
    timeline.show();
    EXPECT_EQ(timeline.ColumnOf(data->dayStart + 8 * CDayTimeline::kHour), CDayTimeline::kLabelWidth + 320);
    const int y = timeline.StripRect(1).center().y();
    QWheelEvent zoom(QPointF(CDayTimeline::kLabelWidth + 340, y), QPointF(), QPoint(), QPoint(0, 120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&timeline, &zoom);
    EXPECT_EQ(timeline.ViewFrom(), data->dayStart + 8 * CDayTimeline::kHour) << "the hour under the pointer";
    EXPECT_EQ(timeline.ViewTo(), data->dayStart + 9 * CDayTimeline::kHour);
    const int at0830 = timeline.ColumnOf(At(k0830 + 4));
    EXPECT_TRUE(timeline.HoverText(QPoint(at0830, y)).startsWith(QStringLiteral("摄像头1 08:30:0"))) << timeline.HoverText(QPoint(at0830, y)).toStdString();
    EXPECT_TRUE(timeline.HoverText(QPoint(at0830, y)).endsWith(QStringLiteral("移动")));
    EXPECT_TRUE(timeline.HoverText(QPoint(timeline.ColumnOf(At(k0830 + 45)), y)).endsWith(QStringLiteral("遮挡")));

    QSignalSpy plays(&timeline, &CDayTimeline::PlayAsked);
    QSignalSpy ranges(&timeline, &CDayTimeline::RangeChosen);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(at0830, y));
    ASSERT_EQ(plays.count(), 1);
    EXPECT_EQ(plays[0][0].toInt(), 1);
    EXPECT_NEAR(static_cast<double>(plays[0][1].value<PreciseTime>() - At(k0830 + 4)), 0, 4 * kSecond);
    QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(at0830, timeline.StripRect(2).center().y()));
    QTest::mouseMove(&timeline, QPoint(at0830 + 200, timeline.StripRect(2).center().y()));
    QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(at0830 + 200, timeline.StripRect(2).center().y()));
    ASSERT_EQ(ranges.count(), 1);
    EXPECT_EQ(ranges[0][0].toInt(), 2);
    EXPECT_GT(ranges[0][2].value<PreciseTime>() - ranges[0][1].value<PreciseTime>(), 10 * 60 * kSecond);
    QWheelEvent back(QPointF(CDayTimeline::kLabelWidth + 340, y), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&timeline, &back);
    EXPECT_EQ(timeline.ViewTo() - timeline.ViewFrom(), 24 * CDayTimeline::kHour);
}

// 下一个事件 goes on into the camera's next file, 上一个事件 back; the
// trackbar marks the events of the file being played.
TEST_F(DayTimelineTest, ThePlayersEventButtonsGoFromEventToEventAcrossFiles)
{
    const std::string first = Record(k0830, 8);
    const std::string second = Record(k0830 + 60, 8);
    AddEvent(first, k0830 + 2, k0830 + 4);
    AddEvent(second, k0830 + 63, k0830 + 66);
    CVideoQueryDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    dlg.DateCombo()->setCurrentIndex(dlg.DateCombo()->findText(QStringLiteral("2009-11-01")));
    emit dlg.DateCombo()->activated(dlg.DateCombo()->currentIndex());
    CVideoPlayDlg* player = dlg.Player();
    dlg.PlayAt(1, At(k0830));
    Pump(300);
    player->OnPlayButton();  // paused, so the picture on screen stays where the jump put it
    EXPECT_EQ(player->PlayingPath(), first);
    EXPECT_EQ(player->Trackbar()->Marks().size(), 1u) << "the event in this file; the other lies in the next";
    const struct {
        bool next;
        const std::string& path;
        TimeValue second;
    } presses[] = {{true, first, k0830 + 2}, {true, second, k0830 + 63}, {false, first, k0830 + 2}};
    for (const auto& press : presses) {
        emit player->Toolbar()->eventAsked(press.next);
        ASSERT_TRUE(WaitFor([&] { return player->ShownMoment() && WholeSeconds(*player->ShownMoment()) == press.second; }))
            << press.second;
        EXPECT_EQ(player->PlayingPath(), press.path);
    }
}

}  // namespace
