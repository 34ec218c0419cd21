#include "ShellOutput.h"

#include <cstdio>
#include <memory>
#include <sys/wait.h>

std::string ShellOutput(const std::string& command, int* status)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), &pclose);
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    const int rc = pipe ? pclose(pipe.release()) : -1;
    if (status != nullptr)
        *status = rc >= 0 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}
