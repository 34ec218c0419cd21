// The whole program stopped by SIGTERM or SIGINT: every camera's recording
// ends properly and has its history row.
#include "ProgramRun.h"
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <thread>
#include <unistd.h>

class ExitSignalTest : public TempDatabaseTest, public testing::WithParamInterface<int> {};

TEST_P(ExitSignalTest, EveryRecordingEndsWithTheSequenceEndCode)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    const pid_t child =
        StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25;lavfi:smptebars=size=320x240:rate=25");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(StopProgram(child, GetParam()), 0) << "ended by the handler, not by the signal itself";

    const auto paths = Column(ExecuteCommand("select * from video_save_history order by capdrive"), "video_save_path");
    ASSERT_EQ(paths.size(), 2u);
    for (const auto& path : paths) {
        const auto bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 4u) << path;
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()),
                  (std::vector<std::uint8_t>{0, 0, 1, 0xB7})) << path;
        EXPECT_GE(DecodeMpeg1File(path).pictures.size(), 25u) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, ExitSignalTest, testing::Values(SIGTERM, SIGINT, SIGHUP));

// Without a recording folder the start-up waits on its message; a signal
// there ends the program instead of going on to the settings dialog.
TEST_P(ExitSignalTest, ASignalDuringTheStartUpMessageEndsTheProgramAtOnce)
{
    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(StopProgram(child, GetParam(), 5000), 0) << "ended at once, with exit code 0";
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path").size(), 0u);
}
