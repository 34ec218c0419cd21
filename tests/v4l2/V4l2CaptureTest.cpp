// The program's V4L2 path (enumeration, libavdevice's non-blocking reads,
// YUYV and MJPEG, a camera unplugged or stalled) against the emulated device
// of the preload library this test program runs under.
#include "CameraDlg.h"
#include "CaptureDevices.h"
#include "capture/CaptureTestSupport.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class V4l2CaptureTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        m_devices = m_dir + "/dev";
        std::filesystem::create_directory(m_devices);
        setenv(kV4l2FolderVariable, m_devices.c_str(), 1);
        unsetenv(kCaptureDevicesVariable);
        m_panel = std::make_unique<CCameraDlg>();
        m_panel->resize(320, 240);
        m_panel->SetRecordingRoot(m_dir);
    }
    void TearDown() override
    {
        m_panel.reset();
        unsetenv("FAKE_V4L2");
        TempDatabaseTest::TearDown();
    }
    // Nodes named "videoN" with the emulator's settings for each.
    void Devices(const std::vector<std::pair<int, std::string>>& nodes)
    {
        std::string config;
        for (const auto& [n, settings] : nodes) {
            Plug(n);
            config += "path=" + Node(n) + "," + settings + ";";
        }
        setenv("FAKE_V4L2", config.c_str(), 1);
    }
    std::string Node(int n) const { return m_devices + "/video" + std::to_string(n); }
    void Plug(int n)
    {
        std::ofstream(Node(n)).put('\0');
        std::filesystem::remove(Node(n) + ".unplugged");
    }
    void Unplug(int n)
    {
        std::ofstream(Node(n) + ".unplugged").put('\0');
        std::filesystem::remove(Node(n));
    }
    void Stall(int n, bool stalled)
    {
        if (stalled)
            std::ofstream(Node(n) + ".stalled").put('\0');
        else
            std::filesystem::remove(Node(n) + ".stalled");
    }
    std::vector<std::string> Paths()
    {
        WaitForRows();
        return Column(ExecuteCommand("select * from video_save_history order by rowid"), "video_save_path");
    }
    bool Live() const
    {
        const CCaptureGraph* graph = m_panel->Capture().Control();
        return graph != nullptr && graph->IsRunning() && !m_panel->IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL);
    }
    std::string m_devices;
    std::unique_ptr<CCameraDlg> m_panel;
};

TEST_F(V4l2CaptureTest, CaptureNodesAreFoundInNodeOrderWithoutMetadataNodes)
{
    Devices({{10, "format=yuyv,name=Desk"}, {0, "format=yuyv,name=Door"}, {1, "meta=1,name=Door"},
             {2, "format=mjpeg,name=Till"}});
    std::ofstream(m_devices + "/video-other").put('\0');
    const std::vector<V4l2Device> found = EnumerateV4l2Devices();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].node, Node(0));
    EXPECT_EQ(found[0].name, "Door");
    EXPECT_EQ(found[1].node, Node(2));
    EXPECT_EQ(found[2].node, Node(10)) << "10 after 2: by number, not by text";
    EXPECT_EQ(EnumerateCaptureDevices()[1], (CaptureDeviceEntry{"v4l2", Node(2), {}}));
}

// YUYV at 15 and MJPEG at 30 pictures a second both record 25 pictures to
// every second they covered.
TEST_F(V4l2CaptureTest, YuyvAndMjpegCamerasRecordWithWallClockTime)
{
    for (const char* settings : {"format=yuyv,size=320x240,rate=15", "format=mjpeg,size=320x240,rate=30"}) {
        Devices({{0, settings}});
        m_panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
        Pump(4000);
        ASSERT_TRUE(Live()) << settings;
        const double rate = std::string(settings).find("rate=15") != std::string::npos ? 15 : 30;
        const double covered = static_cast<double>(m_panel->Capture().Control()->FramesDelivered()) / rate;
        const std::string path = m_panel->Capture().Control()->Renderer().Encoder().CurrentPath();
        m_panel->StopCapture();
        m_panel->Capture().ReleaseGraph();
        const DecodedFile file = DecodeMpeg1File(path);
        EXPECT_GT(covered, 2.5) << settings;
        EXPECT_NEAR(file.pictures.size() / 25.0, covered, 0.12) << settings;
        Pump(1100);  // the next file gets the next second's name
    }
}

TEST_F(V4l2CaptureTest, AnUnpluggedCameraEndsItsFileAndPluggedBackStartsANewOne)
{
    Devices({{0, "format=yuyv,size=320x240,rate=25"}});
    m_panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(2500);
    ASSERT_TRUE(Live());
    Unplug(0);
    Pump(2500);
    EXPECT_TRUE(m_panel->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << "retrying";
    EXPECT_EQ(m_panel->Capture().Control(), nullptr) << "the node is gone from the list";
    const auto first = Paths();
    ASSERT_EQ(first.size(), 1u);
    const auto bytes = ReadBytes(first[0]);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<std::uint8_t>{0, 0, 1, 0xB7}));
    Plug(0);
    Pump(2500);
    EXPECT_TRUE(Live()) << "back";
    m_panel->Capture().ReleaseGraph();
    const auto paths = Paths();
    ASSERT_EQ(paths.size(), 2u) << "a new file with its row";
    EXPECT_GE(DecodeMpeg1File(paths[1]).pictures.size(), 25u);
}

TEST_F(V4l2CaptureTest, AStallIsALostDeviceAfterFiveSecondsAndAStopNeverWaits)
{
    Devices({{0, "format=mjpeg,size=320x240,rate=25"}});
    m_panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, 0);
    Pump(2000);
    ASSERT_TRUE(Live());
    Stall(0, true);
    Pump(3000);
    EXPECT_TRUE(m_panel->Capture().Control()->IsRunning()) << "a short stall is not a loss";
    Pump(3000);
    EXPECT_TRUE(m_panel->IsTimerActive(CCameraDlg::TIMER_NO_SIGNAL)) << "lost after 5 s without a picture";
    Stall(0, false);
    Pump(2500);
    EXPECT_TRUE(Live()) << "and retried";

    Stall(0, true);
    Pump(500);
    QElapsedTimer clock;
    clock.start();
    m_panel->StopCapture();
    m_panel->Capture().ReleaseGraph();
    EXPECT_LT(clock.elapsed(), 500) << "a stop while the read waits returns at once";
}

}  // namespace
