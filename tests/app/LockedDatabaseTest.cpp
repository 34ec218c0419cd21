// The real program while another program holds the database locked: no
// camera waits for it, and afterwards every recording file has one row.
#include "ProgramRun.h"
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <thread>

namespace {

using LockedDatabaseTest = TempDatabaseTest;

TEST_F(LockedDatabaseTest, CamerasNeverWaitAndEveryFileGetsExactlyOneRow)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25;"
                                            "lavfi:testsrc2=size=320x240:rate=25:duration=2");  // reconnects
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(kDatabaseFile, &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::this_thread::sleep_for(std::chrono::seconds(12));
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::map<std::string, int> rows;
    for (const std::string& path : Column(ExecuteCommand("select * from video_save_history"), "video_save_path"))
        ++rows[path];
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        if (entry.path().extension() != ".mpg")
            continue;  // the folder's lock
        ++files;
        EXPECT_EQ(rows[entry.path().string()], 1) << entry.path();
    }
    EXPECT_GE(files, 4) << "the second camera came back several times during the lock";
    EXPECT_EQ(static_cast<int>(rows.size()), files);
    const auto steady = Column(ExecuteCommand("select * from video_save_history where capdrive=1"), "video_save_path");
    ASSERT_EQ(steady.size(), 1u);
    EXPECT_GE(static_cast<double>(DecodeMpeg1File(steady[0]).pictures.size()), 0.9 * 25 * (seconds - 2))
        << "no picture lost to the lock";
}

}  // namespace
