#include "NetworkCameras.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket listening on 127.0.0.1:port.
int ListenOnLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = Loopback(port);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 16);
    return fd;
}

}  // namespace

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

MjpegHttpCamera::MjpegHttpCamera(int port, int rate) : m_port(port)
{
    const std::string source = "testsrc2=size=320x240:rate=" + std::to_string(rate);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/cam.mjpg";
    m_pid = fork();
    if (m_pid == 0) {
        execlp("ffmpeg", "ffmpeg", "-loglevel", "quiet", "-re", "-f", "lavfi", "-i", source.c_str(), "-c:v", "mjpeg",
               "-q:v", "5", "-f", "mpjpeg", "-listen", "1", url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // until it listens
}

MjpegHttpCamera::~MjpegHttpCamera()
{
    Kill();
}

std::string MjpegHttpCamera::Entry(const std::string& userInfo) const
{
    return "mpjpeg:http://" + (userInfo.empty() ? std::string() : userInfo + "@") + "127.0.0.1:" +
           std::to_string(m_port) + "/cam.mjpg";
}

void MjpegHttpCamera::Pause()
{
    ::kill(m_pid, SIGSTOP);
}

void MjpegHttpCamera::Resume()
{
    ::kill(m_pid, SIGCONT);
}

void MjpegHttpCamera::Kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

bool RtspCamera::Available()
{
    return std::system("/usr/bin/python3 -c 'import gi; gi.require_version(\"GstRtspServer\", \"1.0\"); "
                       "from gi.repository import GstRtspServer' >/dev/null 2>&1") == 0;
}

RtspCamera::RtspCamera(int port) : m_port(port)
{
    const std::string service = std::to_string(port);
    m_pid = fork();
    if (m_pid == 0) {
        execl("/usr/bin/python3", "python3", RTSP_CAMERA_SCRIPT, service.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // until it serves
}

RtspCamera::~RtspCamera()
{
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

std::string RtspCamera::Entry() const
{
    return "rtsp:rtsp://127.0.0.1:" + std::to_string(m_port) + "/live";
}

RefusingCamera::RefusingCamera(int port)
{
    m_fd = ListenOnLoopback(port);
    m_thread = std::thread([this] { Serve(); });
}

RefusingCamera::~RefusingCamera()
{
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
}

void RefusingCamera::Serve()
{
    static const char kRefusal[] = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"cam\"\r\n"
                                   "Content-Length: 0\r\nConnection: close\r\n\r\n";
    while (!m_stop) {
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        char request[4096];
        const ssize_t n = ::recv(client, request, sizeof request - 1, 0);
        if (n > 0) {
            const auto now = std::chrono::steady_clock::now();
            m_tries += now - m_last > std::chrono::milliseconds(300);
            m_last = now;
            ++m_requests;
            ::send(client, kRefusal, sizeof kRefusal - 1, MSG_NOSIGNAL);
        }
        ::close(client);
    }
}

SilentServer::SilentServer(int port)
{
    m_fd = ListenOnLoopback(port);
}

SilentServer::~SilentServer()
{
    ::close(m_fd);
}
