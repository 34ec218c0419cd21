// The command line of the real binary, without a display, and what it
// prints on standard error.
#include "Autostart.h"
#include "ProgramRun.h"
#include "Settings.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include <cstdio>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

int Mode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

using CommandLineTest = TempDatabaseTest;

TEST_F(CommandLineTest, HelpVersionAndUnknownOptionsNeedNoDisplay)
{
    const Outcome help = RunLumaro("--help", m_dir);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--create-database", "--home", "--export", "--camera", "--from", "--to", "--output", "--version",
                               "--events", "--day"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    // The manual page names every option --help names.
    std::ifstream manual(LUMARO_MANUAL);
    const std::string page((std::istreambuf_iterator<char>(manual)), std::istreambuf_iterator<char>());
    const std::regex option("  (--[a-z-]+)");
    for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), option); it != std::sregex_iterator(); ++it)
        EXPECT_NE(page.find(std::regex_replace((*it)[1].str(), std::regex("-"), "\\-")), std::string::npos)
            << (*it)[1] << " is missing from the manual page";
    const Outcome version = RunLumaro("--version", m_dir);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Lumaro " LUMARO_VERSION "\n");
    const Outcome home = RunLumaro("--home " + m_dir + "/named --events --camera 1 --day 2009-11-01", m_dir);
    EXPECT_EQ(home.status, 0) << "--home DIR is no unexpected argument: " << home.err;
    const Outcome unknown = RunLumaro("--record-everything", m_dir);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("record-everything"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("Usage: lumaro"), std::string::npos) << unknown.err;
    EXPECT_TRUE(std::regex_search(unknown.err, std::regex("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d lumaro: ")))
        << unknown.err;
}

// --events prints a day's events of one camera, earliest first, and only
// them; bad input is refused as the export refuses it.
TEST_F(CommandLineTest, EventsPrintsOneCamerasEventsOfADay)
{
    const char* const rows[][4] = {
        {"1", "2026-12-08 14:05:12.40", "0.18", "motion"}, {"1", "2026-12-08 09:00:00.00", "0.25", "tamper"},
        {"2", "2026-12-08 10:00:00.00", "0.5", "motion"},  {"1", "2026-12-09 00:00:01.00", "0.3", "motion"},
    };
    for (const auto& row : rows)
        ExecuteCommand(std::string("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak, kind) "
                                   "VALUES (") + row[0] + ", 'x.mpg', '" + row[1] + "', '" + row[1] + "', " + row[2] + ", '" +
                       row[3] + "')");
    const Outcome day = RunLumaro("--events --camera 1 --day 2026-12-08", m_dir);
    EXPECT_EQ(day.status, 0) << day.err;
    EXPECT_EQ(day.out, "2026-12-08 09:00:00.00\t2026-12-08 09:00:00.00\t0.25\ttamper\n"
                       "2026-12-08 14:05:12.40\t2026-12-08 14:05:12.40\t0.18\tmotion\n");
    const std::pair<const char*, int> bad[] = {
        {"--events --camera 5 --day 2026-12-08", 2}, {"--events --camera 1,2 --day 2026-12-08", 2},
        {"--events --camera 1 --day 2026-02-30", 2}, {"--events --camera 1", 2},
    };
    for (const auto& [arguments, status] : bad) {
        const Outcome refused = RunLumaro(arguments, m_dir);
        EXPECT_EQ(refused.status, status) << arguments;
        EXPECT_TRUE(refused.out.empty()) << arguments;
        EXPECT_NE(refused.err.find("lumaro: events: --"), std::string::npos) << refused.err;
    }
    std::filesystem::create_directory(m_dir + "/elsewhere");
    std::filesystem::current_path(m_dir + "/elsewhere");
    const Outcome noDatabase = RunLumaro("--events --camera 1 --day 2026-12-08", m_dir);
    std::filesystem::current_path(m_dir);
    EXPECT_EQ(noDatabase.status, 1);
    EXPECT_NE(noDatabase.err.find("--home"), std::string::npos) << noDatabase.err;
}

