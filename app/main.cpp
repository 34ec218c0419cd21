// Entry point of lumaro: the window, or a command of the command line.
#include "CommandLine.h"
#include "LibraryMessages.h"
#include "VardoApp.h"

int main(int argc, char** argv)
{
    StampLibraryMessages();
    const CommandLine command = ParseCommandLine(argc, argv);
    if (command.mode != CommandMode::Window)
        return RunCommand(command);
    CvardoApp app(argc, argv);
    return app.InitInstance();
}
