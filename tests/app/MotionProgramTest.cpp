// Motion events as the running program stores them: a row as soon as an
// event begins, its end brought up to date while it lasts (so a kill loses
// at most seconds of it), and nothing from a zone left out.
#include "MotionZones.h"
#include "PictureClock.h"
#include "ProgramRun.h"
#include "Settings.h"
#include "TextFormat.h"
#include "store/TempDatabase.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

struct EventLine {
    std::string start, end, kind;
};

std::vector<EventLine> Events(int camera, const std::string& day, const std::string& dir)
{
    const Outcome outcome = RunLumaro("--events --camera " + std::to_string(camera) + " --day " + day, dir);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::vector<EventLine> lines;
    std::istringstream in(outcome.out);
    std::string start, end, peak, kind;
    while (std::getline(in, start, '\t') && std::getline(in, end, '\t') && std::getline(in, peak, '\t') &&
           std::getline(in, kind))
        lines.push_back({start, end, kind});
    return lines;
}

double SecondsBetween(const std::string& from, const std::string& to)
{
    const auto seconds = [](const std::string& text) {
        std::tm local{};
        local.tm_isdst = -1;
        strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &local);
        return static_cast<double>(std::mktime(&local)) + std::stod(text.substr(19));
    };
    return seconds(to) - seconds(from);
}

using MotionProgramTest = TempDatabaseTest;

TEST_F(MotionProgramTest, AnEventIsStoredFromItsStartAndAKillLosesSecondsOfIt)
{
    const std::string root = m_dir + "/rec";
    std::filesystem::create_directory(root);
    WriteSetting(kKeyVideoRootPath, root);
    WriteSetting(MotionZoneKey(1), "0,0,100,100");  // camera 2: the whole picture left out
    const std::string day = FormatLocalTime("%Y-%m-%d", std::time(nullptr));
    const pid_t child =
        StartProgram(m_dir, "lavfi:testsrc2=size=320x240:rate=25;lavfi:testsrc2=size=320x240:rate=25");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const std::vector<EventLine> early = Events(1, day, m_dir);
    ASSERT_EQ(early.size(), 1u) << "the moving picture's event is stored while it lasts";
    EXPECT_EQ(early[0].kind, "motion");
    std::this_thread::sleep_for(std::chrono::seconds(8));
    const std::vector<EventLine> later = Events(1, day, m_dir);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].start, early[0].start);
    EXPECT_GE(SecondsBetween(early[0].end, later[0].end), 4.0) << "its end follows it";
    const std::string killed = PreciseText(CurrentPreciseTime());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::vector<EventLine> kept = Events(1, day, m_dir);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_LE(SecondsBetween(kept[0].end, killed), 10.0) << "at most seconds of it are lost with the program";
    EXPECT_TRUE(Events(2, day, m_dir).empty()) << "a zone over the whole picture leaves no motion";
}

}  // namespace
