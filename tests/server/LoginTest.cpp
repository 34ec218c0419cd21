// The rules of logging in: the throttle's waits, per account and per
// address, and sessions that end by 退出, by idleness or with their account.
#include "LoginThrottle.h"
#include "Sessions.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using std::chrono::seconds;

TEST(LoginThrottle, AfterFiveFailuresEachTryWaitsTwiceAsLongUpToAQuarterOfAnHour)
{
    LoginThrottle throttle;
    auto now = LoginThrottle::Clock::time_point{} + std::chrono::hours(1);
    const struct {
        int failures;  // in a row, from one address for one account
        seconds wait;  // before the next try
    } steps[] = {{4, seconds(0)}, {5, seconds(1)}, {6, seconds(2)}, {7, seconds(4)}, {14, seconds(512)}, {15, seconds(900)},
                 {20, seconds(900)}};
    int failed = 0;
    for (const auto& step : steps) {
        while (failed < step.failures) {
            now += throttle.WaitBefore("店主", "10.0.0.9", now);
            EXPECT_EQ(throttle.Failed("店主", "10.0.0.9", now), ++failed);
        }
        EXPECT_EQ(throttle.WaitBefore("店主", "10.0.0.9", now), step.wait) << step.failures;
    }
    EXPECT_EQ(throttle.WaitBefore("店主", "10.0.0.7", now), seconds(900)) << "the account waits from another address too";
    EXPECT_EQ(throttle.WaitBefore("guest", "10.0.0.9", now), seconds(900)) << "the address waits for another account too";
    EXPECT_EQ(throttle.WaitBefore("guest", "10.0.0.7", now), seconds(0));
    EXPECT_EQ(throttle.WaitBefore("店主", "10.0.0.9", now + seconds(900)), seconds(0)) << "then it may try again";
    throttle.Succeeded("店主", "10.0.0.9");
    EXPECT_EQ(throttle.WaitBefore("店主", "10.0.0.9", now), seconds(0));
}

TEST(Sessions, ATokenIsRandomAndWorksUntilLogoutIdlenessOrItsAccountGoes)
{
    Sessions sessions;
    auto now = Sessions::Clock::time_point{} + std::chrono::hours(1);
    std::set<std::string> tokens;
    for (int i = 0; i < 100; ++i)
        tokens.insert(sessions.Begin({"guest", "viewer", ""}, now));
    EXPECT_EQ(tokens.size(), 100u);
    const std::string owner = sessions.Begin({"店主", "admin", ""}, now);
    ASSERT_EQ(owner.size(), 64u) << "256 bits in hex";
    EXPECT_EQ(owner.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(sessions.Use(owner, now + std::chrono::hours(11))->role, "admin");
    EXPECT_TRUE(sessions.Use(owner, now + std::chrono::hours(22))) << "each use restarts the twelve hours";
    EXPECT_FALSE(sessions.Use(owner, now + std::chrono::hours(34))) << "twelve hours without use end it";
    EXPECT_FALSE(sessions.Use(owner, now + std::chrono::hours(22))) << "and it stays ended";
    const std::string again = sessions.Begin({"店主", "admin", ""}, now);
    sessions.End(again);
    EXPECT_FALSE(sessions.Use(again, now));
    EXPECT_FALSE(sessions.Use(std::string(64, '0'), now));
    sessions.EndLogin({"guest", "viewer", ""});
    EXPECT_FALSE(sessions.Use(*tokens.begin(), now));
}

}  // namespace
