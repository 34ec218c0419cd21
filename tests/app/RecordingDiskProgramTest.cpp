// The recording folder on a disk of its own, through the real program: an
// ext4 image loop-mounted under the test's folder, mounted late, unmounted
// while recording and mounted again; made to fail (its image lies on a
// tmpfs that fills up, so the disk answers with input/output errors); and a
// recording on it that cannot be deleted. Needs root and loop devices, and
// skips, saying so, without them.
#include "FreeSpace.h"
#include "HistoryReconcile.h"
#include "ProgramRun.h"
#include "RecordingDisk.h"
#include "RetentionSweep.h"
#include "Settings.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

bool Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> RecordingsIn(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".mpg")
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    for (auto waited = 0ms; waited < limit; waited += 100ms) {
        if (done())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return done();
}

class RecordingDiskProgramTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "loop-mounting a disk needs root";
        m_image = m_dir + "/disk.img";
        m_disk = m_dir + "/disk";
        m_root = m_disk + "/rec";
        std::filesystem::create_directory(m_disk);
        if (!Shell("truncate -s 96M '" + m_image + "' && mkfs.ext4 -q '" + m_image + "'") || !Mount())
            GTEST_SKIP() << "no loop device or ext4 here: the disk tests need them";
        std::filesystem::create_directory(m_root);
        WriteSetting(kKeyVideoRootPath, m_root);
        WriteSetting(kKeyVideoRootMount, m_disk);  // remembered from an earlier run
    }
    void TearDown() override
    {
        if (m_child > 0)
            StopProgram(m_child, SIGKILL);
        Shell("chattr -R -i '" + m_disk + "'");
        for (int i = 0; i < 3 && Shell("umount '" + m_disk + "'"); ++i) {
        }
        if (!m_backing.empty())
            Shell("umount -l '" + m_backing + "'");
        TempDatabaseTest::TearDown();
    }
    bool Mount() { return Shell("mount -o loop '" + m_image + "' '" + m_disk + "'"); }
    bool Unmount() { return Shell("umount -l '" + m_disk + "'"); }
    std::string Errors() { return ReadAll(m_dir + "/stderr.log"); }
    void Start(const std::string& size = "320x240")
    {
        m_child = StartProgram(m_dir, "lavfi:testsrc2=size=" + size + ":rate=25", m_dir + "/stdout.log", {},
                               m_dir + "/stderr.log");
        ASSERT_GT(m_child, 0);
    }
    int Stop()
    {
        const int status = StopProgram(m_child, SIGTERM);
        m_child = -1;
        return status;
    }

    std::string m_image, m_disk, m_root, m_backing;
    pid_t m_child = -1;
};

// Late, gone and back: nothing is recorded on the system disk under the
// place the disk is mounted on, recording begins within seconds of the disk
// coming, each time, and no row is lost.
TEST_F(RecordingDiskProgramTest, ADiskMountedLateUnmountedAndBackIsRecordedOnOnlyWhileItIsThere)
{
    ASSERT_TRUE(Unmount());
    std::this_thread::sleep_for(300ms);
    Start();
    std::this_thread::sleep_for(3s);
    EXPECT_TRUE(std::filesystem::is_empty(m_disk)) << "nothing on the system disk";
    EXPECT_NE(Errors().find("the disk of recording folder '" + m_root + "' is not mounted on " + m_disk),
              std::string::npos) << Errors();

    ASSERT_TRUE(Mount());
    EXPECT_TRUE(WaitUntil([&] { return RecordingsIn(m_root).size() == 1; }, 5s)) << "recorded within 5 s of the disk";
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(Unmount());
    std::filesystem::create_directory(m_root);  // a folder of that name on the system disk meanwhile
    EXPECT_TRUE(WaitUntil([&] { return Errors().find("is out of reach") != std::string::npos; }, 5s)) << Errors();
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(RecordingsIn(m_root).empty()) << "not onto the system disk under the disk's place";
    std::filesystem::remove(m_root);

    ASSERT_TRUE(Mount());
    EXPECT_TRUE(WaitUntil([&] { return RecordingsIn(m_root).size() == 2; }, 5s)) << "again within 5 s";
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Stop(), 0);
    WaitForRows();
    const auto files = RecordingsIn(m_root);
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history order by start_time"), "video_save_path"), files);
    for (const std::string& file : files)
        EXPECT_EQ(DecodeMpeg1File(file).errors, 0) << file;
}

