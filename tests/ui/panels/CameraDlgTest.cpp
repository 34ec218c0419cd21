// The camera panel: retry cycle, no-signal mark, device loss and notices.
#include "CameraDlg.h"
#include "capture/CaptureTestSupport.h"
#include "capture/NetworkCameras.h"
#include "PanelLink.h"
#include "store/TempDatabase.h"

#include <QCoreApplication>

#include <thread>

namespace {

class CameraDlgTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        m_panel = std::make_unique<CCameraDlg>();
        m_panel->resize(320, 240);
        m_panel->SetRecordingRoot(m_dir);
    }
    void TearDown() override
    {
        m_panel.reset();
        TempDatabaseTest::TearDown();
    }
    std::vector<std::string> Paths()
    {
        WaitForRows();
        return Column(ExecuteCommand("select * from video_save_history order by start_time"), "video_save_path");
    }
    std::unique_ptr<CCameraDlg> m_panel;
};

TEST_F(CameraDlgTest, WithoutADeviceTheCornerBlinksAndThePanelKeepsTrying)
{
    VirtualCameras cameras("");
    m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
    EXPECT_TRUE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START));
    const QImage& canvas = m_panel->Canvas();
    EXPECT_EQ(canvas.pixel(319, 2), qRgb(255, 255, 255)) << "first: the inverted corner";
    EXPECT_EQ(canvas.pixel(10, 120), qRgb(0, 0, 0));
    m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
    int blue = 0;
    for (int x = 240; x < 320; ++x)
        for (int y = 0; y < 16; ++y)
            blue += qBlue(canvas.pixel(x, y)) > 200 && qRed(canvas.pixel(x, y)) < 100;
    EXPECT_GT(blue, 10) << "then the blue text on it";

    m_panel->OnTimer(2);
    m_panel->OnTimer(0);
    EXPECT_EQ(m_panel->Capture().Control(), nullptr) << "other timer ids do nothing";
}

TEST_F(CameraDlgTest, ALostDeviceStopsThePanelAndANewGraphRecordsANewFile)
{
    VirtualCameras cameras("lavfi:color=c=gray:size=320x240:rate=25:duration=2");
    QStringList told;
    QObject::connect(m_panel.get(), &CCameraDlg::StatusEvent, [&](const QString& text) { told << text; });
    m_panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(500);
    ASSERT_NE(m_panel->Capture().Control(), nullptr);
    EXPECT_TRUE(m_panel->Capture().Control()->IsRunning());
    EXPECT_FALSE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << "live: no timer";
    Pump(2200);
    EXPECT_TRUE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << "lost: retrying";
    Pump(1500);
    const auto paths = Paths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_NE(paths[0], paths[1]);
    EXPECT_NE(qGray(m_panel->Canvas().pixel(160, 120)), 0) << "the panel shows the picture";
    EXPECT_EQ(told, QStringList({QStringLiteral("摄像头1 信号中断"), QStringLiteral("摄像头1 信号恢复")}));
}

// A wrong password is retried after 1, 2, 4 … s, not every second, so the
// camera does not lock its account.
TEST_F(CameraDlgTest, ACameraThatRefusesThePasswordIsAskedLessAndLessOften)
{
    const int port = FreeLoopbackPort();
    RefusingCamera camera(port);
    VirtualCameras cameras("mpjpeg:http://127.0.0.1:" + std::to_string(port) + "/video");
    m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
    Pump(7500);
    EXPECT_GE(camera.Tries(), 3);
    EXPECT_LE(camera.Tries(), 5) << "at 0, 1, 3 and 7 s; every second would be 8 (" << camera.Requests()
                                 << " requests)";
    EXPECT_EQ(CCameraDlg::RetryPeriodMs(0), 1000);
    EXPECT_EQ(CCameraDlg::RetryPeriodMs(3), 4000);
    EXPECT_EQ(CCameraDlg::RetryPeriodMs(40), 60000) << "at most a minute";
}

