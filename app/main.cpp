// Entry point of lumaro: the window, or a command of the command line.
#include "CommandLine.h"
#include "ErrorLog.h"
#include "ExitSignals.h"
#include "LibraryMessages.h"
#include "WorkingFolder.h"
#include "VardoApp.h"

#include "Database.h"

#include <QFileInfo>

#include <cstdlib>
#include <unistd.h>

namespace {
constexpr const char* kDatabaseFolder = "db";
}  // namespace

int main(int argc, char** argv)
{
    StampLibraryMessages();
    const CommandLine command = ParseCommandLine(argc, argv);
    if (command.mode == CommandMode::Window)
        CatchExitSignals();
    // --create-database makes its database where --home says, else here.
    const bool creates = command.mode == CommandMode::CreateDatabase;
    const bool accounts = command.mode == CommandMode::AddUser || command.mode == CommandMode::RemoveUser ||
                          command.mode == CommandMode::ListUsers || command.mode == CommandMode::Fingerprint;
    const bool usesFolder = command.mode == CommandMode::Window || command.mode == CommandMode::Export ||
                            command.mode == CommandMode::Events || accounts || (creates && command.home);
    // The window started where no working folder is (no db/ folder: a
    // terminal in the home folder) works in the user's one, as --home does.
    const bool home = command.home || (command.mode == CommandMode::Window && ::access(kDatabaseFolder, F_OK) != 0);
    if (command.home && !command.homeFolder.isEmpty())  // as LUMARO_HOME would name it, for every mode
        ::setenv("LUMARO_HOME", QFileInfo(command.homeFolder).absoluteFilePath().toLocal8Bit().constData(), 1);
    std::string error;
    if (home && usesFolder && !EnterHomeWorkingFolder(&error, !creates)) {
        LogError("%s", error.c_str());
        return 1;
    }
    if (command.mode != CommandMode::Window)
        return RunCommand(command);
    CvardoApp app(argc, argv);
    return app.InitInstance();
}
