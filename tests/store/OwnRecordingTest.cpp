// Rows that point at something other than one of the folder's recordings:
// the retention and free-space sweeps remove the rows and leave the files.
#include "FreeSpace.h"
#include "RetentionSweep.h"
#include "TempDatabase.h"

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

constexpr TimeValue k2009_12_01 = 1259661600;

class OwnRecordingTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        m_root = m_dir + "/rec";
        std::filesystem::create_directories(m_root);
        std::filesystem::create_directories(m_dir + "/outside");
    }
    std::string m_root;
};

TEST_F(OwnRecordingTest, OnlyTheFoldersOwnRecordingsAreDeletedAndEveryRowGoes)
{
    struct Sweep {
        const char* name;
        std::function<void(const std::string& root)> run;
        bool onlyFolderRows;  // the free-space sweep looks only at rows naming the folder
    };
    const Sweep sweeps[] = {
        {"retention", [](const std::string& root) { RunRetentionSweep("30", k2009_12_01, root); }, false},
        {"free space", [](const std::string& root) {
             RunFreeSpaceSweep(root, "1000000", [](const std::string&) { return SpaceInfo{0, 1000 * kMiB}; });
         }, true},
    };
    for (const auto& [name, sweep, onlyFolderRows] : sweeps) {
        const std::string outside = m_dir + "/outside/dv(1)-2009-10-01 080000.mpg";
        WriteFile(outside, "someone else's file");
        WriteFile(m_dir + "/dv(1)-2009-10-03 080000.mpg", "in the working folder");
        const std::string link = m_root + "/dv(1)-2009-10-04 080000.mpg";
        std::filesystem::create_symlink(outside, link);
        WriteFile(m_root + "/notes.mpg", "notes");
        std::filesystem::create_directories(m_root + "/dv(1)-2009-10-05 080000.mpg");
        const std::string own = m_root + "/dv(1)-2009-10-06 080000.mpg";
        WriteFile(own, "a recording");
        const std::vector<std::string> foreign = {outside, m_root + "/../outside/dv(1)-2009-10-01 080000.mpg",
                                                  "dv(1)-2009-10-03 080000.mpg", link, m_root + "/notes.mpg",
                                                  m_root + "/dv(1)-2009-10-05 080000.mpg"};
        for (std::size_t i = 0; i < foreign.size(); ++i)
            AddRow(1, foreign[i], "2009-10-0" + std::to_string(i + 1) + " 08:00:00");
        AddRow(1, own, "2009-10-09 08:00:00");

        testing::internal::CaptureStdout();
        sweep(m_root);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(Exists(own)) << name;
        for (const std::string& path : foreign) {
            EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(path))) << name << ": " << path;
            const bool judged = !onlyFolderRows || path.rfind(m_root + "/", 0) == 0;
            EXPECT_EQ(out.find("'" + path + "' is not a recording in the recording folder") != std::string::npos, judged)
                << name << ": " << path << "\n" << out;
        }
        EXPECT_EQ(ScalarText("select count(*) as n from video_save_history"), onlyFolderRows ? "2" : "0") << name;
        ExecuteCommand("delete from video_save_history");
        std::filesystem::remove(link);
        std::filesystem::remove(m_root + "/dv(1)-2009-10-05 080000.mpg");
    }
}

}  // namespace
