// The real program with a database it cannot write: the cameras record all
// the same, and the user is told why and what to do.
#include "ProgramRun.h"
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <thread>

namespace {

class DatabaseTroubleTest : public TempDatabaseTest {
protected:
    void TearDown() override
    {
        if (m_mounted)
            ::umount2((m_dir + "/db").c_str(), MNT_DETACH);
        TempDatabaseTest::TearDown();
    }
    bool m_mounted = false;
};

TEST_F(DatabaseTroubleTest, ADatabaseThatCannotBeWrittenStopsNoCamera)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    ExecuteCommand("PRAGMA wal_checkpoint(TRUNCATE)");  // the whole database in its file
    std::stringstream database;
    database << std::ifstream("db/dbvardo.db", std::ios::binary).rdbuf();
    const std::string db = m_dir + "/db";
    m_mounted = ::mount("tmpfs", db.c_str(), "tmpfs", 0, "size=4m") == 0;
    if (!m_mounted)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    std::ofstream(db + "/dbvardo.db", std::ios::binary) << database.str();
    if (::mount("tmpfs", db.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4m") != 0)
        GTEST_SKIP() << "this machine does not allow making the tmpfs read-only";

    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25", m_dir + "/out.log", {},
                                     m_dir + "/err.log");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    std::stringstream out;
    out << std::ifstream(m_dir + "/err.log").rdbuf();
    EXPECT_NE(out.str().find("the cameras record, their rows wait for a later start"), std::string::npos) << out.str();
    std::vector<std::string> recordings;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        if (entry.path().extension() == ".mpg")
            recordings.push_back(entry.path().string());
    ASSERT_EQ(recordings.size(), 1u) << out.str();
    EXPECT_GE(DecodeMpeg1File(recordings[0]).pictures.size(), 75u) << "recorded although no row could be written";
}

}  // namespace