// A disk that fails (its writes answered with input/output errors) is no
// full disk: the camera says the disk fails, and records again once the
// disk is back.
TEST_F(RecordingDiskProgramTest, AFailingDiskIsToldAsFailingAndRecordedOnAgainWhenItIsBack)
{
    // The disk again, on an image that lives on a tmpfs with room for a few seconds of recording.
    ASSERT_TRUE(Unmount());
    m_backing = m_dir + "/backing";
    std::filesystem::create_directory(m_backing);
    ASSERT_TRUE(Shell("mount -t tmpfs -o size=12m tmpfs '" + m_backing + "'"));
    m_image = m_backing + "/disk.img";
    ASSERT_TRUE(Shell("truncate -s 96M '" + m_image + "' && mkfs.ext4 -q '" + m_image + "'") && Mount());
    std::filesystem::create_directory(m_root);
    Shell("dd if=/dev/zero of='" + m_backing + "/filler' bs=1M");  // until the tmpfs is full
    ASSERT_TRUE(Shell("truncate -s -1M '" + m_backing + "/filler'"));
    Start("1280x720");
    EXPECT_TRUE(WaitUntil([&] { return Errors().find("the disk refused recording file") != std::string::npos; }, 30s))
        << Errors();
    EXPECT_EQ(Errors().find("No space left"), std::string::npos) << "not a full disk: " << Errors();

    // Back: room behind it again, checked and mounted afresh, as a disk plugged in again would be.
    std::filesystem::remove(m_backing + "/filler");
    ASSERT_TRUE(Unmount());
    EXPECT_TRUE(WaitUntil([&] { return !Shell("losetup -j '" + m_image + "' | grep -q loop"); }, 5s))
        << "the program let go of the disk that went away";
    Shell("e2fsck -fy '" + m_image + "'");
    ASSERT_TRUE(Mount());
    const std::size_t before = RecordingsIn(m_root).size();
    EXPECT_TRUE(WaitUntil([&] { return RecordingsIn(m_root).size() > before; }, 5s)) << Errors();
    EXPECT_EQ(Stop(), 0);
}

// Rows stay while their files are only out of reach, or cannot be deleted;
// a later sweep tries again.
TEST_F(RecordingDiskProgramTest, RowsStayForFilesThatCannotBeDeletedOrReached)
{
    const std::string stuck = m_root + "/dv(1)-2009-10-01 100000.mpg";
    const std::string free = m_root + "/dv(2)-2009-10-01 100000.mpg";
    for (const auto& [camera, path] : {std::pair<int, std::string>{1, stuck}, {2, free}}) {
        std::ofstream(path) << std::string("\0\0\1\xb3", 4);
        AddRow(camera, path, "2009-10-01 10:00:00");
    }
    ASSERT_TRUE(Shell("chattr +i '" + stuck + "'"));
    ExpectFolderMount(m_root, m_disk);
    testing::internal::CaptureStdout();
    RunRetentionSweep("30", 1259661600, m_root);  // 2009-12-01
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("'" + stuck + "' could not be deleted"), std::string::npos) << said;
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path"),
              std::vector<std::string>{stuck});
    EXPECT_FALSE(std::filesystem::exists(free));

    Shell("chattr -i '" + stuck + "'");
    ASSERT_TRUE(Unmount());  // out of reach now: no sweep and no check drops its row
    testing::internal::CaptureStdout();
    RunRetentionSweep("30", 1259661600, m_root);
    RunFreeSpaceSweep(m_root, "1", [](const std::string&) { return SpaceInfo{0, 1 << 30}; });
    ReconcileHistory(m_root);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path"),
              std::vector<std::string>{stuck});
}

}  // namespace

namespace {

class RecordingFolderProgramTest : public TempDatabaseTest {};

// The folder removed and made again while a Lumaro records into it: that
// one locks it again at its next file, and a second Lumaro (another working
// folder) pointed at it refuses to start there.
TEST_F(RecordingFolderProgramTest, AFolderMadeAnewIsLockedAgainAndASecondLumaroNeverTakesIt)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    const pid_t first = StartProgram(m_dir, "lavfi:testsrc2=size=160x120:rate=25", m_dir + "/stdout.log", {},
                                     m_dir + "/stderr.log");
    ASSERT_TRUE(WaitUntil([&] { return !RecordingsIn(root).empty(); }, 5s));
    std::filesystem::remove_all(root);
    std::filesystem::create_directory(root);
    EXPECT_TRUE(WaitUntil([&] { return !RecordingsIn(root).empty(); }, 5s)) << "recording goes on in the new folder";

    const std::string second = m_dir + "/second";
    std::filesystem::create_directory(second);
    ASSERT_TRUE(Shell("cd '" + second + "' && " LUMARO_BINARY " --create-database && sqlite3 db/dbvardo.db "
                      "\"insert into soft_set (key, value) values ('video_root_path', '" + root + "')\""));
    std::filesystem::current_path(second);
    const pid_t other = StartProgram(second, "lavfi:testsrc2=size=160x120:rate=25", {}, {}, second + "/stderr.log");
    std::filesystem::current_path(m_dir);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(second + "/stderr.log").find("is in use by another Lumaro") !=
                                       std::string::npos; }, 5s))
        << ReadAll(second + "/stderr.log");
    StopProgram(other, SIGKILL);  // it waits on its message
    EXPECT_EQ(StopProgram(first, SIGTERM), 0);
    WaitForRows();
    for (const std::string& file : RecordingsIn(root))
        EXPECT_EQ(ScalarText("select count(*) as n from video_save_history where video_save_path='" + file + "'"), "1")
            << file << ": only the first Lumaro gave it a row";
}

}  // namespace
