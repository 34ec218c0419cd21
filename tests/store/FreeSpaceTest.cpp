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

TEST_F(FreeSpaceTest, TheOldestRecordingsGoUntilReserveAndHeadroomAreFreeButNeverOneBeingWritten)
{
    struct Case {
        const char* setting;
        std::uint64_t capacityMib;
        std::uint64_t headroomMib;
        bool newerOpen;   // besides the oldest file, which is always being written
        int deleted;
        const char* said;  // a line the sweep prints, if any
    };
    // Four files of 2 MiB: one being written, then the oldest, older and newer.
    const Case cases[] = {
        {"6", 14, 0, false, 0, nullptr},  // enough free space
        {"6", 13, 0, false, 1, "deleted the oldest recording"},
        {"5", 14, 4, false, 1, nullptr},  // the headroom too
        {"5", 12, 4, false, 1, nullptr},  // reserve and headroom are at most half the disk
        {"5", 11, 4, false, 2, "deleted the oldest recording"},
        {"0", 8, 4, false, 0, nullptr},  // the check is off
        {"7", 14, 0, false, 0, "is not below half of the disk"},
        {"2", 5, 0, true, 2, "only recordings being written are left"},
    };
    AddRow(1, m_dir + "/elsewhere/dv(1)-2009-01-01 080000.mpg", "2009-01-01 08:00:00");
    for (const Case& c : cases) {
        const std::string open = Recording(1, "2009-10-01 08:00:00", 2);
        const std::string oldest = Recording(2, "2009-10-02 08:00:00", 2);
        const std::string older = Recording(1, "2009-10-03 08:00:00", 2);
        const std::string newer = Recording(3, "2009-10-04 08:00:00", 2);
        AddOpenRecording(open);
        if (c.newerOpen)
            AddOpenRecording(newer);
        testing::internal::CaptureStdout();
        const int deleted = RunFreeSpaceSweep(m_root, c.setting, Disk(c.capacityMib), c.headroomMib * kMiB);
        m_out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(deleted, c.deleted) << c.setting << " of " << c.capacityMib << "\n" << m_out;
        EXPECT_EQ(Exists(oldest), c.deleted < 1) << c.setting << " of " << c.capacityMib;
        EXPECT_EQ(Exists(older), c.deleted < 2) << c.setting << " of " << c.capacityMib;
        EXPECT_TRUE(Exists(open) && Exists(newer));
        if (c.said != nullptr) {
            EXPECT_NE(m_out.find(c.said), std::string::npos) << c.setting << "\n" << m_out;
        }
        RemoveOpenRecording(open);
        RemoveOpenRecording(newer);
        for (const auto& entry : std::filesystem::directory_iterator(m_root))
            std::filesystem::remove(entry.path());
        ExecuteCommand("delete from video_save_history where video_save_path like '" + m_root + "/%'");
    }
    EXPECT_EQ(ScalarText("select count(*) as n from video_save_history"), "1") << "rows of other disks stay";
}

TEST_F(FreeSpaceTest, AWriteThatFindsTheDiskFullAsksForASweep)
{
    EXPECT_FALSE(TakeFreeSpaceRequest());
    RequestFreeSpace();
    EXPECT_TRUE(TakeFreeSpaceRequest());
    EXPECT_FALSE(TakeFreeSpaceRequest()) << "taken once";
}

}  // namespace
