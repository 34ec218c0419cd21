#include "CommandLine.h"
#include "AccountCommands.h"
#include "ErrorLog.h"

#include "Database.h"
#include "EventsCommand.h"
#include "ExportCommand.h"
#include "Schema.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>

namespace {

const QCommandLineOption kHelp({"h", "help"}, "Show this help and end.");
const QCommandLineOption kVersion({"v", "version"}, "Show the version and end.");
const QCommandLineOption kCreate("create-database",
                                 "Make db/dbvardo.db in the current folder, or with --home in that one (never "
                                 "touches an existing file), and end.");
const QCommandLineOption kHome("home", "Work in DIR, or without it in $LUMARO_HOME (default ~/Lumaro), instead of the "
                                       "current folder, making it and its database on the first start (also with "
                                       "--export and --events). Written --home DIR or --home=DIR.");
const QCommandLineOption kExport("export", "Export a time range of one camera as an MP4 clip with a .sha256 file "
                                           "beside it, without a window, and end.");
const QCommandLineOption kCamera("camera", "With --export: the camera, 1 to 4, or several such as 1,3 (one clip each, "
                                           "the camera's number in its name). With --events: the camera, 1 to 4.", "N");
const QCommandLineOption kEvents("events", "Print one camera's motion events of a day, one a line: start, end, the "
                                           "largest share of the picture that moved (or changed) and the kind, motion "
                                           "or tamper (the lens covered or turned away), separated by tabs; then end.");
const QCommandLineOption kDay("day", "With --events: the day, local time.", "YYYY-MM-DD");
const QCommandLineOption kFrom("from", "With --export: the range's start, local time.", "YYYY-MM-DD HH:MM:SS");
const QCommandLineOption kTo("to", "With --export: the range's end, local time.", "YYYY-MM-DD HH:MM:SS");
const QCommandLineOption kOutput("output", "With --export: the clip to write; its report goes to FILE.txt, the "
                                           "checksums of both to FILE.mp4.sha256. An existing file is never replaced.",
                                 "FILE.mp4");
const QCommandLineOption kAddUser("add-user", "Add an account of the remote view; its password is read from standard "
                                             "input (twice on a terminal), its role given by --role.", "NAME");
const QCommandLineOption kRole("role", "With --add-user: admin (管理员) or viewer (观看).", "admin|viewer");
const QCommandLineOption kRemoveUser("remove-user", "Remove an account of the remote view.", "NAME");
const QCommandLineOption kListUsers("list-users", "Print the remote view's accounts, one a line: name, role and "
                                                  "when it was made, separated by tabs.");
const QCommandLineOption kFingerprint("remote-fingerprint", "Print the SHA-256 fingerprint of the remote view's "
                                                            "certificate (remote/cert.pem), making it when there is none.");
const QCommandLineOption kOverwrite("overwrite", "With --export: replace an earlier export of those names (only "
                                                 "regular files outside the recording and database folders).");

void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription("Lumaro, a video-surveillance recorder for up to four cameras. Without options it "
                                     "opens its window; it works in the current folder (its database is db/dbvardo.db).");
    parser.addOptions({kHelp, kVersion, kHome, kCreate, kExport, kEvents, kCamera, kFrom, kTo, kOutput, kOverwrite, kDay,
                       kAddUser, kRole, kRemoveUser, kListUsers, kFingerprint});
}

// The command as one would type it again: words with blanks or quotes in
// single quotes.
QString ShellWords(QStringList words)
{
    if (!words.isEmpty())
        words.first() = "lumaro";
    for (QString& word : words) {
        if (word.isEmpty() || word.contains(QRegularExpression("[^A-Za-z0-9_./:=,+-]")))
            word = "'" + word.replace("'", "'\\''") + "'";
    }
    return words.join(' ');
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

}  // namespace

namespace {

// --home takes a folder when one follows it ("--home DIR", "--home=DIR"),
// which the parser cannot say of an option: the folder is taken out first.
QString TakeHomeFolder(QStringList& arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(QLatin1String("--home="))) {
            const QString folder = arguments[i].mid(7);
            arguments[i] = QStringLiteral("--home");
            return folder;
        }
        if (arguments[i] == QLatin1String("--home") && i + 1 < arguments.size() &&
            !arguments[i + 1].startsWith(QLatin1Char('-')))
            return arguments.takeAt(i + 1);
    }
    return QString();
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv)
{
    QCommandLineParser parser;
    AddOptions(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QStringList typed = arguments;
    CommandLine command;
    command.homeFolder = TakeHomeFolder(arguments);
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
    else if (parser.isSet(kEvents))
        command.mode = CommandMode::Events;
    else if (parser.isSet(kAddUser))
        command.mode = CommandMode::AddUser;
    else if (parser.isSet(kRemoveUser))
        command.mode = CommandMode::RemoveUser;
    else if (parser.isSet(kListUsers))
        command.mode = CommandMode::ListUsers;
    else if (parser.isSet(kFingerprint))
        command.mode = CommandMode::Fingerprint;
    command.user = parser.isSet(kAddUser) ? parser.value(kAddUser) : parser.value(kRemoveUser);
    command.role = parser.value(kRole);
    command.home = parser.isSet(kHome);
    command.camera = parser.value(kCamera);
    command.from = parser.value(kFrom);
    command.to = parser.value(kTo);
    command.output = parser.value(kOutput);
    command.day = parser.value(kDay);
    command.overwrite = parser.isSet(kOverwrite);
    command.invocation = ShellWords(typed);
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
    case CommandMode::Events:
        return EventsCommand(command);
    case CommandMode::AddUser:
        return AddUserCommand(command);
    case CommandMode::RemoveUser:
        return RemoveUserCommand(command);
    case CommandMode::ListUsers:
        return ListUsersCommand();
    case CommandMode::Fingerprint:
        return FingerprintCommand();
    case CommandMode::Usage:
        Say(stderr, StampedLumaro() + command.error + "\n\n" + UsageText());
        return 2;
    case CommandMode::Window:
        break;
    }
    return 0;
}
