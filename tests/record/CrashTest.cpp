// A recording process killed mid-stream leaves every picture written so far.
#include "Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using CrashTest = TempDatabaseTest;

int ReadCount(const std::string& path)
{
    int n = 0;
    std::ifstream(path) >> n;
    return n;
}

TEST_F(CrashTest, SigkillLeavesADecodableFileWithItsRow)
{
    const std::string progress = m_dir + "/progress";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(RECORD_CHILD, RECORD_CHILD, m_dir.c_str(), progress.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && ReadCount(progress) < 75; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const int encoded = ReadCount(progress);
    ASSERT_GE(encoded, 75);

    const auto paths = Column(ExecuteCommand("select * from video_save_history"), "video_save_path");
    ASSERT_EQ(paths.size(), 1u);
    const DecodedFile file = DecodeMpeg1File(paths[0]);
    // At most the picture held back for reordering and the one in flight are missing.
    EXPECT_GE(static_cast<int>(file.pictures.size()), encoded - 2);
    EXPECT_LE(static_cast<int>(file.pictures.size()), encoded + 1);
}

}  // namespace
