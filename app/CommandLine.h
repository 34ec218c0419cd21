// The program's command line, read with QCommandLineParser: the window by
// default (in the current folder, or with --home in the user's working
// folder), or one of --help, --version, --create-database, --export, --events
// and the remote view's --add-user, --remove-user, --list-users and
// --remote-fingerprint.
#pragma once

#include <QString>

enum class CommandMode {
    Window, Help, Version, CreateDatabase, Export, Events, AddUser, RemoveUser, ListUsers, Fingerprint, Usage
};

struct CommandLine {
    CommandMode mode = CommandMode::Window;
    bool home = false;  // work in $LUMARO_HOME (default ~/Lumaro), or in homeFolder
    QString homeFolder; // --home DIR or --home=DIR
    QString error;      // for Usage: what was wrong
    QString camera, from, to, output;
    QString day;  // --events --day
    bool overwrite = false;  // --export --overwrite
    QString invocation;      // the command line as typed, for an export's report
    QString user, role;      // --add-user NAME --role ROLE, --remove-user NAME
};

CommandLine ParseCommandLine(int argc, char** argv);
QString UsageText();
// Runs a mode other than Window; the process exit code.
int RunCommand(const CommandLine& command);
