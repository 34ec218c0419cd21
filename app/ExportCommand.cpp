#include "ExportCommand.h"
#include "QuietStdout.h"
#include "ErrorLog.h"

#include "ClipExporter.h"
#include "Database.h"
#include "ExportOutput.h"
#include "ExportRange.h"
#include "ExportReport.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_cancel{false};
volatile std::sig_atomic_t g_signal = 0;

void OnExitSignal(int signal)
{
    g_signal = signal;
    g_cancel = true;
}

// SIGINT, SIGTERM and SIGHUP end the export at the next picture; what it
// wrote goes with it.
void CatchExitSignals()
{
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void Say(const std::string& text)
{
    std::fputs((ErrorTimeStamp() + "lumaro: export: " + text + "\n").c_str(), stderr);
    std::fflush(stderr);
}

// On a terminal, a line that keeps saying how far the export is; nothing
// when standard error goes to a file or a pipe.
class ProgressLine {
public:
    explicit ProgressLine(int camera) : m_camera(camera), m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine()
    {
        if (m_shown && m_drawn)
            std::fputs("\r\033[K", stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(double fraction, long long pictures)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now - m_last < std::chrono::milliseconds(250))
            return;
        m_last = now;
        m_drawn = true;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::fprintf(stderr, "\rlumaro: export camera %d: %3d %% (%.0f pictures/s)\033[K", m_camera,
                     static_cast<int>(fraction * 100), seconds > 0 ? pictures / seconds : 0.0);
        std::fflush(stderr);
    }

private:
    int m_camera;
    bool m_shown;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last = m_start;
};

struct ExportPlan {
    std::vector<int> cameras;
    ExportRequest request;  // all but the camera and, for several, the output
};

bool ReadExportPlan(const CommandLine& command, ExportPlan* plan, QString* error)
{
    const std::optional<std::vector<int>> cameras = ParseCameraList(command.camera.toStdString());
    const std::optional<TimeValue> from = ParseLocalTime(command.from.toStdString());
    const std::optional<TimeValue> to = ParseLocalTime(command.to.toStdString());
    if (!cameras)
        *error = QString("--camera \"%1\": the camera must be 1, 2, 3 or 4, or several such as 1,3").arg(command.camera);
    else if (!from)
        *error = QString("--from \"%1\" is not a time of the form YYYY-MM-DD HH:MM:SS").arg(command.from);
    else if (!to)
        *error = QString("--to \"%1\" is not a time of the form YYYY-MM-DD HH:MM:SS").arg(command.to);
    else if (command.output.isEmpty())
        *error = "--output: no file given";
    if (!error->isEmpty())
        return false;
    plan->cameras = *cameras;
    plan->request = {0, *from, *to, command.output.toStdString(), command.overwrite,
                     "命令行：" + command.invocation.toStdString()};
    return true;
}

void ReportSpans(int camera, const char* what, const std::vector<TimeSpan>& spans)
{
    for (const TimeSpan& span : spans)
        Say("camera " + std::to_string(camera) + ": " + what + " from " + PreciseText(span.from) + " to " +
            PreciseText(span.to) + StrFormat(" (%.2f s)", static_cast<double>(span.to - span.from) / kMicrosPerSecond));
}

// One camera's clip; the exit status it gives.
int ExportCamera(ExportRequest request)
{
    ExportResult result;
    {
        QuietStdout quiet;
        ProgressLine progress(request.camera);
        result = ClipExporter::Run(request, &g_cancel,
                                   [&progress](double fraction, long long pictures) { progress.Show(fraction, pictures); });
    }
    if (g_signal != 0) {
        Say(StrFormat("ended by signal %d; nothing of the export was kept", static_cast<int>(g_signal)));
        return 128 + g_signal;
    }
    if (!result.ok) {
        Say(result.error);
        return result.refused ? 3 : 1;
    }
    ReportSpans(request.camera, "no recording", result.gaps);
    ReportSpans(request.camera, "damaged pictures", result.damage);
    std::printf("lumaro: exported %lld pictures to %s, its report %s and their checksums %s\n", result.pictures,
                request.output.c_str(), result.reportFile.c_str(), result.checksumFile.c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int ExportCommand(const CommandLine& command)
{
    ExportPlan plan;
    QString error;
    if (!ReadExportPlan(command, &plan, &error)) {
        Say(error.toStdString());
        return 2;
    }
    CatchExitSignals();
    av_log_set_level(AV_LOG_FATAL);  // the encoder's banner and the decoder's damage notes: the report says it
    bool connected = false;
    {
        QuietStdout quiet;
        connected = InitDatabaseConnect() == 0;
    }
    if (!connected) {
        Say(std::string("no usable database at ") + kDatabaseFile +
            " (run this in Lumaro's working folder, or add --home for $LUMARO_HOME, default ~/Lumaro)");
        return 1;
    }
    int status = 0;
    for (int camera : plan.cameras) {
        ExportRequest request = plan.request;
        request.camera = camera;
        if (plan.cameras.size() > 1)
            request.output = CameraClipName(request.output, camera);
        const int rc = ExportCamera(request);
        status = status == 0 ? rc : status;
        if (g_signal != 0)
            break;
    }
    return status;
}
