#include "RemoteServer.h"

#include "Certificate.h"
#include "SiteReplies.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QPointer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QTimer>

namespace {

void WriteReply(QHttpServerResponder& responder, const SiteReply& reply)
{
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", QByteArray::fromStdString(reply.type));
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    responder.writeHeader("Content-Length", QByteArray::number(static_cast<qulonglong>(reply.body.size())));
    responder.writeBody(QByteArray::fromStdString(reply.body));
}

SiteRequest Asked(const QHttpServerRequest& request)
{
    SiteRequest asked;
    asked.method = request.method() == QHttpServerRequest::Method::Get    ? "GET"
                   : request.method() == QHttpServerRequest::Method::Post ? "POST"
                                                                          : "OTHER";
    asked.path = request.url().path(QUrl::FullyEncoded).toStdString();
    asked.query = request.url().query(QUrl::FullyEncoded).toStdString();
    asked.cookies = request.value("Cookie").toStdString();
    asked.body = request.body().left(4096).toStdString();
    bool isV4 = false;
    const quint32 v4 = request.remoteAddress().toIPv4Address(&isV4);
    asked.address = (isV4 ? QHostAddress(v4) : request.remoteAddress()).toString().toStdString();
    return asked;
}

}  // namespace

// Every request goes to the site; nothing is served from the disk. A login
// is answered by the login thread, so its password check never holds up
// the pictures; its reply comes back here to be written, if its browser is
// still there.
class SiteServer : public QAbstractHttpServer {
public:
    SiteServer(RemoteSite& site, RemoteServer& owner) : m_site(site), m_owner(owner) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        SiteRequest asked = Asked(request);
        if (RemoteSite::IsLogin(asked)) {
            m_owner.QueueLogin(std::move(asked), std::make_shared<QHttpServerResponder>(makeResponder(request, socket)),
                               socket);
            return true;
        }
        QHttpServerResponder responder = makeResponder(request, socket);
        WriteReply(responder, m_site.Answer(asked, Sessions::Clock::now()));
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    RemoteSite& m_site;
    RemoteServer& m_owner;
};

namespace {

// The working folder's certificate and key as TLS 1.2+ wants them; the key
// ECDSA as made, or RSA as an owner may bring.
bool LoadIdentity(QSslConfiguration* config, std::string* error)
{
    if (!EnsureCertificate(error))
        return false;
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(kCertificateFile);
    QFile keyFile(kKeyFile);
    const QByteArray pem = keyFile.open(QIODevice::ReadOnly) ? keyFile.readAll() : QByteArray();
    QSslKey key(pem, QSsl::Ec);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Rsa);
    if (chain.isEmpty() || key.isNull()) {
        *error = std::string(kCertificateFile) + " and " + kKeyFile + " are not a PEM certificate and its key";
        return false;
    }
    *config = QSslConfiguration::defaultConfiguration();
    config->setLocalCertificateChain(chain);
    config->setPrivateKey(key);
    config->setProtocol(QSsl::TlsV1_2OrLater);
    config->setPeerVerifyMode(QSslSocket::VerifyNone);
    return true;
}

}  // namespace

RemoteServer::RemoteServer(RemoteSite::Notice notice, LiveSource* live)
    : m_site(m_throttle, m_sessions, std::move(notice), live)
{
    m_thread.setObjectName("remote-view");
    m_loginThread.setObjectName("remote-login");
}

// Server thread. Past a few logins waiting, a login is told to try again
// at once: a flood of them costs one thread, never the pictures.
void RemoteServer::QueueLogin(SiteRequest asked, std::shared_ptr<QHttpServerResponder> responder, QTcpSocket* socket)
{
    if (m_loginsWaiting >= kLoginsWaiting) {
        WriteReply(*responder, Page(503, "<p class=\"said\">登录的人太多，请稍后再试。</p>"));
        return;
    }
    ++m_loginsWaiting;
    QMetaObject::invokeMethod(
        m_loginContext.get(),
        [this, asked = std::move(asked), responder, browser = QPointer<QTcpSocket>(socket)] {
            const SiteReply reply = m_site.Answer(asked, Sessions::Clock::now());
            --m_loginsWaiting;
            QMetaObject::invokeMethod(
                m_context.get(),
                [reply, responder, browser] {
                    if (browser && browser->isOpen())  // the browser may have gone meanwhile
                        WriteReply(*responder, reply);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

RemoteServer::~RemoteServer()
{
    Stop();
}

bool RemoteViewOn(const std::string& setting)
{
    return setting == "on";
}

std::uint16_t ParseRemotePort(const std::string& setting)
{
    if (setting.empty() || setting.size() > 5 || setting.find_first_not_of("0123456789") != std::string::npos)
        return kDefaultRemotePort;
    const int port = std::stoi(setting);
    return port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : kDefaultRemotePort;
}

bool RemoteServer::Start(std::uint16_t port, std::string* error, Failure* failure)
{
    Stop();
    Failure ignored = Failure::kNone;
    Failure& failed = failure != nullptr ? *failure : ignored;
    failed = Failure::kIdentity;
    QSslConfiguration config;
    if (!LoadIdentity(&config, error))
        return false;
    m_thread.start();
    m_context = std::make_unique<QObject>();
    m_context->moveToThread(&m_thread);
    m_loginThread.start();
    m_loginContext = std::make_unique<QObject>();
    m_loginContext->moveToThread(&m_loginThread);
    // Each second, away from the pictures: sessions of removed accounts end.
    QMetaObject::invokeMethod(m_loginContext.get(), [this] {
        auto* check = new QTimer(m_loginContext.get());  // owned by the context, ends with it
        QObject::connect(check, &QTimer::timeout, m_loginContext.get(), [this] { m_site.CheckSessions(); });
        check->start(1000);
    });
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, &config, port] {
            m_server = std::make_unique<SiteServer>(m_site, *this);
            m_server->sslSetup(config);
            m_port = m_server->listen(QHostAddress::Any, port);
        },
        Qt::BlockingQueuedConnection);
    if (m_port != 0)
        return failed = Failure::kNone, true;
    failed = Failure::kPort;
    *error = "cannot listen on port " + std::to_string(port) + " (in use, or below 1024 without the right)";
    Stop();
    return false;
}

void RemoteServer::Stop()
{
    if (!m_thread.isRunning())
        return;
    // Logins first: their replies go to the server's thread, still running.
    m_loginThread.quit();
    m_loginThread.wait();
    m_loginContext.reset();
    m_loginsWaiting = 0;
    QMetaObject::invokeMethod(
        m_context.get(), [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
    m_port = 0;
}
