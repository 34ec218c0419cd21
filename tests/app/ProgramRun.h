// The real lumaro binary run offscreen in a test's folder, with virtual cameras.
#pragma once

#include <string>
#include <sys/types.h>

#include <utility>
#include <vector>

// Starts lumaro in the current folder; its profile lives in `dir`/config and
// its standard output goes to `stdoutFile` when given. Empty `cameras`: no
// device list, the program looks for V4L2 devices. `environment`: more
// variables for it (an empty value removes one). Its standard error goes to
// `stderrFile` when given; `arguments` follow the program's name.
pid_t StartProgram(const std::string& dir, const std::string& cameras, const std::string& stdoutFile = {},
                   const std::vector<std::pair<std::string, std::string>>& environment = {},
                   const std::string& stderrFile = {}, const std::vector<std::string>& arguments = {});

// Standard output and standard error of lumaro `arguments` run to its end
// in the current folder without a display, and its exit code.
struct Outcome {
    std::string out, err;
    int status = -1;
};
Outcome RunLumaro(const std::string& arguments, const std::string& dir, const std::string& environment = {});

// Sends `signal` and waits up to `timeoutMs` for the end. The exit code, or
// -1 when it did not end by itself (it is then killed) or ended by a signal.
int StopProgram(pid_t child, int signal, int timeoutMs = 10000);

// A busy PC: `perCore` processes per core that only spin, for as long as
// the object lives.
class BusyLoops {
public:
    explicit BusyLoops(int perCore);
    ~BusyLoops();
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    std::vector<pid_t> m_children;
};
