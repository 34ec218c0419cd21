#include "ExitSignals.h"
#include "ErrorLog.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
constexpr int kExitSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnExitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}

bool InstallHandler(int signalNumber)
{
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

}  // namespace

bool CatchExitSignals()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        LogError("no exit signal handling: %s\n", std::strerror(errno));
        return false;
    }
    // SIGHUP: the terminal that started the program was closed.
    for (int signalNumber : kExitSignals) {
        if (!InstallHandler(signalNumber))
            LogError("cannot catch signal %d: %s\n", signalNumber, std::strerror(errno));
    }
    return true;
}

ExitSignals::ExitSignals(QObject* parent) : QObject(parent)
{
    if (!CatchExitSignals())
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitSignals::OnReadable);
}

ExitSignals::~ExitSignals()
{
    if (m_notifier == nullptr)
        return;
    for (int signalNumber : kExitSignals)
        std::signal(signalNumber, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void ExitSignals::OnReadable()
{
    char bytes[16];
    while (::read(g_pipe[1], bytes, sizeof bytes) > 0) {
    }
    emit ExitRequested();
}
