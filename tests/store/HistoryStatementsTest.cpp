// The history statements, as the dialogs and the sweep send them, on real rows.
#include "TempDatabase.h"

#include "JetDialect.h"
#include "TextFormat.h"

namespace {

class HistoryStatements : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        AddRow(2, "/r/dv(2)-2009-10-31 230000.mpg", "2009-10-31 23:00:00");
        AddRow(1, "/r/dv(1)-2009-10-31 080000.mpg", "2009-10-31 08:00:00");
        AddRow(1, "/r/dv(1)-2009-11-01 000001.mpg", "2009-11-01 00:00:01");
        AddRow(2, "/r/dv(2)-2009-11-01 000001.mpg", "2009-11-01 00:00:01");
        AddRow(3, "/srv/bob's cams/dv(3)-2009-11-01 120000.mpg", "2009-11-01 12:00:00");
    }
    void TearDown() override
    {
        TempDatabaseTest::TearDown();
    }
    static std::vector<std::string> Paths(const std::string& statement)
    {
        return Column(ExecuteCommand(statement), "video_save_path");
    }
};

TEST_F(HistoryStatements, ListsAreNewestFirstThenByCamera)
{
    const auto all = Paths("select * from video_save_history order by start_time desc,capdrive asc");
    EXPECT_EQ(all, (std::vector<std::string>{
                       "/srv/bob's cams/dv(3)-2009-11-01 120000.mpg", "/r/dv(1)-2009-11-01 000001.mpg",
                       "/r/dv(2)-2009-11-01 000001.mpg", "/r/dv(2)-2009-10-31 230000.mpg",
                       "/r/dv(1)-2009-10-31 080000.mpg"}));

    EXPECT_EQ(Paths(StrFormat("select * from video_save_history where capdrive=%s and "
                              "Left(start_time,10)='%s' order by start_time desc,capdrive asc",
                              "1", "2009-10-31")),
              std::vector<std::string>{"/r/dv(1)-2009-10-31 080000.mpg"});
    EXPECT_EQ(Paths(StrFormat("select * from video_save_history where capdrive=%s order by "
                              "start_time desc,capdrive asc", "2")),
              (std::vector<std::string>{"/r/dv(2)-2009-11-01 000001.mpg", "/r/dv(2)-2009-10-31 230000.mpg"}));
    EXPECT_EQ(Paths(StrFormat("select * from video_save_history where Left(start_time,10)='%s' "
                              "order by start_time desc,capdrive asc", "2009-10-31")),
              (std::vector<std::string>{"/r/dv(2)-2009-10-31 230000.mpg", "/r/dv(1)-2009-10-31 080000.mpg"}));
}

TEST_F(HistoryStatements, DateListsGroupEachDayOnceNewestFirst)
{
    EXPECT_EQ(Column(ExecuteCommand("SELECT Left(start_time,10) as start_time FROM video_save_history "
                                    " GROUP BY Left(start_time,10) ORDER BY Left(start_time,10) DESC"),
                     "start_time"),
              (std::vector<std::string>{"2009-11-01", "2009-10-31"}));
    EXPECT_EQ(Column(ExecuteCommand(StrFormat("SELECT Left(start_time,10) as start_time FROM "
                                              "video_save_history  where capdrive = %s GROUP BY "
                                              "Left(start_time,10) ORDER BY Left(start_time,10) DESC",
                                              "3")),
                     "start_time"),
              std::vector<std::string>{"2009-11-01"});
}

TEST_F(HistoryStatements, DateStatementsUseTheDayIndex)
{
    const std::string plan = TranslateJetSql(
        "EXPLAIN QUERY PLAN select * from video_save_history where Left(start_time,10)='2009-11-01'");
    RecordsetPtr rs = ExecuteCommand(plan);
    ASSERT_TRUE(rs && !rs->IsEOF());
    EXPECT_NE(FieldText(*rs, "detail").find("video_save_history_day"), std::string::npos)
        << FieldText(*rs, "detail");
}

TEST_F(HistoryStatements, PathsWithQuotesAreFoundAndDeleted)
{
    const std::string path = "/srv/bob's cams/dv(3)-2009-11-01 120000.mpg";
    RecordsetPtr rs = OpenRecordset(StrFormat(
        "select * from video_save_history where video_save_path='%s'", SqlText(path).c_str()));
    ASSERT_TRUE(rs && !rs->IsEOF());
    EXPECT_EQ(FieldText(*rs, "capdrive"), "3");
    rs->SetField("capdrive", std::int64_t{4});
    EXPECT_TRUE(rs->Update());
    rs->Close();
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history where capdrive=4"), "video_save_path"),
              std::vector<std::string>{path});

    ExecuteCommand(StrFormat("DELETE FROM video_save_history  WHERE video_save_path='%s'",
                             SqlText(path).c_str()));
    EXPECT_EQ(Paths("select * from video_save_history where capdrive=4").size(), 0u);
    EXPECT_EQ(Paths("select * from video_save_history").size(), 4u) << "no other row touched";
}

}  // namespace