// From the desktop menu: the working folder is $LUMARO_HOME, or ~/Lumaro,
// made with its database on the first start; the window then asks for the
// recording folder. A folder that cannot be made says so.
TEST_F(CommandLineTest, HomeMakesTheWorkingFolderAndItsDatabaseOnTheFirstStart)
{
    const std::string chosen = m_dir + "/chosen/place";
    const std::string user = m_dir + "/user";
    // LUMARO_HOME when set, else HOME/Lumaro; plain `lumaro` where no working
    // folder is (no db/) does the same.
    const std::string elsewhere = m_dir + "/elsewhere";
    std::filesystem::create_directory(elsewhere);
    // --home DIR works in DIR whatever LUMARO_HOME says.
    struct Start {
        std::string lumaroHome, expected;
        std::vector<std::string> options;
        std::string folder;
    };
    for (const Start& start : {Start{chosen, chosen, {"--home"}, m_dir}, Start{"", user + "/Lumaro", {"--home"}, m_dir},
                               Start{m_dir + "/plain", m_dir + "/plain", {}, elsewhere},
                               Start{chosen, m_dir + "/named", {"--home", "named"}, m_dir},
                               Start{"", m_dir + "/named2", {"--home=" + m_dir + "/named2"}, elsewhere}}) {
        const std::string& expected = start.expected;
        std::filesystem::current_path(start.folder);
        const pid_t child = StartProgram(m_dir, "lavfi:testsrc2=size=160x120:rate=25", {},
                                         {{"LUMARO_HOME", start.lumaroHome}, {"HOME", user}}, {}, start.options);
        std::filesystem::current_path(m_dir);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // it waits on "no recording folder"
        for (const char* file : {"/db/dbvardo.db", "/db/dbvardo.db-wal", "/db/dbvardo.db-shm", "/db/dbvardo.lock"})
            EXPECT_EQ(Mode(expected + file), 0600) << expected + file << ": the cameras' passwords are in there";
        for (const char* folder : {"", "/db"})
            EXPECT_EQ(Mode(expected + folder), 0700) << expected + folder << ": a folder Lumaro made";
        EXPECT_EQ(StopProgram(child, SIGTERM), 0) << expected;
        EXPECT_TRUE(Exists(expected + "/db/dbvardo.db")) << expected;
    }
    WriteFile(m_dir + "/blocked");
    const Outcome blocked = RunLumaro("--home --export --camera 1 --from '2009-11-01 08:30:00' --to "
                                      "'2009-11-01 08:30:01' --output x.mp4",
                                      m_dir, "LUMARO_HOME='" + m_dir + "/blocked/x'");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("cannot use the working folder " + m_dir + "/blocked/x"), std::string::npos)
        << blocked.err;
}

// The words of a desktop entry's Exec value, as a session starting it reads
// them: the value's own escapes first, then the quoting of its arguments.
std::vector<std::string> ExecWords(const std::string& value)
{
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i)
        plain += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (quoted && c == '\\' && i + 1 < plain.size())
            word += plain[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == '%' && i + 1 < plain.size() && plain[i + 1] == '%')
            word += plain[i++];
        else if (c == ' ' && !quoted)
            words.push_back(std::move(word)), word.clear();
        else
            word += c;
    }
    words.push_back(word);
    return words;
}

// The entry written by 开机自动启动 starts the working folder in use, wherever
// the session starts it from and whatever LUMARO_HOME says there.
TEST_F(CommandLineTest, TheAutostartEntryStartsTheWorkingFolderInUse)
{
    setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
    QString error;
    ASSERT_TRUE(SetAutostart(true, &error, QStringLiteral(LUMARO_BINARY))) << error.toStdString();
    std::ifstream entry(m_dir + "/config/autostart/lumaro.desktop");
    std::string line;
    while (std::getline(entry, line) && line.rfind("Exec=", 0) != 0) {
    }
    const std::vector<std::string> words = ExecWords(line.substr(5));
    ASSERT_EQ(words.size(), 3u) << line;
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& word : words)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        setenv("HOME", (m_dir + "/login").c_str(), 1);
        unsetenv("LUMARO_HOME");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LUMARO_CAPTURE_DEVICES", "lavfi:testsrc2=size=160x120:rate=25", 1);
        if (::chdir("/") == 0 && std::freopen("/dev/null", "w", stdout) && std::freopen("/dev/null", "w", stderr))
            execv(argv[0], argv.data());
        _exit(127);
    }
    std::string cwd;
    for (int i = 0; i < 100 && cwd != m_dir; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cwd = std::filesystem::read_symlink("/proc/" + std::to_string(child) + "/cwd").string();
    }
    EXPECT_EQ(cwd, m_dir) << line;
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    EXPECT_FALSE(Exists(m_dir + "/login/Lumaro")) << "not the login's own working folder";
}

// A camera that cannot be opened: the program's own lines, FFmpeg's and
// Qt's all begin with the local time.
TEST_F(CommandLineTest, EveryLineOnStandardErrorStartsWithTheLocalTimeAndNoSecret)
{
    WriteSetting(kKeyVideoRootPath, m_dir);
    ::chmod("db/dbvardo.db", 0644);  // as an earlier version made it
    const std::string log = m_dir + "/stderr.log";
    const pid_t child = StartProgram(m_dir, "v4l2:" + m_dir + "/no-such-camera;lavfi:testsrc2=size=160x120:rate=25;"
                                     "mpjpeg:http://admin:p@ss/w0rd@127.0.0.1:9/video?user=admin&pwd=qu3ry",
                                     {}, {}, log);
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_EQ(StopProgram(child, SIGTERM), 0);
    std::ifstream in(log);
    const std::regex stamped("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d .+");
    int lines = 0, ours = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
        ours += line.find(" lumaro: ") != std::string::npos;
    }
    EXPECT_GE(ours, 1) << "the camera says so";
    EXPECT_GT(lines, ours) << "FFmpeg's own line about the device is there too";
    std::stringstream all;
    all << std::ifstream(log).rdbuf();
    EXPECT_NE(all.str().find("127.0.0.1"), std::string::npos) << "the camera that failed is named";
    for (const char* secret : {"ss/w0rd", "qu3ry"})
        EXPECT_EQ(all.str().find(secret), std::string::npos) << secret << "\n" << all.str();
    EXPECT_EQ(Mode("db/dbvardo.db"), 0600) << "tightened at start";
}

}  // namespace
