// Database trouble at start and while running: a new database where the old
// one is gone or is no database (nothing deleted), and a database deleted or
// replaced under the program written back with every row.
#include "DatabaseGuard.h"

#include "Schema.h"
#include "TempDatabase.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

class DatabaseGuardTest : public TempDatabaseTest {
protected:
    static std::string Read(const std::string& path)
    {
        std::stringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }
    // Files of the db folder whose names begin with `prefix`.
    static int CountAside(const std::string& prefix)
    {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("db"))
            n += entry.path().filename().string().rfind(prefix, 0) == 0;
        return n;
    }
};

TEST_F(DatabaseGuardTest, AMissingOrForeignDatabaseIsMadeAnewAndNothingIsDeleted)
{
    struct Case {
        const char* what;
        std::function<void()> harm;
        DatabaseState state;
        int setAside;
    };
    const Case cases[] = {
        {"deleted", [] { std::filesystem::remove(kDatabaseFile); }, DatabaseState::kRenewed, 0},
        {"overwritten", [this] { WriteFile(kDatabaseFile, "a text file now"); }, DatabaseState::kRenewed, 1},
        {"its folder gone", [] { std::filesystem::remove_all("db"); }, DatabaseState::kNone, 0},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all("db");
        std::string error;
        ASSERT_TRUE(CreateDatabaseFile(kDatabaseFile, &error)) << error;
        c.harm();
        const DatabaseOpening opening = OpenWorkingDatabase(kDatabaseFile);
        EXPECT_EQ(opening.state, c.state) << c.what;
        if (c.state == DatabaseState::kRenewed) {
            EXPECT_TRUE(ExecuteCommand("select * from video_save_history") != nullptr) << c.what;
            EXPECT_EQ(CountAside("dbvardo.db.unreadable-"), c.setAside) << c.what;
        }
        if (c.setAside == 1) {
            EXPECT_EQ(Read(opening.setAside), "a text file now") << "kept as it was";
        }
    }
    std::filesystem::create_directories("db");
    std::string error;
    ASSERT_TRUE(CreateDatabaseFile(kDatabaseFile, &error)) << error;
    ASSERT_EQ(OpenWorkingDatabase(kDatabaseFile).state, DatabaseState::kWritable);
}

TEST_F(DatabaseGuardTest, ADatabaseDeletedOrReplacedWhileRunningIsWrittenBackWithEveryRow)
{
    const std::pair<const char*, std::function<void()>> harms[] = {
        {"删除", [] { std::filesystem::remove(kDatabaseFile); }},
        {"换掉", [this] {
             WriteFile("db/stranger", "someone else's file");
             std::filesystem::rename("db/stranger", kDatabaseFile);
         }},
    };
    for (const auto& [what, harm] : harms) {
        ASSERT_EQ(OpenWorkingDatabase(kDatabaseFile).state, DatabaseState::kWritable);
        EXPECT_EQ(RescueMovedDatabase(), "") << "nothing happened yet";
        AddRow(1, std::string("/rec/before-") + what, "2009-10-01 08:00:00");
        harm();
        AddRow(1, std::string("/rec/after-") + what, "2009-10-01 08:01:00");  // into the file that is gone
        const std::string said = RescueMovedDatabase();
        EXPECT_NE(said.find(what), std::string::npos) << said;
        const auto paths = Column(ExecuteCommand("select * from video_save_history"), "video_save_path");
        EXPECT_NE(std::find(paths.begin(), paths.end(), std::string("/rec/after-") + what), paths.end()) << what;
        EXPECT_NE(std::find(paths.begin(), paths.end(), std::string("/rec/before-") + what), paths.end()) << what;
        EXPECT_EQ(RescueMovedDatabase(), "") << "the file is the connected one again";
    }
    EXPECT_EQ(CountAside("dbvardo.db.replaced-"), 1);
}

}  // namespace
