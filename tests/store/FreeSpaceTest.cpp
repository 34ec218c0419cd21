// The free space kept on the recording folder's file system.
#include "FreeSpace.h"

#include "OpenRecordings.h"
#include "Settings.h"
#include "TempDatabase.h"

#include <algorithm>
#include <filesystem>

namespace {

TEST(FreeSpaceSetting, EmptyIsAutomaticZeroIsOffNumbersAreMiB)
{
    EXPECT_EQ(ParseMinFreeSpaceMb(""), std::nullopt);
    EXPECT_EQ(ParseMinFreeSpaceMb("abc"), std::nullopt);
    EXPECT_EQ(ParseMinFreeSpaceMb("-5"), std::nullopt);
    EXPECT_EQ(ParseMinFreeSpaceMb("0"), 0u);
    EXPECT_EQ(ParseMinFreeSpaceMb(" 512"), 512u);
    EXPECT_EQ(ParseMinFreeSpaceMb("99999999999999999999999"), UINT64_MAX / kMiB / 10) << "saturates";
    const std::uint64_t GiB = 1024 * kMiB;
    EXPECT_EQ(MinFreeBytes("", 10 * GiB), 10 * GiB / 20) << "5 % of a small disk";
    EXPECT_EQ(MinFreeBytes("", 1000 * GiB), 4096 * kMiB) << "at most 4 GiB";
    EXPECT_EQ(MinFreeBytes("0", 1000 * GiB), 0u);
    EXPECT_EQ(MinFreeBytes("100", 1000 * GiB), 100 * kMiB);
}

// A disk of `capacity` bytes holding the files of the folder.
class FreeSpaceTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        m_root = m_dir + "/rec";
        std::filesystem::create_directory(m_root);
    }
    std::string Recording(int camera, const std::string& start, std::size_t mib)
    {
        std::string name = start;
        name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
        const std::string path = m_root + "/dv(" + std::to_string(camera) + ")-" + name + ".mpg";
        WriteFile(path, std::string(mib * kMiB, 'v'));
        AddRow(camera, path, start);
        return path;
    }
    SpaceProbe Disk(std::uint64_t capacityMib) const
    {
        return [this, capacityMib](const std::string&) -> std::optional<SpaceInfo> {
            std::uint64_t used = 0;
            for (const auto& entry : std::filesystem::directory_iterator(m_root))
                used += entry.file_size();
            return SpaceInfo{capacityMib * kMiB - std::min(used, capacityMib * kMiB), capacityMib * kMiB};
        };
    }
    int Sweep(const std::string& setting, std::uint64_t capacityMib)
    {
        testing::internal::CaptureStdout();
        const int deleted = RunFreeSpaceSweep(m_root, setting, Disk(capacityMib));
        m_out = testing::internal::GetCapturedStdout();
        return deleted;
    }
    std::string m_root;
    std::string m_out;
};

TEST_F(FreeSpaceTest, TheOldestRecordingsGoUntilTheSpaceIsBackButNeverOneBeingWritten)
{
    const std::string open = Recording(1, "2009-10-01 08:00:00", 2);
    const std::string oldest = Recording(2, "2009-10-02 08:00:00", 2);
    const std::string older = Recording(1, "2009-10-03 08:00:00", 2);
    const std::string newer = Recording(3, "2009-10-04 08:00:00", 2);
    AddRow(1, m_dir + "/elsewhere/dv(1)-2009-01-01 080000.mpg", "2009-01-01 08:00:00");
    AddOpenRecording(open);
    EXPECT_EQ(Sweep("6", 11), 2) << m_out;  // 8 of 11 used: two files make 6 free
    EXPECT_FALSE(Exists(oldest));
    EXPECT_FALSE(Exists(older));
    EXPECT_TRUE(Exists(open));
    EXPECT_TRUE(Exists(newer));
    EXPECT_NE(m_out.find("deleted the oldest recording '" + oldest + "'"), std::string::npos) << m_out;
    EXPECT_EQ(std::stoi(ScalarText("select count(*) as n from video_save_history")), 3) << "rows of other disks stay";

    EXPECT_EQ(Sweep("6", 11), 0) << "enough free space: nothing to do";
    EXPECT_EQ(Sweep("0", 5), 0) << "the check is off";
    EXPECT_EQ(Sweep("10", 11), 1);
    EXPECT_FALSE(Exists(newer));
    EXPECT_NE(m_out.find("only recordings being written are left"), std::string::npos) << m_out;
    EXPECT_EQ(Sweep("10", 11), 0);
    EXPECT_EQ(m_out.find("only recordings being written"), std::string::npos) << "said once";
    EXPECT_TRUE(Exists(open));
    RemoveOpenRecording(open);
}

TEST_F(FreeSpaceTest, AWriteThatFindsTheDiskFullAsksForASweep)
{
    EXPECT_FALSE(TakeFreeSpaceRequest());
    RequestFreeSpace();
    EXPECT_TRUE(TakeFreeSpaceRequest());
    EXPECT_FALSE(TakeFreeSpaceRequest()) << "taken once";
}

}  // namespace