TEST_F(CameraDlgTest, APanelSaysInChineseWhyItsCameraCannotBeOpened)
{
    const int refusing = FreeLoopbackPort();
    RefusingCamera camera(refusing);
    const std::pair<std::string, QString> cases[] = {
        {"v4l2:" + m_dir + "/video9", QStringLiteral("没有找到摄像头")},
        {"mpjpeg:http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/video", QStringLiteral("连接被拒绝")},
        {"mpjpeg:http://127.0.0.1:" + std::to_string(refusing) + "/video", QStringLiteral("用户名或密码错误")},
        {"mpjpeg:http://localhost:" + std::to_string(FreeLoopbackPort()) + "/video", QStringLiteral("连接被拒绝")},
        {"mpjpeg:http://no-such-camera.invalid:8080/video", QStringLiteral("地址找不到")},
    };
    for (const auto& [entry, said] : cases) {
        VirtualCameras cameras(entry);
        m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
        for (int waited = 0; waited < 6000 && m_panel->FailureText().isEmpty(); waited += 200)
            Pump(200);  // a name server may take its time to say no
        EXPECT_EQ(m_panel->FailureText(), said) << entry;
        const QImage& canvas = m_panel->Canvas();
        EXPECT_EQ(canvas.pixel(canvas.width() / 2, canvas.height() / 2 - 20), qRgb(0, 0, 0));
        int white = 0;
        for (int y = canvas.height() / 2 - 6; y <= canvas.height() / 2 + 6; ++y)
            for (int x = canvas.width() / 2 - 40; x < canvas.width() / 2 + 40; ++x)
                white += qGray(canvas.pixel(x, y)) > 200;
        EXPECT_GT(white, 0) << entry << ": the reason is drawn in the middle";
        m_panel->ChangeSource(std::nullopt, false);  // the reason goes with the source
    }
}

TEST_F(CameraDlgTest, ANoticeForAnotherCaptureLeavesALivePanelAlone)
{
    VirtualCameras cameras("lavfi:color=c=gray:size=320x240:rate=25");
    m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
    ASSERT_NE(m_panel->Capture().Control(), nullptr);
    const std::uint64_t identity = m_panel->Capture().Identity();
    QCoreApplication::postEvent(m_panel.get(), new GraphNotifyEvent(identity + 1000));
    Pump(300);
    EXPECT_TRUE(m_panel->Capture().Control()->IsRunning());
    EXPECT_FALSE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START));
    QCoreApplication::postEvent(m_panel.get(), new GraphNotifyEvent(identity));
    Pump(100);
    EXPECT_FALSE(m_panel->Capture().Control()->IsRunning());
    EXPECT_TRUE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START));
}

TEST_F(CameraDlgTest, ALossPostedJustBeforeMonitoringStopsDoesNotStartTheCameraAgain)
{
    VirtualCameras cameras("lavfi:color=c=gray:size=320x240:rate=25:duration=0.4");
    m_panel->OnTimer(CCameraDlg::TIMER_CAMERA_START);
    ASSERT_NE(m_panel->Capture().Control(), nullptr);
    m_panel->Capture().Control()->Run();
    while (m_panel->Capture().Control()->IsRunning())  // the loss is posted, not yet handled
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_panel->KillTimer(CCameraDlg::TIMER_CAMERA_START);  // what stopping monitoring does
    m_panel->Capture().Control()->Stop();
    Pump(300);
    EXPECT_FALSE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START));
}

}  // namespace

TEST(RecordMarkTest, TheMarkSaysWhetherTheCameraIsRecordedOrWhyNot)
{
    const struct {
        RecordMarkInput input;
        bool recording;
        const char* text;
    } cases[] = {
        {{false, true, RecordState::kRecording, false}, true, "录像"},
        {{false, true, RecordState::kRecording, true}, true, "录像（数据库不能写入）"},
        {{false, true, RecordState::kDiskFull, false}, false, "未录像：磁盘已满"},
        {{false, true, RecordState::kCannotWrite, true}, false, "未录像：录像文件夹不能写入"},
        {{false, true, RecordState::kIdle, false}, false, "未录像"},
        {{false, false, RecordState::kRecording, false}, false, "未录像"},  // a lost camera's last state
        {{true, true, RecordState::kRecording, false}, false, "未录像：监控已停止"},
    };
    for (const auto& c : cases) {
        const RecordMark mark = MakeRecordMark(c.input);
        EXPECT_EQ(mark.recording, c.recording) << c.text;
        EXPECT_EQ(mark.text.toStdString(), c.text);
    }
}
