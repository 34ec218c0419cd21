#include "CommandLine.h"
#include "ErrorLog.h"

#include "ClipExporter.h"
#include "Database.h"
#include "ExportRange.h"
#include "Schema.h"

#include <QCommandLineParser>
#include <QStringList>

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QCommandLineOption kHelp({"h", "help"}, "Show this help and end.");
const QCommandLineOption kVersion({"v", "version"}, "Show the version and end.");
const QCommandLineOption kCreate("create-database",
                                 "Make db/dbvardo.db in the current folder (never touches an existing file) and end.");
const QCommandLineOption kHome("home", "Work in $LUMARO_HOME (default ~/Lumaro) instead of the current folder, making "
                                       "it and its database on the first start (also with --export).");
const QCommandLineOption kExport("export", "Export a time range of one camera as an MP4 clip with a .sha256 file "
                                           "beside it, without a window, and end.");
const QCommandLineOption kCamera("camera", "With --export: the camera, 1 to 4.", "N");
const QCommandLineOption kFrom("from", "With --export: the range's start, local time.", "YYYY-MM-DD HH:MM:SS");
const QCommandLineOption kTo("to", "With --export: the range's end, local time.", "YYYY-MM-DD HH:MM:SS");
const QCommandLineOption kOutput("output", "With --export: the clip to write.", "FILE.mp4");

void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription("Lumaro, a video-surveillance recorder for up to four cameras. Without options it "
                                     "opens its window; it works in the current folder (its database is db/dbvardo.db).");
    parser.addOptions({kHelp, kVersion, kHome, kCreate, kExport, kCamera, kFrom, kTo, kOutput});
}

QString StampedLumaro()
{
    return QString::fromStdString(ErrorTimeStamp()) + "lumaro: ";
}

void Say(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int CreateDatabaseCommand()
{
    std::string error;
    if (!CreateDatabaseFile(kDatabaseFile, &error)) {
        LogError("cannot create the database: %s\n", error.c_str());
        return 1;
    }
    std::printf("lumaro: created %s\n", kDatabaseFile);
    return 0;
}

// The database layer echoes every statement on standard output, for the
// window's log; a script that exports wants its standard output for itself.
class QuietStdout {
public:
    QuietStdout()
    {
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDOUT_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDOUT_FILENO);
            ::close(m_saved);
        }
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int m_saved = -1;
};

bool ReadExportRequest(const CommandLine& command, ExportRequest* request, QString* error)
{
    bool number = false;
    request->camera = command.camera.toInt(&number);
    const std::optional<TimeValue> from = ParseLocalTime(command.from.toStdString());
    const std::optional<TimeValue> to = ParseLocalTime(command.to.toStdString());
    if (!number || request->camera < 1 || request->camera > 4)
        *error = QString("--camera \"%1\": the camera must be 1, 2, 3 or 4").arg(command.camera);
    else if (!from)
        *error = QString("--from \"%1\" is not a time of the form YYYY-MM-DD HH:MM:SS").arg(command.from);
    else if (!to)
        *error = QString("--to \"%1\" is not a time of the form YYYY-MM-DD HH:MM:SS").arg(command.to);
    else if (command.output.isEmpty())
        *error = "--output: no file given";
    if (!error->isEmpty())
        return false;
    request->from = *from;
    request->to = *to;
    request->output = command.output.toStdString();
    return true;
}

int ExportCommand(const CommandLine& command)
{
    ExportRequest request;
    QString error;
    if (!ReadExportRequest(command, &request, &error)) {
        Say(stderr, StampedLumaro() + "export: " + error + "\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);  // the encoder's banner is no news to a script
    ExportResult result;
    bool connected = false;
    {
        QuietStdout quiet;
        connected = InitDatabaseConnect() == 0;
        if (connected)
            result = ClipExporter::Run(request);
    }
    if (!connected)
        result.error = std::string("no usable database at ") + kDatabaseFile + " (run this in Lumaro's working folder)";
    if (!result.ok) {
        Say(stderr, StampedLumaro() + "export: " + QString::fromStdString(result.error) + "\n");
        return 1;
    }
    std::printf("lumaro: exported %lld pictures to %s; its checksum is in %s\n", result.pictures,
                request.output.c_str(), result.checksumFile.c_str());
    return 0;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv)
{
    QCommandLineParser parser;
    AddOptions(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine command;
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        command.mode = CommandMode::Usage;
        command.error = parser.positionalArguments().isEmpty() ? parser.errorText()
                                                               : "unexpected argument " + parser.positionalArguments().first();
        return command;
    }
    if (parser.isSet(kHelp))
        command.mode = CommandMode::Help;
    else if (parser.isSet(kVersion))
        command.mode = CommandMode::Version;
    else if (parser.isSet(kCreate))
        command.mode = CommandMode::CreateDatabase;
    else if (parser.isSet(kExport))
        command.mode = CommandMode::Export;
    command.home = parser.isSet(kHome);
    command.camera = parser.value(kCamera);
    command.from = parser.value(kFrom);
    command.to = parser.value(kTo);
    command.output = parser.value(kOutput);
    return command;
}

QString UsageText()
{
    QCommandLineParser parser;
    AddOptions(parser);
    return parser.helpText().replace(QString("<executable_name>"), QString("lumaro"));  // no application here
}

int RunCommand(const CommandLine& command)
{
    switch (command.mode) {
    case CommandMode::Help:
        Say(stdout, UsageText());
        return 0;
    case CommandMode::Version:
        Say(stdout, "Lumaro " LUMARO_VERSION "\n");
        return 0;
    case CommandMode::CreateDatabase:
        return CreateDatabaseCommand();
    case CommandMode::Export:
        return ExportCommand(command);
    case CommandMode::Usage:
        Say(stderr, StampedLumaro() + command.error + "\n\n" + UsageText());
        return 2;
    case CommandMode::Window:
        break;
    }
    return 0;
}
