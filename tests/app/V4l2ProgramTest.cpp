// The real program with USB cameras as the emulated V4L2 devices present
// them: found in node order (the metadata node left out), recorded with
// wall-clock time whatever their rate, each file ended properly.
#include "ProgramRun.h"
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using V4l2ProgramTest = TempDatabaseTest;

TEST_F(V4l2ProgramTest, TwoUsbCamerasAtTheirOwnRatesRecordWithWallClockTime)
{
    const std::string root = m_dir + "/rec", nodes = m_dir + "/dev";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(nodes);
    for (const char* node : {"video0", "video1", "video2"})
        std::ofstream(nodes + "/" + node).put('\0');
    WriteSetting(kKeyVideoRootPath, root);
    const std::string fake = "path=" + nodes + "/video0,format=yuyv,rate=15;path=" + nodes + "/video1,meta=1;path=" +
                             nodes + "/video2,format=mjpeg,rate=30";
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = StartProgram(m_dir, "", {},
                                     {{"LD_PRELOAD", FAKE_V4L2_LIBRARY}, {"FAKE_V4L2", fake}, {"LUMARO_V4L2_DIR", nodes}});
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const auto paths = Column(ExecuteCommand("select * from video_save_history order by capdrive"), "video_save_path");
    ASSERT_EQ(paths.size(), 2u) << "video0 and video2; video1 is a metadata node";
    EXPECT_NE(paths[0].find("/dv(1)-"), std::string::npos);
    EXPECT_NE(paths[1].find("/dv(2)-"), std::string::npos);
    for (const std::string& path : paths) {
        const auto bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes.back(), 0xB7) << path;
        const double played = DecodeMpeg1File(path).pictures.size() / 25.0;
        EXPECT_GT(played, ran - 3.0) << path << ": the cameras start a second after the window";
        EXPECT_LT(played, ran) << path << ": no more than it ran";
    }
}

}  // namespace
