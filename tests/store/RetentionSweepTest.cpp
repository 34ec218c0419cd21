#include "RetentionSweep.h"

#include "OpenRecordings.h"
#include "TempDatabase.h"

#include <cstdlib>

namespace {

class UtcZone : public ::testing::Environment {
public:
    void SetUp() override { setenv("TZ", "UTC0", 1), tzset(); }
};
const auto* const kUtc = ::testing::AddGlobalTestEnvironment(new UtcZone);

constexpr TimeValue k2009_12_01_1000 = 1259661600;  // 2009-12-01 10:00:00 UTC

TEST(RetentionDays, ReadLikeAtoiAndNothingBelowOneDay)
{
    const std::pair<const char*, int> cases[] = {
        {"30", 30}, {" 30", 30}, {"30abc", 30}, {"+90", 90}, {"365days", 365}, {"", 0}, {"0", 0},
        {"-5", 0},  {"abc", 0},  {"1", 1},      {"2", 2},    {"99999999999999", 2147483647},
        {"-0", 0},  {" ", 0},
    };
    for (const auto& [text, days] : cases)
        EXPECT_EQ(ParseRetentionDays(text), days) << '"' << text << '"';
}

TEST(RetentionDays, ThresholdDates)
{
    EXPECT_EQ(RetentionThresholdDate("30", k2009_12_01_1000), "2009-10-31");
    EXPECT_EQ(RetentionThresholdDate("1", k2009_12_01_1000), "2009-11-29") << "yesterday is kept";
    EXPECT_EQ(RetentionThresholdDate("", k2009_12_01_1000), "") << "no period, no threshold";
    EXPECT_EQ(RetentionThresholdDate("365", k2009_12_01_1000), "2008-11-30");
    EXPECT_EQ(RetentionThresholdDate("20000", k2009_12_01_1000), "") << "before 1970";
    EXPECT_EQ(RetentionThresholdDate("99999999999999", k2009_12_01_1000), "");
}

// The night summer time ends has 25 hours: at 23:11 that day, "one day ago"
// by seconds is still the same day, by the calendar it is yesterday.
TEST(RetentionDays, ThresholdsCountCalendarDaysAcrossClockChanges)
{
    setenv("TZ", "Europe/Berlin", 1), tzset();
    const struct {
        TimeValue now;
        const char* days;
        const char* threshold;
    } cases[] = {
        {1698617460, "1", "2023-10-27"},   // 2023-10-29 23:11 CET, the day summer time ended
        {1698530400, "1", "2023-10-27"},   // 2023-10-29 00:00 CEST
        {1679869800, "1", "2023-03-25"},   // 2023-03-27 00:30 CEST, after the 23-hour day
        {1679869800, "2", "2023-03-24"},
        {1698617460, "30", "2023-09-28"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RetentionThresholdDate(c.days, c.now), c.threshold) << c.now << " less " << c.days;
    setenv("TZ", "UTC0", 1), tzset();
}

class RetentionSweep : public TempDatabaseTest {
protected:
    void Recording(int camera, const std::string& day, bool withFile = true)
    {
        const std::string path = m_dir + "/dv(" + std::to_string(camera) + ")-" + day + " 100000.mpg";
        if (withFile)
            WriteFile(path);
        AddRow(camera, path, day + " 10:00:00");
    }
    std::vector<std::string> Days()
    {
        std::vector<std::string> days;
        for (const auto& p : Column(ExecuteCommand("select * from video_save_history order by start_time desc,capdrive asc"), "video_save_path"))
            days.push_back(p.substr(m_dir.size() + 7, 10));
        return days;
    }
    std::string PathOf(int camera, const std::string& day)
    {
        return m_dir + "/dv(" + std::to_string(camera) + ")-" + day + " 100000.mpg";
    }
};

TEST_F(RetentionSweep, DeletesFilesAndRowsOnOrBeforeTheThreshold)
{
    testing::internal::CaptureStdout();
    Recording(1, "2009-10-31");
    Recording(2, "2009-11-01");
    Recording(1, "2009-11-02");
    Recording(1, "2009-12-01");
    Recording(3, "2009-10-01", false);  // file already gone: the row still goes
    RunRetentionSweep("30", k2009_12_01_1000, m_dir);
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(Days(), (std::vector<std::string>{"2009-12-01", "2009-11-02", "2009-11-01"}));
    EXPECT_FALSE(Exists(PathOf(1, "2009-10-31"))) << "the threshold day itself is due";
    EXPECT_TRUE(Exists(PathOf(2, "2009-11-01"))) << "the 30th whole day before today is kept";
    EXPECT_TRUE(Exists(PathOf(1, "2009-11-02")));
    EXPECT_TRUE(Exists(PathOf(1, "2009-12-01")));
    EXPECT_NE(out.find("select rowid as row_id, * FROM video_save_history  WHERE left(start_time,10)<='2009-10-31'"),
              std::string::npos) << out;
    EXPECT_NE(out.find("DELETE FROM video_save_history  WHERE left(start_time,10)<='2009-10-31' and rowid between"),
              std::string::npos) << out;
}

// With one day, a recording made yesterday just before midnight is kept all
// day today and goes at the first sweep after the next midnight.
TEST_F(RetentionSweep, WithOneDayYesterdayStaysAllDayAndGoesAfterTheNextMidnight)
{
    constexpr TimeValue k2009_11_30_2359 = 1259625540;
    const std::string path = m_dir + "/dv(1)-2009-11-30 235900.mpg";
    WriteFile(path);
    AddRow(1, path, "2009-11-30 23:59:00");
    const struct {
        TimeValue now;
        bool kept;
    } sweeps[] = {
        {k2009_11_30_2359 + 60, true},                 // 00:00 today
        {k2009_11_30_2359 + 120, true},                // 00:01 today
        {k2009_11_30_2359 + 86400, true},              // 23:59 today
        {k2009_11_30_2359 + 86400 + 120, false},       // 00:01 tomorrow
    };
    testing::internal::CaptureStdout();
    for (const auto& sweep : sweeps) {
        RunRetentionSweep("1", sweep.now, m_dir);
        EXPECT_EQ(Exists(path), sweep.kept) << FormatLocalTime("%Y-%m-%d %H:%M", sweep.now);
        EXPECT_EQ(Days().size(), sweep.kept ? 1u : 0u) << FormatLocalTime("%Y-%m-%d %H:%M", sweep.now);
    }
    testing::internal::GetCapturedStdout();
}

// Motion events live beside the recordings' rows; whoever deletes a
// recording's row (retention, the free-space sweep, the history dialog, the
// start-up check) takes its events with it.
TEST_F(RetentionSweep, ARecordingsMotionEventsGoWithItsRow)
{
    testing::internal::CaptureStdout();
    for (const char* day : {"2009-10-31", "2009-11-30", "2009-12-01"}) {
        Recording(1, day);
        for (const char* time : {" 10:00:05.00", " 10:07:00.40"})
            ExecuteCommand("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak) VALUES (1, '" +
                           PathOf(1, day) + "', '" + day + time + "', '" + day + time + "', 0.2)");
    }
    RunRetentionSweep("30", k2009_12_01_1000, m_dir);
    ExecuteCommand("DELETE FROM video_save_history WHERE video_save_path='" + PathOf(1, "2009-11-30") + "'");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Column(ExecuteCommand("select * from motion_event order by start_time"), "start_time"),
              (std::vector<std::string>{"2009-12-01 10:00:05.00", "2009-12-01 10:07:00.40"}));
}

TEST_F(RetentionSweep, BadPeriodsDeleteNothingAndAreNamedOnceAndHugeOnesKeepEverything)
{
    Recording(1, "2009-10-30");
    Recording(1, "2009-11-30");
    Recording(1, "2009-12-01");
    testing::internal::CaptureStdout();
    RunRetentionSweep("20000", k2009_12_01_1000, m_dir);
    for (const char* bad : {"", "0", "-3", "abc", "abc", "", ""})
        RunRetentionSweep(bad, k2009_12_01_1000, m_dir);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Days().size(), 3u) << out;
    EXPECT_TRUE(Exists(PathOf(1, "2009-10-30")));
    std::vector<std::string> named;
    for (std::size_t at = 0; (at = out.find("retention period \"", at)) != std::string::npos; ++at)
        named.push_back(out.substr(at + 18, out.find('"', at + 18) - at - 18));
    EXPECT_EQ(named, (std::vector<std::string>{"", "0", "-3", "abc", ""})) << out;
    EXPECT_EQ(out.find("DELETE"), out.rfind("DELETE")) << "only the huge period ran its statements";

