#include "ProgramRun.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

pid_t StartProgram(const std::string& dir, const std::string& cameras, const std::string& stdoutFile,
                   const std::vector<std::pair<std::string, std::string>>& environment, const std::string& stderrFile,
                   const std::vector<std::string>& arguments)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    if (cameras.empty())
        unsetenv("LUMARO_CAPTURE_DEVICES");
    else
        setenv("LUMARO_CAPTURE_DEVICES", cameras.c_str(), 1);
    for (const auto& [name, value] : environment) {
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    if (!stdoutFile.empty()) {
        const int fd = ::open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, STDOUT_FILENO);
    }
    if (!stderrFile.empty()) {
        const int fd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, STDERR_FILENO);
    }
    std::vector<char*> argv{const_cast<char*>(LUMARO_BINARY)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(LUMARO_BINARY, argv.data());
    _exit(127);
}

int StopProgram(pid_t child, int signal, int timeoutMs)
{
    if (::kill(child, signal) != 0)
        return -1;
    int status = 0;
    pid_t ended = 0;
    for (int waited = 0; waited < timeoutMs && ended == 0; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ended = waitpid(child, &status, WNOHANG);
    }
    if (ended == 0) {
        ::kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

BusyLoops::BusyLoops(int perCore)
{
    const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    for (long i = 0; i < cores * perCore; ++i) {
        const pid_t child = fork();
        if (child == 0)
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        if (child > 0)
            m_children.push_back(child);
    }
}

BusyLoops::~BusyLoops()
{
    for (const pid_t child : m_children)
        ::kill(child, SIGKILL);
    for (const pid_t child : m_children)
        waitpid(child, nullptr, 0);
}

Outcome RunLumaro(const std::string& arguments, const std::string& dir, const std::string& environment)
{
    const std::string err = dir + "/stderr.txt";
    const std::string command = "env -u DISPLAY -u QT_QPA_PLATFORM " + environment + " " + std::string(LUMARO_BINARY) + " " + arguments +
                                " 2>'" + err + "'";
    Outcome outcome;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        outcome.out += buffer;
    const int rc = pclose(pipe.release());
    outcome.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(err.c_str(), "r"), &std::fclose);
    while (in && std::fgets(buffer, sizeof buffer, in.get()))
        outcome.err += buffer;
    return outcome;
}
