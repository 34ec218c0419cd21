// The remote view's server as a browser and the command-line tools meet it:
// HTTPS only and TLS 1.2 or later, every page behind a login, the session
// cookie's flags, the throttle, 退出, and no path that reaches a file.
#include "Accounts.h"
#include "RemoteServer.h"
#include "ShellOutput.h"
#include "store/TempDatabase.h"

#include <QCoreApplication>

#include <mutex>
#include <regex>

namespace {

class RemoteServerTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        std::string error;
        ASSERT_TRUE(AddAccount("店主", "admin", "correct horse", &error)) << error;
        ASSERT_TRUE(m_server.Start(0, &error)) << error;
        m_base = "https://127.0.0.1:" + std::to_string(m_server.Port());
    }
    // curl's status line and headers for `path` (-k: the certificate is self-signed).
    std::string Curl(const std::string& arguments, int* status = nullptr)
    {
        return ShellOutput("curl -sk -D - -o body.html --max-time 10 " + arguments + " 2>&1", status);
    }
    std::string Notices()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_notices;
    }

    std::mutex m_mutex;
    std::string m_notices;
    RemoteServer m_server{[this](const std::string& text) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_notices += text + "\n";
    }};
    std::string m_base;
};

const int kArgc = 1;
char kName[] = "server_tests";
char* kArgv[] = {kName, nullptr};
int argc = kArgc;
QCoreApplication* const kApp = new QCoreApplication(argc, kArgv);  // the threads' event loops need one

TEST_F(RemoteServerTest, EveryPageIsBehindALoginWithAStrictCookieAndLogoutEndsIt)
{
    EXPECT_NE(Curl(m_base + "/").find("HTTP/1.1 303"), std::string::npos);
    const std::string wrong = Curl("--data 'name=%E5%BA%97%E4%B8%BB&password=wrong+horse' " + m_base + "/login");
    EXPECT_NE(wrong.find("HTTP/1.1 401"), std::string::npos) << wrong;
    const std::string right = Curl("--data 'name=%E5%BA%97%E4%B8%BB&password=correct+horse' " + m_base + "/login");
    EXPECT_NE(right.find("HTTP/1.1 303"), std::string::npos) << right;
    std::smatch cookie;
    ASSERT_TRUE(std::regex_search(right, cookie, std::regex("set-cookie: lumaro_session=([0-9a-f]{64}); Path=/; HttpOnly; "
                                                            "Secure; SameSite=Strict", std::regex::icase)))
        << right;
    const std::string session = " -H 'Cookie: lumaro_session=" + cookie[1].str() + "' ";
    EXPECT_NE(Curl(session + m_base + "/").find("HTTP/1.1 200"), std::string::npos);
    EXPECT_NE(ShellOutput("cat body.html").find("已登录：店主"), std::string::npos);
    for (const char* path : {"/../db/dbvardo.db", "/%2e%2e/db/dbvardo.db", "/db/dbvardo.db", "//etc/passwd"}) {
        EXPECT_NE(Curl("--path-as-is" + session + m_base + path).find("HTTP/1.1 404"), std::string::npos) << path;
        EXPECT_EQ(ShellOutput("cat body.html").find("SQLite format"), std::string::npos) << path;
    }
    EXPECT_NE(Curl("-X POST" + session + m_base + "/logout").find("HTTP/1.1 303"), std::string::npos);
    EXPECT_NE(Curl(session + m_base + "/").find("HTTP/1.1 303"), std::string::npos) << "the session ended";
    EXPECT_NE(Notices().find("远程登录：店主（127.0.0.1）"), std::string::npos) << Notices();
    EXPECT_NE(Notices().find("远程登录失败：127.0.0.1（1 次）"), std::string::npos) << Notices();
    EXPECT_EQ(Notices().find("horse"), std::string::npos);
}

TEST_F(RemoteServerTest, OnlyTls12OrLaterIsSpokenAndPlainHttpGetsNoPage)
{
    // Offered at the client's lowest security level, TLS 1.0 and 1.1 still get no handshake (the server's
    // setting; Debian's OpenSSL 3 has the same floor).
    const auto handshake = [this](const char* version) {
        return ShellOutput("openssl s_client -connect 127.0.0.1:" + std::to_string(m_server.Port()) + " " + version +
                           " -cipher 'DEFAULT@SECLEVEL=0' </dev/null 2>&1");
    };
    for (const char* old : {"-tls1", "-tls1_1"})
        EXPECT_EQ(handshake(old).find("BEGIN CERTIFICATE"), std::string::npos) << old << " refused";
    for (const char* spoken : {"-tls1_2", "-tls1_3"})
        EXPECT_NE(handshake(spoken).find("BEGIN CERTIFICATE"), std::string::npos) << spoken << " spoken";
    int status = 0;
    const std::string plain = Curl("http://127.0.0.1:" + std::to_string(m_server.Port()) + "/login", &status);
    EXPECT_NE(status, 0) << plain;
    EXPECT_EQ(plain.find("HTTP/1.1 200"), std::string::npos) << plain;
}

TEST_F(RemoteServerTest, AfterFiveWrongPasswordsTheNextTryIsToldToWait)
{
    const std::string wrong = "--data 'name=guest&password=wrong+horse' " + m_base + "/login";
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(Curl(wrong).find("HTTP/1.1 401"), std::string::npos) << "five tries are free";
    // The waits double (1 s, 2 s, 4 s …): however slow this machine checks
    // a password, a try soon lands within one.
    bool told = false;
    for (int i = 0; i < 8 && !told; ++i)
        told = Curl(wrong).find("HTTP/1.1 429") != std::string::npos;
    EXPECT_TRUE(told);
    EXPECT_NE(ShellOutput("cat body.html").find("秒后再试"), std::string::npos);
    EXPECT_NE(Notices().find("远程登录失败：127.0.0.1（5 次）"), std::string::npos) << Notices();
}

}  // namespace
