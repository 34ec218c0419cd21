// The command line of the real binary, without a display.
#include "store/TempDatabase.h"

#include <cstdio>
#include <memory>
#include <sys/wait.h>

namespace {

// Standard output and standard error of `arguments`, and the exit code.
struct Outcome {
    std::string out, err;
    int status = -1;
};

Outcome RunLumaro(const std::string& arguments, const std::string& dir)
{
    const std::string err = dir + "/stderr.txt";
    const std::string command = "env -u DISPLAY -u QT_QPA_PLATFORM " + std::string(LUMARO_BINARY) + " " + arguments +
                                " 2>'" + err + "'";
    Outcome outcome;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        outcome.out += buffer;
    const int rc = pclose(pipe.release());
    outcome.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(err.c_str(), "r"), &std::fclose);
    while (in && std::fgets(buffer, sizeof buffer, in.get()))
        outcome.err += buffer;
    return outcome;
}

using CommandLineTest = TempDatabaseTest;

TEST_F(CommandLineTest, HelpVersionAndUnknownOptionsNeedNoDisplay)
{
    const Outcome help = RunLumaro("--help", m_dir);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--create-database", "--export", "--camera", "--from", "--to", "--output", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const Outcome version = RunLumaro("--version", m_dir);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Lumaro 1.0.1\n");
    const Outcome unknown = RunLumaro("--record-everything", m_dir);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("record-everything"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("Usage: lumaro"), std::string::npos) << unknown.err;
}

}  // namespace
