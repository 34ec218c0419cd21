// The whole program stopped by SIGTERM or SIGINT: every camera's recording
// ends properly and has its history row.
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

class ExitSignalTest : public TempDatabaseTest, public testing::WithParamInterface<int> {};

TEST_P(ExitSignalTest, EveryRecordingEndsWithTheSequenceEndCode)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
        setenv("LUMARO_CAPTURE_DEVICES", "lavfi:testsrc2=size=320x240:rate=25;lavfi:smptebars=size=320x240:rate=25", 1);
        execl(LUMARO_BINARY, LUMARO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    ASSERT_EQ(kill(child, GetParam()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
    EXPECT_EQ(WEXITSTATUS(status), 0);

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
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
        setenv("LUMARO_CAPTURE_DEVICES", "lavfi:testsrc2=size=320x240:rate=25", 1);
        execl(LUMARO_BINARY, LUMARO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(kill(child, GetParam()), 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 50 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = waitpid(child, &status, WNOHANG);
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "still running 5 s after the signal";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path").size(), 0u);
}
