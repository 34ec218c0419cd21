// Connection, commands, result sets, settings and the database file itself.
#include "TempDatabase.h"

#include "JetDialect.h"
#include "Schema.h"
#include "Settings.h"
#include "TextFormat.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

namespace {

std::string Capture(const std::function<void()>& body)
{
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

using DatabaseTest = TempDatabaseTest;

TEST_F(DatabaseTest, ConnectsToAnExistingFileOnly)
{
    std::string out = Capture([] { EXPECT_EQ(InitDatabaseConnect(), 0); });
    EXPECT_NE(out.find("初始化ADO...[OK]\n连接信息:file:db/dbvardo.db"), std::string::npos) << out;
    EXPECT_NE(out.find("连接数据库...[OK]\nadoLowVersion: "), std::string::npos) << out;

    out = Capture([] { EXPECT_EQ(InitDatabaseConnect("db/missing.db"), 1); });
    EXPECT_NE(out.find("连接数据库...Connect 异常 E,unable to open database file\n"), std::string::npos)
        << out;
    EXPECT_FALSE(Exists("db/missing.db")) << "a missing database is never created";
    // Without a connection every command fails and says so.
    out = Capture([] { EXPECT_EQ(ExecuteCommand("select * from soft_set"), nullptr); });
    EXPECT_NE(out.find("<?>Command 异常"), std::string::npos);

}

TEST_F(DatabaseTest, AFileThatIsNotTheProgramsDatabaseFailsAndStaysAsItWas)
{
    WriteFile("db/empty.db", "");
    WriteFile("db/garbage.db", std::string(4096, 'g'));
    ASSERT_EQ(std::system("sqlite3 db/other.db 'create table soft_set(a); create table notes(b)'"), 0);
    for (const std::string file : {"db/empty.db", "db/garbage.db", "db/other.db"}) {
        std::ifstream in(file, std::ios::binary);
        const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string out = Capture([&] { EXPECT_EQ(InitDatabaseConnect(file), 1) << file; });
        EXPECT_NE(out.find("连接数据库...Connect 异常 1A,"), std::string::npos) << out;
        std::ifstream again(file, std::ios::binary);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), before)
            << file << " is left byte for byte";
        EXPECT_FALSE(Exists(file + "-wal")) << file;
        EXPECT_NE(Capture([] { EXPECT_EQ(ExecuteCommand("select * from soft_set"), nullptr); }).find("<?>Command"), std::string::npos);
    }
}

TEST_F(DatabaseTest, StatementsRunAndFailuresPrintTheCommandError)
{
    std::string out = Capture([] { EXPECT_EQ(ExecuteCommand("select * form soft_set"), nullptr); });
    EXPECT_NE(out.find("select * form soft_set\n<?>Command 异常,错误码=0x1\r\n\t"), std::string::npos)
        << out;

    AddRow(1, "/r/a.mpg", "2009-11-01 08:00:00");
    AddRow(2, "/r/b.mpg", "2009-11-01 09:00:00");
    Capture([] { EXPECT_NE(ExecuteCommand("DELETE FROM video_save_history  WHERE video_save_path='/r/a.mpg'"), nullptr); });
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path"),
              std::vector<std::string>{"/r/b.mpg"});

    ExecuteCommand("insert into video_save_history (capdrive) values (3)");
    RecordsetPtr rs = ExecuteCommand("select * from video_save_history where capdrive=3");
    ASSERT_TRUE(rs && !rs->IsEOF());
    EXPECT_EQ(FieldText(*rs, "video_save_path"), "") << "null reads as empty text";
    EXPECT_EQ(FieldText(*rs, "capdrive"), "3");
    EXPECT_EQ(FieldText(*rs, "no_such_column"), "");
}

