// The remote view in the running program: on when the setting says so,
// answering a login over HTTPS while the cameras record, printing nothing
// of a password or a hash, and gone with SIGTERM like the rest.
#include "Accounts.h"
#include "ProgramRun.h"
#include "Settings.h"
#include "ShellOutput.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <thread>
#include <unistd.h>

class RemoteViewProgramTest : public TempDatabaseTest {};

TEST_F(RemoteViewProgramTest, TheServerRunsWithTheProgramAndEndsWithIt)
{
    std::filesystem::create_directory(m_dir + "/rec");
    WriteSetting(kKeyVideoRootPath, m_dir + "/rec");
    const std::string port = std::to_string(20000 + ::getpid() % 20000);
    WriteSetting(kKeyRemoteView, "on");
    WriteSetting(kKeyRemotePort, port);
    std::string error;
    ASSERT_TRUE(AddAccount("owner", "admin", "shop secret", &error)) << error;
    const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25", m_dir + "/out.txt", {},
                                     m_dir + "/err.txt");
    ASSERT_GT(child, 0);
    const std::string login = "curl -sk -o /dev/null -w '%{http_code}' --max-time 5 --data 'name=owner&password=shop+secret' "
                              "https://127.0.0.1:" + port + "/login";
    std::string answer;
    for (int i = 0; i < 100 && answer != "303"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        answer = ShellOutput(login);
    }
    EXPECT_EQ(answer, "303") << "logged in while the program runs";
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    EXPECT_NE(ShellOutput(login + "; echo \" rc=$?\"").find("rc=7"), std::string::npos) << "nothing listens after the end";
    const std::string printed = ShellOutput("cat '" + m_dir + "/out.txt' '" + m_dir + "/err.txt'");
    for (const char* secret : {"shop secret", "shop+secret", "argon2", "lumaro_session"})
        EXPECT_EQ(printed.find(secret), std::string::npos) << secret;
}
