// The remote view's HTTPS server: Qt HttpServer over QSslServer, TLS 1.2 or
// later only, with the working folder's certificate (made on first use). It
// runs in a thread of its own, "remote-view", with logins checked in a
// second, "remote-login"; this object starts and joins both. A plain HTTP
// request on its port fails the TLS handshake and gets no page. What it
// answers is RemoteSite's.
#pragma once

#include "RemoteSite.h"

#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class QHttpServerResponder;
class QObject;
class QTcpSocket;
class SiteServer;

// The stored settings: remote_view is on only as "on"; remote_port is a
// number from 1 to 65535, else the default 8443.
inline constexpr std::uint16_t kDefaultRemotePort = 8443;
bool RemoteViewOn(const std::string& setting);
std::uint16_t ParseRemotePort(const std::string& setting);

class RemoteServer {
public:
    // `live`: the cameras the live page shows, asked on the server's thread.
    explicit RemoteServer(RemoteSite::Notice notice, LiveSource* live = nullptr);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    enum class Failure { kNone, kIdentity, kPort };
    // Listens on `port` (0: any free one) on every address; false with
    // `error` and what failed. The database must be the working folder's.
    bool Start(std::uint16_t port, std::string* error, Failure* failure = nullptr);
    void Stop();
    std::uint16_t Port() const { return m_port; }
    // Server thread: a login for the login thread, its reply for `responder`.
    void QueueLogin(SiteRequest asked, std::shared_ptr<QHttpServerResponder> responder, QTcpSocket* socket);

private:
    LoginThrottle m_throttle;
    Sessions m_sessions;
    RemoteSite m_site;
    QThread m_thread;
    std::unique_ptr<QObject> m_context;       // lives in the thread
    std::unique_ptr<SiteServer> m_server;     // made and deleted in the thread
    static constexpr int kLoginsWaiting = 8;
    QThread m_loginThread;                    // "remote-login": password checks
    std::unique_ptr<QObject> m_loginContext;  // lives in the login thread
    std::atomic<int> m_loginsWaiting{0};
    std::uint16_t m_port = 0;
};
