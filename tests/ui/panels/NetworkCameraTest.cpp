// Network cameras as shops have them, on the loopback address: an MJPEG
// camera over HTTP that records, stalls, goes and comes back, and one that
// accepts the connection and never answers.
#include "CameraDlg.h"
#include "capture/CaptureTestSupport.h"
#include "capture/NetworkCameras.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

class NetworkCameraTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        for (auto& panel : m_panels) {
            panel = std::make_unique<CCameraDlg>();
            panel->resize(320, 240);
            panel->SetRecordingRoot(m_dir);
        }
        m_panels[1]->SetDeviceIndex(1);
    }
    void TearDown() override
    {
        for (auto& panel : m_panels)
            panel.reset();
        TempDatabaseTest::TearDown();
    }
    std::vector<std::string> Paths()
    {
        WaitForRows();
        return Column(ExecuteCommand("select * from video_save_history order by rowid"), "video_save_path");
    }
    std::unique_ptr<CCameraDlg> m_panels[2];
};

TEST_F(NetworkCameraTest, AnMjpegCameraRecordsAndAStalledOneIsLostAndComesBack)
{
    const int port = FreeLoopbackPort();
    auto camera = std::make_unique<MjpegHttpCamera>(port);
    VirtualCameras cameras(camera->Entry());
    CCameraDlg& panel = *m_panels[0];
    panel.SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(3000);
    ASSERT_NE(panel.Capture().Control(), nullptr);
    EXPECT_GT(panel.Capture().Control()->FramesDelivered(), 25u);
    EXPECT_FALSE(panel.IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL)) << "live";

    camera->Pause();  // connected, and nothing comes any more
    Pump(7000);
    EXPECT_TRUE(panel.IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL)) << "no signal after 5 s without a frame";
    camera.reset();
    camera = std::make_unique<MjpegHttpCamera>(port);  // back
    Pump(5000);
    EXPECT_FALSE(panel.IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL));
    panel.Capture().ReleaseGraph();
    const auto paths = Paths();
    ASSERT_GE(paths.size(), 2u) << "a new file once it was back";
    const auto first = ReadBytes(paths.front());
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(first.end() - 4, first.end()), (std::vector<std::uint8_t>{0, 0, 1, 0xB7}))
        << "the stalled camera's file ended properly";
    EXPECT_GE(DecodeMpeg1File(paths.back()).pictures.size(), 50u);
}

TEST_F(NetworkCameraTest, AnRtspCameraRecordsWithWallClockTime)
{
    if (!RtspCamera::Available())
        GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0, python3-gi) is not installed";
    RtspCamera camera(FreeLoopbackPort());
    VirtualCameras cameras(camera.Entry());
    CCameraDlg& panel = *m_panels[0];
    panel.SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(5000);
    ASSERT_NE(panel.Capture().Control(), nullptr);
    const double delivered = static_cast<double>(panel.Capture().Control()->FramesDelivered());
    EXPECT_GT(delivered, 50.0) << "over TCP from the RTSP server";
    const std::string path = panel.Capture().Control()->Renderer().Encoder().CurrentPath();
    panel.Capture().ReleaseGraph();
    // The frames the server held before the connection arrive at once: they
    // were taken before they arrived, so they share the slots of their
    // arrival. After them, a picture a frame.
    const double pictures = static_cast<double>(DecodeMpeg1File(path).pictures.size());
    EXPECT_LE(pictures, delivered + 3.0) << "a 25-a-second camera: no picture repeated";
    EXPECT_GE(pictures, delivered - 25.0) << "at most the first second's backlog shares slots";
}

// The device opens on the camera's own thread: a camera that never answers
// leaves the interface and the other cameras running.
TEST_F(NetworkCameraTest, ACameraThatNeverAnswersNeverHoldsTheInterface)
{
    const int port = FreeLoopbackPort();
    SilentServer silent(port);
    VirtualCameras cameras("mpjpeg:http://127.0.0.1:" + std::to_string(port) + "/cam.mjpg;"
                           "lavfi:testsrc2=size=320x240:rate=25");
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticker.start(20);
    for (auto& panel : m_panels)
        panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(8000);
    std::fprintf(stderr, "longest stand-still of the interface: %lld ms\n", static_cast<long long>(longest));
    EXPECT_LT(longest, 1000) << "the interface never stood still (it did for 2 s at every retry)";
    EXPECT_TRUE(m_panels[0]->IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL) ||
                m_panels[0]->IsTimerActive(CCameraDlg::TIMER_CAMERA_START));
    ASSERT_NE(m_panels[1]->Capture().Control(), nullptr);
    EXPECT_GT(m_panels[1]->Capture().Control()->FramesDelivered(), 150u) << "the other camera ran on";
    QElapsedTimer stopping;
    stopping.start();
    m_panels[0]->Capture().ReleaseGraph();
    EXPECT_LT(stopping.elapsed(), 1000) << "a stop ends a waiting open at once";
}

}  // namespace
