// The disk a recording folder lies on: the mount read from the system's
// table, and what a folder on another mount than its own means.
#include "RecordingDisk.h"
#include "Settings.h"
#include "TempDatabase.h"

#include <filesystem>

namespace {

const char kMountinfo[] =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 22 0:26 / /media/shop rw shared:2 - tmpfs tmpfs rw\n"
    "41 30 8:17 / /media/shop/disk rw,nosuid shared:3 - ext4 /dev/sdb1 rw\n"
    "42 30 8:33 / /media/shop/disk\\040two rw shared:4 - vfat /dev/sdc1 rw\n"
    "43 22 0:40 / /srv/nas rw - cifs //nas/video rw\n"
    "44 22 0:41 / /srv/nas rw - cifs //nas2/video rw\n";

TEST(RecordingDisk, TheMountOfAPathIsTheDeepestOneThatHoldsIt)
{
    const struct {
        const char* path;
        const char* mountPoint;
        const char* source;
    } cases[] = {
        {"/home/shop/rec", "/", "/dev/sda1"},
        {"/media/shop/disk/rec", "/media/shop/disk", "/dev/sdb1"},
        {"/media/shop/diskette/rec", "/media/shop", "tmpfs"},  // a name that only begins like a mount point
        {"/media/shop/disk two/rec", "/media/shop/disk two", "/dev/sdc1"},
        {"/media/shop/disk", "/media/shop/disk", "/dev/sdb1"},
        {"/srv/nas/cam", "/srv/nas", "//nas2/video"},  // the later mount over the same place
    };
    for (const auto& c : cases) {
        const auto mount = MountOfPath(c.path, kMountinfo);
        ASSERT_TRUE(mount) << c.path;
        EXPECT_EQ(mount->mountPoint, c.mountPoint) << c.path;
        EXPECT_EQ(mount->source, c.source) << c.path;
    }
    EXPECT_FALSE(MountOfPath("relative/path", kMountinfo));
}

class RecordingFolderTest : public TempDatabaseTest {};

// The folder's own mount is its disk; on the mount above it (its disk not
// mounted) it is out of reach; a mount below it that the folder now lies
// on becomes its disk.
TEST_F(RecordingFolderTest, AFolderOnAMountAboveItsOwnIsOnAnotherDisk)
{
    const std::string root = m_dir + "/rec";
    const std::string here = MountOf(m_dir)->mountPoint;
    const struct {
        const char* what;
        bool made;
        std::string expected;  // remembered mount
        FolderState state;
    } cases[] = {
        {"never set", false, "", FolderState::kNotSet},
        {"no disk remembered, not there", false, "", FolderState::kMissing},
        {"on its own disk", true, here, FolderState::kReady},
        {"its disk's place is on the disk above it", true, m_dir + "/rec", FolderState::kOtherDisk},
        {"not there, its disk not mounted either", false, m_dir + "/rec", FolderState::kOtherDisk},
        {"on a disk below the one remembered", true, "/", FolderState::kReady},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(root);
        if (c.made)
            std::filesystem::create_directory(root);
        const std::string folder = std::string(c.what) == "never set" ? std::string() : root;
        ExpectFolderMount(folder, c.expected);
        EXPECT_EQ(CheckRecordingFolder(folder), c.state) << c.what;
    }
    EXPECT_EQ(ExpectedFolderMount(root), here) << "the deeper mount is its disk now";

    WriteSetting(kKeyVideoRootMount, "/nowhere/else");  // stored for another folder
    EXPECT_EQ(RememberFolderMount(root), here);
    EXPECT_EQ(ReadSetting(kKeyVideoRootMount), here);
}

}  // namespace
