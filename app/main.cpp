// Entry point of lumaro: the window, or a command of the command line.
#include "CommandLine.h"
#include "ErrorLog.h"
#include "LibraryMessages.h"
#include "WorkingFolder.h"
#include "VardoApp.h"

int main(int argc, char** argv)
{
    StampLibraryMessages();
    const CommandLine command = ParseCommandLine(argc, argv);
    const bool usesFolder = command.mode == CommandMode::Window || command.mode == CommandMode::Export;
    std::string error;
    if (command.home && usesFolder && !EnterHomeWorkingFolder(&error)) {
        LogError("%s", error.c_str());
        return 1;
    }
    if (command.mode != CommandMode::Window)
        return RunCommand(command);
    CvardoApp app(argc, argv);
    return app.InitInstance();
}