TEST_F(DatabaseTest, SettingsAreReadWrittenAndRewritten)
{
    EXPECT_EQ(ReadSetting(kKeyCycleDelDays), "30") << "a new database keeps 30 days";
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), "") << "and asks for the folder";

    WriteSetting(kKeyVideoRootPath, "/srv/bob's cams");
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), "/srv/bob's cams");
    WriteSetting(kKeyVideoRootPath, "/srv/other");
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), "/srv/other");
    EXPECT_EQ(ScalarText("select count(*) as n from soft_set where key='video_root_path'"), "1");

    WriteSetting("it's", "a 'quoted' value");
    EXPECT_EQ(ReadSetting("it's"), "a 'quoted' value");
    const std::string longPath = "/" + std::string(3000, 'p');
    WriteSetting(kKeyVideoRootPath, longPath);
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), longPath);
    EXPECT_EQ(ScalarText("select count(*) as n from soft_set"), "3");
}

TEST_F(DatabaseTest, RowsOfManyThreadsAreAllAccountedFor)
{
    constexpr int kWriters = 4;
    constexpr int kRowsEach = 150;
    std::atomic<int> writersLeft{kWriters};
    std::set<std::string> deleted;
    testing::internal::CaptureStdout();
    std::thread deleter([&] {
        while (writersLeft > 0) {
            for (const std::string& path : Column(ExecuteCommand("select * from video_save_history order by start_time desc,capdrive asc"), "video_save_path")) {
                if (path.back() % 2 == 1 && deleted.insert(path).second)
                    ExecuteCommand("DELETE FROM video_save_history  WHERE video_save_path='" + path + "'");
            }
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < kRowsEach; ++i) {
                RecordsetPtr rs = OpenRecordset(StrFormat(
                    "select * from video_save_history where video_save_path='/r/%d-%d'", w, i));
                ASSERT_NE(rs, nullptr);
                if (rs->IsEOF())
                    rs->AddNew();
                rs->SetField("capdrive", std::int64_t{w + 1});
                rs->SetField("capdrive_name", std::string());
                rs->SetField("video_save_path", StrFormat("/r/%d-%d", w, i));
                EXPECT_TRUE(rs->Update());
            }
            --writersLeft;
        });
    }
    for (auto& t : writers)
        t.join();
    deleter.join();
    testing::internal::GetCapturedStdout();

    const auto remaining = Column(ExecuteCommand("select * from video_save_history"), "video_save_path");
    std::set<std::string> unique(remaining.begin(), remaining.end());
    EXPECT_EQ(unique.size(), remaining.size()) << "no row twice";
    for (const std::string& path : deleted)
        EXPECT_EQ(unique.count(path), 0u) << path;
    EXPECT_EQ(remaining.size() + deleted.size(), std::size_t{kWriters * kRowsEach});
}

// The database as the command-line program leaves it and as sqlite3 sees it.
TEST_F(DatabaseTest, CreateDatabaseCommandAndTheSqliteTool)
{
    std::filesystem::create_directory("other");
    const std::string lumaro = LUMARO_BINARY;
    ASSERT_EQ(std::system(("cd other && " + lumaro + " --create-database >/dev/null").c_str()), 0);
    const auto size = std::filesystem::file_size("other/db/dbvardo.db");
    EXPECT_NE(std::system(("cd other && " + lumaro + " --create-database 2>/dev/null").c_str()), 0)
        << "an existing database is never touched";
    EXPECT_EQ(std::filesystem::file_size("other/db/dbvardo.db"), size);
    ASSERT_EQ(std::system((lumaro + " --home other/home --create-database >/dev/null").c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists("other/home/db/dbvardo.db")) << "made where --home says, not here";

    setenv("TZ", "EST5", 1), tzset();
    const std::string expectedDay = FormatLocalTime("%Y-%m-%d", CurrentTime());
    ASSERT_EQ(std::system("TZ=EST5 sqlite3 other/db/dbvardo.db \"insert into video_save_history "
                          "(capdrive, video_save_path) values (1, '/r/x.mpg')\" && "
                          "sqlite3 other/db/dbvardo.db 'select start_time from video_save_history' "
                          "> start.txt"),
              0);
    std::string startTime;
    std::getline(std::ifstream("start.txt"), startTime);
    EXPECT_TRUE(std::regex_match(startTime, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << startTime;
    EXPECT_EQ(startTime.substr(0, 10), expectedDay) << "local time, not UTC";
    unsetenv("TZ"), tzset();
}

}  // namespace
