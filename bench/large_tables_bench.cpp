// A history table of a camera with a bad cable: a new file every few seconds
// for months. Opens the history dialog on it and runs a retention sweep of
// many due rows (with real files), as the main window runs it: a batch per
// turn of the event loop.
//   large_tables_bench [rows [due]]   (default 1000000 and 100000)
#include "BenchSupport.h"
#include "Database.h"
#include "RetentionSweep.h"
#include "TextFormat.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"

#include <QApplication>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

constexpr TimeValue kFirst = 1700000000;  // 2023-11-14
constexpr TimeValue kStep = 8;            // seconds between two files

long ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// Rows in time order; the first `due` of them have files of their own.
void FillDatabase(long rows, long due)
{
    const std::string folder = "rec";
    Shell("mkdir -p " + folder);
    ExecuteCommand(StrFormat(
        "with recursive n(i) as (select 0 union all select i+1 from n where i<%ld) "
        "insert into video_save_history (capdrive, capdrive_name, video_save_path, start_time) "
        "select i%%4+1, '', '%s/f'||i||'.mpg', datetime(%lld+i*%lld, 'unixepoch', 'localtime') from n",
        rows - 1, folder.c_str(), static_cast<long long>(kFirst), static_cast<long long>(kStep)));
    for (long i = 0; i < due; ++i) {
        const int fd = ::open((folder + "/f" + std::to_string(i) + ".mpg").c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

void OpenHistory()
{
    const long before = PeakMemoryMiB();
    CVideoQueryDlg dlg;
    const double start = WallSeconds();
    dlg.OnInitDialog();
    const double open = 1000 * (WallSeconds() - start);
    Result("large table: history dialog open", open, "ms", std::to_string(dlg.RecordList()->rowCount()) + " rows shown");
    Result("large table: history dialog peak memory", static_cast<double>(PeakMemoryMiB()), "MiB",
           "was " + std::to_string(before) + " before");
}

void Sweep(long due)
{
    const TimeValue now = kFirst + due * kStep + 30 * 86400;  // the first `due` rows are 30 days old
    const long residentBefore = ResidentMiB();
    long residentMax = residentBefore;
    double longest = 0, total = 0;
    int steps = 0;
    CRetentionSweep sweep;
    sweep.Start("30", now, ".");
    for (bool more = true; more; ++steps) {
        const double start = WallSeconds();
        more = sweep.Step();
        const double spent = 1000 * (WallSeconds() - start);
        longest = std::max(longest, spent);
        total += spent;
        residentMax = std::max(residentMax, ResidentMiB());
        QApplication::processEvents();
    }
    const std::string left = FieldText(*ExecuteCommand("select count(*) as n from video_save_history"), "n");
    Result("large table: sweep, longest step", longest, "ms", std::to_string(steps) + " steps, goal <= 250");
    Result("large table: sweep, all steps", total, "ms", left + " rows left");
    Result("large table: sweep, resident memory growth", static_cast<double>(residentMax - residentBefore), "MiB");
}

}  // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long due = argc > 2 ? std::atol(argv[2]) : 100000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MakeScratchDatabase("large_tables_bench");
    QApplication app(argc, argv);
    FillDatabase(rows, due);
    OpenHistory();
    Sweep(due);
    return 0;
}
