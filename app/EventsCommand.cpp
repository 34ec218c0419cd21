#include "EventsCommand.h"

#include "Database.h"
#include "ErrorLog.h"
#include "ExportRange.h"
#include "MotionStore.h"
#include "QuietStdout.h"

#include <QDate>

#include <cstdio>

namespace {

void Say(const QString& text)
{
    std::fputs((ErrorTimeStamp() + "lumaro: events: " + text.toStdString() + "\n").c_str(), stderr);
    std::fflush(stderr);
}

QString CheckEventsRequest(const CommandLine& command, int* camera)
{
    const std::optional<std::vector<int>> cameras = ParseCameraList(command.camera.toStdString());
    if (!cameras || cameras->size() != 1)
        return QString("--camera \"%1\": the camera must be 1, 2, 3 or 4").arg(command.camera);
    if (!QDate::fromString(command.day, "yyyy-MM-dd").isValid())
        return QString("--day \"%1\" is not a day of the form YYYY-MM-DD").arg(command.day);
    *camera = cameras->front();
    return QString();
}

}  // namespace

int EventsCommand(const CommandLine& command)
{
    int camera = 0;
    const QString error = CheckEventsRequest(command, &camera);
    if (!error.isEmpty()) {
        Say(error);
        return 2;
    }
    std::vector<StoredMotionEvent> events;
    {
        QuietStdout quiet;
        if (InitDatabaseConnect() != 0)
            camera = 0;
        else
            events = ReadMotionEvents(camera, command.day.toStdString());
    }
    if (camera == 0) {
        Say(QString("no usable database at %1 (run this in Lumaro's working folder, or add --home for $LUMARO_HOME, "
                    "default ~/Lumaro)").arg(kDatabaseFile));
        return 1;
    }
    for (const StoredMotionEvent& event : events)
        std::printf("%s\n", MotionEventLine(event).c_str());
    std::fflush(stdout);
    return 0;
}
