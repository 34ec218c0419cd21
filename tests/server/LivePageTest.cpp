// The live page's requests as the site answers them: only to a session,
// a picture only when newer, names and marks as JSON a page can trust, and
// an account removed or given a new password logged out at its next look.
#include "Accounts.h"
#include "LivePage.h"
#include "RemoteSite.h"
#include "Connection.h"
#include "store/TempDatabase.h"

#include <map>
#include <memory>

#include <sqlite3.h>

namespace {

class TwoCameras : public LiveSource {
public:
    int Cameras() const override { return 2; }
    LiveState State(int camera, Clock::time_point) const override
    {
        return camera == 0 ? LiveState{"门口\"</script>", true, "录像", "2026-12-09 10:00:00", true}
                           : LiveState{"摄像头2", false, "未录像：磁盘已满", "", false};
    }
    LiveShot Take(int camera, std::uint64_t after, Clock::time_point) override
    {
        ++asked[camera];
        return after < 7 ? LiveShot{7, std::make_shared<const std::string>("\xff\xd8jpeg"), "2026-12-09 10:00:01", 40}
                         : LiveShot{};
    }
    std::map<int, int> asked;
};

class LivePageTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        std::string error;
        ASSERT_TRUE(AddAccount("店主", "viewer", "correct horse", &error)) << error;
    }
    // The session cookie of a login, empty when it failed.
    std::string LogIn()
    {
        const SiteReply reply = m_site.Answer({"POST", "/login", "", "", "name=%E5%BA%97%E4%B8%BB&password=correct+horse",
                                               "10.0.0.5"}, m_now);
        for (const auto& [name, value] : reply.headers)
            if (name == "Set-Cookie")
                return value.substr(0, value.find(';'));
        return {};
    }
    SiteReply Get(const std::string& path, const std::string& query, const std::string& cookie)
    {
        return m_site.Answer({"GET", path, cookie, query, "", "10.0.0.5"}, m_now);
    }

    LoginThrottle m_throttle;
    Sessions m_sessions;
    TwoCameras m_cameras;
    RemoteSite m_site{m_throttle, m_sessions, [](const std::string&) {}, &m_cameras};
    Sessions::Clock::time_point m_now = Sessions::Clock::now();
};

TEST_F(LivePageTest, WhatThePageAsksForAnswersOnlyToASession)
{
    const std::string session = LogIn();
    ASSERT_FALSE(session.empty());
    const struct {
        const char* path;
        const char* query;
        bool withSession;
        int status;
        const char* type;
    } cases[] = {
        {"/", "", false, 303, "text/html"},        {"/live.js", "", false, 401, "text/plain"},
        {"/cameras", "", false, 401, "text/plain"}, {"/live/1.jpg", "after=0", false, 401, "text/plain"},
        {"/", "", true, 200, "text/html"},          {"/live.js", "", true, 200, "text/javascript"},
        {"/cameras", "", true, 200, "application/json"}, {"/live/1.jpg", "after=0", true, 200, "image/jpeg"},
        {"/live/2.jpg", "after=7", true, 204, "image/jpeg"}, {"/live/1.jpg", "after=x", true, 200, "image/jpeg"},
        {"/live/3.jpg", "", true, 404, "text/html"},  {"/live/0.jpg", "", true, 404, "text/html"},
        {"/live/-1.jpg", "", true, 404, "text/html"}, {"/live/1.png", "", true, 404, "text/html"},
        {"/live/99999999999999999999.jpg", "", true, 404, "text/html"}, {"/live/", "", true, 404, "text/html"},
    };
    for (const auto& c : cases) {
        const SiteReply reply = Get(c.path, c.query, c.withSession ? session : "");
        EXPECT_EQ(reply.status, c.status) << c.path << "?" << c.query << (c.withSession ? " with" : " without");
        EXPECT_EQ(reply.type.rfind(c.type, 0), 0u) << c.path << ": " << reply.type;
    }
    EXPECT_EQ(m_cameras.asked, (std::map<int, int>{{0, 2}, {1, 1}})) << "only a session's requests reach a camera";
}

TEST_F(LivePageTest, APictureComesWithItsNumberTimeAndAgeAndNamesAreEscaped)
{
    const std::string session = LogIn();
    const SiteReply picture = Get("/live/1.jpg", "after=6", session);
    ASSERT_EQ(picture.status, 200);
    EXPECT_EQ(picture.body, "\xff\xd8jpeg");
    const std::multimap<std::string, std::string> headers(picture.headers.begin(), picture.headers.end());
    EXPECT_EQ(headers.find("X-Picture")->second, "7");
    EXPECT_EQ(headers.find("X-Picture-Time")->second, "2026-12-09 10:00:01");
    EXPECT_EQ(headers.find("X-Picture-Age")->second, "40");
    EXPECT_EQ(headers.find("Cache-Control")->second, "no-store");
    const std::string json = Get("/cameras", "", session).body;
    EXPECT_NE(json.find(R"({"name":"门口\"\u003c/script>","recording":true,"mark":"录像")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("mark":"未录像：磁盘已满","time":"","fresh":false)"), std::string::npos) << json;
    const std::string page = Get("/", "", session).body;
    EXPECT_NE(page.find("门口&quot;&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(page.find("</script>\""), std::string::npos);
    EXPECT_NE(page.find("<script src=\"/live.js\"></script>"), std::string::npos) << "no script in the page itself";
}

TEST_F(LivePageTest, AnAccountRemovedOrGivenANewPasswordIsLoggedOutAtItsNextLook)
{
    std::string error;
    const std::string before = LogIn();
    ASSERT_TRUE(ChangePassword("店主", "another horse", &error)) << error;
    EXPECT_EQ(Get("/cameras", "", before).status, 200) << "until the next check";
    m_site.CheckSessions();
    EXPECT_EQ(Get("/cameras", "", before).status, 401);
    EXPECT_EQ(Get("/live/1.jpg", "", before).status, 401) << "the session ended with it";
    ASSERT_TRUE(ChangePassword("店主", "correct horse", &error)) << error;
    const std::string again = LogIn();
    EXPECT_EQ(Get("/cameras", "", again).status, 200);
    ASSERT_TRUE(RemoveAccount("店主", &error)) << error;
    m_site.CheckSessions();
    EXPECT_EQ(Get("/", "", again).status, 303);
    EXPECT_EQ(Get("/live.js", "", again).status, 401);
}

TEST_F(LivePageTest, ADatabaseThatCannotBeReadRefusesNoPasswordAndLogsNobodyOut)
{
    const std::string session = LogIn();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(kDatabaseFile, &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
    // Readers are never locked out here (WAL); a table gone is what a read that fails looks like.
    ASSERT_EQ(sqlite3_exec(raw, "ALTER TABLE remote_account RENAME TO elsewhere", nullptr, nullptr, nullptr), SQLITE_OK);
    m_site.CheckSessions();
    EXPECT_EQ(Get("/cameras", "", session).status, 200) << "still logged in";
    EXPECT_EQ(LogIn(), "");
    EXPECT_EQ(m_throttle.Failed("店主", "10.0.0.5", m_now), 1) << "the refused login was not counted as a failure";
}

}  // namespace
