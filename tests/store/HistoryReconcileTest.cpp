// The history brought in line with the recording folder at start-up.
#include "HistoryReconcile.h"

#include "TempDatabase.h"

#include <cstdlib>
#include <filesystem>

namespace {

TEST(RecordingName, OnlyNamesTheProgramMakesAreRead)
{
    setenv("TZ", "UTC0", 1), tzset();
    int camera = 0;
    TimeValue start = 0;
    for (const char* name : {"dv(2)-2009-11-01 083005.mpg", "dv(2)-2009-11-01 083005.ts"}) {
        ASSERT_TRUE(ParseRecordingName(name, &camera, &start)) << name;
        EXPECT_EQ(camera, 2);
        EXPECT_EQ(start, 1257064205);
    }
    for (const char* bad : {"dv(0)-2009-11-01 083005.mpg", "dv(5)-2009-11-01 083005.mpg", "dv(2)-2009-02-30 083005.mpg",
                            "dv(2)-2009-11-01 246000.mpg", "dv(2)-2009-11-01 083005.mp4", "dv(2)-2009-11-01 083005.mpg~",
                            "dv(2)-2009-11-01_083005.mpg", "dv(x)-2009-11-01 083005.mpg", "", "dv(2)-", ".ts",
                            "dv(2)-2009-11-01 083005.ts.mpg", "dv(2)-2009-11-01 083005.tsx", "dv(2)-2009-02-30 083005.ts"})
        EXPECT_FALSE(ParseRecordingName(bad, &camera, &start)) << bad;
    unsetenv("TZ"), tzset();
}

class HistoryReconcileTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        m_root = m_dir + "/rec";
        std::filesystem::create_directory(m_root);
    }
    std::vector<std::string> Paths() const
    {
        return Column(ExecuteCommand("select * from video_save_history order by video_save_path"), "video_save_path");
    }
    std::string m_root;
};

TEST_F(HistoryReconcileTest, FilesGetTheirRowsAndRowsOfGoneFilesGo)
{
    const std::string kept = m_root + "/dv(1)-2009-11-01 080000.mpg";
    const std::string unlisted = m_root + "/dv(3)-2009-11-02 101500.mpg";
    const std::string gone = m_root + "/dv(2)-2009-10-01 080000.mpg";
    const std::string elsewhere = m_dir + "/old/dv(1)-2009-10-01 080000.mpg";
    const std::string unlistedTs = m_root + "/dv(4)-2009-11-02 101500.ts";
    const std::string mpeg("\0\0\1\xb3 and the rest", 17);  // begins as every recording does
    std::string transport(400, '\xff');  // transport packets: a sync byte every 188
    transport[0] = transport[188] = transport[376] = 0x47;
    WriteFile(kept, mpeg);
    WriteFile(unlisted, mpeg);
    WriteFile(unlistedTs, transport);
    // Of one format by name and the other by content: none.
    WriteFile(m_root + "/dv(4)-2009-11-06 080000.ts", mpeg);
    WriteFile(m_root + "/dv(4)-2009-11-07 080000.mpg", transport);
    WriteFile(m_root + "/notes.txt", mpeg);
    // Named like recordings, but none: a link, a file of other bytes, a folder.
    WriteFile(m_dir + "/elsewhere.mpg", mpeg);
    std::filesystem::create_symlink(m_dir + "/elsewhere.mpg", m_root + "/dv(1)-2009-11-03 080000.mpg");
    WriteFile(m_root + "/dv(1)-2009-11-04 080000.mpg", "a text file");
    std::filesystem::create_directory(m_root + "/dv(1)-2009-11-05 080000.mpg");
    AddRow(1, kept, "2009-11-01 08:00:00");
    AddRow(2, gone, "2009-10-01 08:00:00");
    AddRow(1, elsewhere, "2009-10-01 08:00:00");
    testing::internal::CaptureStdout();
    const ReconcileCounts counts = ReconcileHistory(m_root);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(counts.added, 2);
    EXPECT_EQ(counts.removed, 1);
    EXPECT_EQ(Paths(), (std::vector<std::string>{elsewhere, kept, unlisted, unlistedTs})) << "rows outside the folder stay";
    EXPECT_NE(out.find("lumaro: recording '" + unlisted + "' had no history row; row added\n"), std::string::npos) << out;
    EXPECT_NE(out.find("lumaro: history row of '" + gone + "' removed: its file is gone\n"), std::string::npos) << out;
    const std::string added = "select * from video_save_history where video_save_path='" + unlisted + "'";
    EXPECT_EQ(Column(ExecuteCommand(added), "capdrive"), std::vector<std::string>{"3"});
    EXPECT_EQ(Column(ExecuteCommand(added), "start_time"), std::vector<std::string>{"2009-11-02 10:15:00"});

    testing::internal::CaptureStdout();
    const ReconcileCounts again = ReconcileHistory(m_root);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(again.added + again.removed, 0) << "a second start changes nothing";
}

TEST_F(HistoryReconcileTest, AMissingFolderLeavesEveryRowAlone)
{
    AddRow(1, m_root + "/dv(1)-2009-11-01 080000.mpg", "2009-11-01 08:00:00");
    std::filesystem::remove_all(m_root);
    testing::internal::CaptureStdout();
    const ReconcileCounts counts = ReconcileHistory(m_root);
    const ReconcileCounts none = ReconcileHistory("");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(counts.added + counts.removed + none.added + none.removed, 0);
    EXPECT_EQ(Paths().size(), 1u);
}

}  // namespace