    testing::internal::CaptureStdout();
    RunRetentionSweep("30abc", k2009_12_01_1000, m_dir);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Days(), (std::vector<std::string>{"2009-12-01", "2009-11-30"})) << "30abc is 30";
}

TEST_F(RetentionSweep, AFileStillBeingRecordedKeepsItsFootageAndRow)
{
    testing::internal::CaptureStdout();
    Recording(1, "2009-10-01");
    Recording(2, "2009-10-01");
    AddOpenRecording(PathOf(2, "2009-10-01"));
    RunRetentionSweep("30", k2009_12_01_1000, m_dir);
    RemoveOpenRecording(PathOf(2, "2009-10-01"));
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(Exists(PathOf(1, "2009-10-01")));
    EXPECT_TRUE(Exists(PathOf(2, "2009-10-01")));
    EXPECT_EQ(Column(ExecuteCommand("select * from video_save_history"), "video_save_path"),
              std::vector<std::string>{PathOf(2, "2009-10-01")});
}

TEST_F(RetentionSweep, ALargeSweepGoesABatchAtATimeAndMissesNothing)
{
    ExecuteCommand("begin");
    for (int i = 0; i < 1100; ++i) {
        const std::string day = i % 2 == 0 ? "2009-10-15" : "2009-11-20";
        const std::string path = m_dir + StrFormat("/dv(%d)-%s 00%02d%02d.mpg", 1 + i % 4, day.c_str(), i / 60, i % 60);
        if (i % 5 == 0)
            WriteFile(path);
        AddRow(1 + i % 4, path, day + " 10:00:00");
    }
    ExecuteCommand("commit");
    testing::internal::CaptureStdout();
    CRetentionSweep sweep;
    ASSERT_TRUE(sweep.Start("30", k2009_12_01_1000, m_dir));
    int steps = 0;
    std::size_t left = 1100;
    while (sweep.Step()) {
        const std::size_t now = std::stoul(ScalarText("select count(*) as n from video_save_history"));
        EXPECT_GE(left - now, 1u);
        EXPECT_LE(left - now, static_cast<std::size_t>(CRetentionSweep::kBatchRows));
        left = now;
        ++steps;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_GE(steps, 1) << "550 due rows take more than one batch";
    EXPECT_EQ(ScalarText("select count(*) as n from video_save_history"), "550");
    EXPECT_EQ(ScalarText("select count(*) as n from video_save_history where start_time<'2009-11-01'"), "0");
    EXPECT_FALSE(Exists(m_dir + "/dv(1)-2009-10-15 000000.mpg"));
    EXPECT_FALSE(Exists(m_dir + "/dv(3)-2009-10-15 001810.mpg"));  // the 1090th
    EXPECT_TRUE(Exists(m_dir + "/dv(2)-2009-11-20 000005.mpg")) << "not due";
    EXPECT_FALSE(sweep.Step()) << "done stays done";
}

}  // namespace
