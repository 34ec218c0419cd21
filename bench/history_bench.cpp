// The history dialog on a database of 100 000 recordings (four cameras,
// about 70 days): opening it, and filtering by camera and by day.
//   history_bench [rows]   (default 100000)
#include "BenchSupport.h"
#include "Database.h"
#include "TextFormat.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>

namespace {

void FillDatabase(int rows)
{
    ExecuteCommand("begin");
    const TimeValue first = 1700000000;
    for (int i = 0; i < rows; ++i) {
        const int camera = i % 4 + 1;
        const std::string start = FormatLocalTime("%Y-%m-%d %H:%M:%S", first + (i / 4) * 60);
        ExecuteCommand(StrFormat("insert into video_save_history (capdrive, video_save_path, start_time) "
                                 "values (%d, '/rec/dv(%d)-%s.mpg', '%s')", camera, camera, start.c_str(), start.c_str()));
    }
    ExecuteCommand("commit");
}

double Timed(const std::function<void()>& work)
{
    const double start = WallSeconds();
    work();
    return 1000 * (WallSeconds() - start);
}

void Choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MakeScratchDatabase("history_bench");
    QApplication app(argc, argv);
    FillDatabase(rows);
    CVideoQueryDlg dlg;
    const double open = Timed([&] { dlg.OnInitDialog(); });
    const int listed = dlg.RecordList()->rowCount();
    const double device = Timed([&] { Choose(dlg.DeviceCombo(), 2); });
    const int deviceRows = dlg.RecordList()->rowCount();
    const double day = Timed([&] { Choose(dlg.DateCombo(), 1); });
    const int dayRows = dlg.RecordList()->rowCount();
    Result("history: open with " + std::to_string(listed) + " rows", open, "ms");
    Result("history: camera 2 (" + std::to_string(deviceRows) + " rows)", device, "ms");
    Result("history: camera 2, one day (" + std::to_string(dayRows) + " rows)", day, "ms");
    return 0;
}
