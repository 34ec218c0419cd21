#include "ResString.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

class LocalZone {
public:
    explicit LocalZone(const char* tz) { setenv("TZ", tz, 1), tzset(); }
    ~LocalZone() { unsetenv("TZ"), tzset(); }
};

constexpr TimeValue k2009_11_01_0005Utc = 1257033900;  // 2009-11-01 00:05:00 UTC

TEST(FormatLocalTime, UsesTheLocalZoneNotUtc)
{
    {
        LocalZone zone("UTC0");
        EXPECT_EQ(FormatLocalTime("%Y-%m-%d %H:%M:%S", k2009_11_01_0005Utc), "2009-11-01 00:05:00");
    }
    LocalZone zone("EST5");  // five hours west: still the previous evening
    EXPECT_EQ(FormatLocalTime("%Y-%m-%d", k2009_11_01_0005Utc), "2009-10-31");
    EXPECT_EQ(FormatLocalTime("%Y-%m-%d %H%M%S.mpg", k2009_11_01_0005Utc), "2009-10-31 190500.mpg");
    EXPECT_EQ(FormatLocalTime("%Y-%m-%d\n %H:%M:%S", k2009_11_01_0005Utc), "2009-10-31\n 19:05:00");
}

TEST(FormatLocalTime, FailuresGiveEmptyText)
{
    LocalZone zone("UTC0");
    EXPECT_EQ(FormatLocalTime(nullptr, 0), "");
    EXPECT_EQ(FormatLocalTime("%Y-%m-%d", -1), "") << "before 1970";
    EXPECT_EQ(FormatLocalTime("%Y", INT64_MAX), "") << "out of range";

    const std::string fits(127, 'x');
    EXPECT_EQ(FormatLocalTime(fits.c_str(), 0), fits);
    const std::string tooLong(128, 'x');
    EXPECT_EQ(FormatLocalTime(tooLong.c_str(), 0), "") << "never a truncated text";
    EXPECT_EQ(FormatLocalTime((std::string(120, 'x') + "%Y-%m-%d").c_str(), 0), "");
}

TEST(StrFormat, ComposesTextsOfAnyLength)
{
    const std::string root(5000, 'r');
    const std::string path = StrFormat("%s/dv(%d)-%s", root.c_str(), 2, "name.mpg");
    EXPECT_EQ(path.size(), 5000u + 15u);
    EXPECT_EQ(path.substr(5000), "/dv(2)-name.mpg");
    EXPECT_EQ(StrFormat("%s", ""), "");
}

TEST(LoadResString, KnownAndUnknownIds)
{
    EXPECT_EQ(LoadResString(IDS_VERSION), LUMARO_VERSION) << "the build's version, as --version says";
    EXPECT_EQ(LoadResString(IDS_DELETE_VIDEO_QUESTION), "是否要删除录像文件？");
    EXPECT_EQ(LoadResString(AFX_IDS_APP_TITLE), "Lumaro");
    EXPECT_EQ(LoadResString(IDS_ABOUTBOX), "关于 Lumaro(&A)...");
    EXPECT_EQ(LoadResString(102), "");
    EXPECT_EQ(LoadResString(0), "");
}

}  // namespace
