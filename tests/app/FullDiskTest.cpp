// The real program on a small file system that fills up: the oldest
// recordings make room and the camera goes on recording by itself.
#include "ProgramRun.h"
#include "Settings.h"
#include "ShellOutput.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <thread>

namespace {

class FullDiskTest : public TempDatabaseTest {
protected:
    void TearDown() override
    {
        if (m_mounted)
            ::umount2(m_root.c_str(), MNT_DETACH);
        TempDatabaseTest::TearDown();
    }
    std::string m_root;
    bool m_mounted = false;
};

TEST_F(FullDiskTest, TheOldestRecordingsMakeRoomAndRecordingResumes)
{
    m_root = m_dir + "/rec";
    std::filesystem::create_directory(m_root);
    m_mounted = ::mount("tmpfs", m_root.c_str(), "tmpfs", 0, "size=8m") == 0;
    if (!m_mounted)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    WriteSetting(kKeyVideoRootPath, m_root);
    WriteSetting(kKeyMinFreeSpaceMb, "3");
    std::vector<std::string> old;
    // Three old recordings fill the disk but for a few kilobytes; the oldest
    // alone frees more than the reserve and the seconds of writing after it.
    const std::size_t sizes[] = {5 * 1024 * 1024, 1024 * 1024, 2 * 1024 * 1024 - 96 * 1024};
    for (int day = 1; day <= 3; ++day) {
        old.push_back(m_root + "/dv(2)-2009-10-0" + std::to_string(day) + " 080000.mpg");
        const std::size_t size = sizes[day - 1];
        WriteFile(old.back(), std::string(size, 'v'));
        AddRow(2, old.back(), "2009-10-0" + std::to_string(day) + " 08:00:00");
    }
    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25", m_dir + "/stdout.log");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    std::ifstream log(m_dir + "/stdout.log");
    std::stringstream out;
    out << log.rdbuf();

    EXPECT_FALSE(Exists(old[0])) << out.str();
    EXPECT_NE(out.str().find("deleted the oldest recording '" + old[0] + "'"), std::string::npos);
    EXPECT_TRUE(Exists(old[1]) && Exists(old[2])) << "only as many as the space needs\n" << out.str();
    const auto paths = Column(ExecuteCommand("select * from video_save_history where capdrive=1"), "video_save_path");
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_GE(DecodeMpeg1File(paths[0]).pictures.size(), 75u) << "the camera recorded on after the disk filled";
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history where capdrive=2"), "video_save_path").size(),
              old.size() - 1);
}

// The disk fills again and again while a camera records, and no reserve
// makes room: each time the file ends with its last whole picture and the
// camera goes on in a new file once there is room.
TEST_F(FullDiskTest, EveryFileDecodesWithoutAnErrorAfterManyDiskFullMoments)
{
    m_root = m_dir + "/rec";
    std::filesystem::create_directory(m_root);
    m_mounted = ::mount("tmpfs", m_root.c_str(), "tmpfs", 0, "size=6m") == 0;
    if (!m_mounted)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    WriteSetting(kKeyVideoRootPath, m_root);
    WriteSetting(kKeyMinFreeSpaceMb, "0");  // nothing is deleted: the disk stays full until the test makes room
    const std::string filler = m_root + "/filler";
    const auto available = [this] { return std::filesystem::space(m_root).available; };
    WriteFile(filler, std::string(available() - 200 * 1024, 'f'));
    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=640x480:rate=25", m_dir + "/stdout.log");
    ASSERT_GT(child, 0);
    for (int moment = 0; moment < 6; ++moment) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the camera meets the full disk
        const std::uintmax_t size = std::filesystem::file_size(filler);
        std::filesystem::resize_file(filler, size > 400 * 1024 ? size - 400 * 1024 : 0);  // room for a while
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        std::ofstream(filler + std::to_string(moment)) << std::string(available() - 30 * 1024, 'g');
    }
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    int recordings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_root)) {
        if (entry.path().extension() != ".mpg")
            continue;
        ++recordings;
        const std::string errors = ShellOutput("ffmpeg -v error -i '" + entry.path().string() + "' -f null -");
        EXPECT_EQ(errors, "") << entry.path();
    }
    EXPECT_GE(recordings, 4) << "a new file after each full moment";
}

}  // namespace
