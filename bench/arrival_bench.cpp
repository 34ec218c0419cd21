// How late a camera's reader thread learns that a picture arrived, against
// the kernel's own receive time (SO_TIMESTAMPNS) for the same bytes: a
// sender process writes a message every 40 ms over loopback TCP, and a
// thread that does nothing but read (as each camera's reader does) takes
// its time when recv returns. Beside it, in the same process, a thread
// works flat out (the decoding and encoding of the streaming threads), and
// two busy loops per core load the PC. The difference is what timing a
// picture by the reader costs over timing it by the kernel.
//   arrival_bench [seconds [busy loops per core]]   (default 30 and 2)
#include "BenchSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double Now()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

std::vector<pid_t> BusyLoops(int perCore)
{
    std::vector<pid_t> children;
    const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    for (long i = 0; i < cores * perCore; ++i) {
        const pid_t child = fork();
        if (child == 0)
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        children.push_back(child);
    }
    return children;
}

// A listening socket on loopback and its port.
int Listen(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    *port = ntohs(address.sin_port);
    return fd;
}

// The sender: a message every 40 ms, for `seconds`.
pid_t StartSender(int port, int seconds)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        _exit(1);
    char message[1024] = {};
    for (int i = 0; i < seconds * 25; ++i) {
        if (::send(fd, message, sizeof message, MSG_NOSIGNAL) <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    _exit(0);
}

// Reads until the sender ends; each read's delay after the kernel's stamp, in ms.
std::vector<double> ReadDelays(int fd)
{
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    std::vector<double> delays;
    char data[4096];
    char control[256];
    for (;;) {
        iovec io{data, sizeof data};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(fd, &message, 0) <= 0)
            return delays;
        const double taken = Now();
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec kernel{};
                std::memcpy(&kernel, CMSG_DATA(c), sizeof kernel);
                delays.push_back((taken - (kernel.tv_sec + kernel.tv_nsec / 1e9)) * 1000);
            }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    const int perCore = argc > 2 ? std::max(0, std::atoi(argv[2])) : 2;
    int port = 0;
    const int listener = Listen(&port);
    if (listener < 0)
        return 1;
    const std::vector<pid_t> busy = BusyLoops(perCore);
    std::atomic<bool> stop{false};
    std::thread worker([&stop] {  // the streaming thread's work beside the reader
        for (volatile double x = 0; !stop; x = x + 1) {
        }
    });
    const pid_t sender = StartSender(port, seconds);
    const int fd = ::accept(listener, nullptr, nullptr);
    std::vector<double> delays = ReadDelays(fd);
    stop = true;
    worker.join();
    waitpid(sender, nullptr, 0);
    for (const pid_t child : busy)
        ::kill(child, SIGKILL);
    for (const pid_t child : busy)
        waitpid(child, nullptr, 0);
    if (delays.empty())
        return 1;
    std::sort(delays.begin(), delays.end());
    const auto at = [&delays](double share) { return delays[static_cast<std::size_t>(share * (delays.size() - 1))]; };
    const std::string note = std::to_string(delays.size()) + " reads, " + std::to_string(perCore) + " busy loops a core";
    Result("arrival: reader after the kernel, median", at(0.5), "ms", note);
    Result("arrival: reader after the kernel, 99th percentile", at(0.99), "ms", note);
    Result("arrival: reader after the kernel, slowest", delays.back(), "ms", "the time rule allows 100");
    return 0;
}
