#include "RemoteServer.h"

#include "Certificate.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>

// Every request goes to the site; nothing is served from the disk.
class SiteServer : public QAbstractHttpServer {
public:
    explicit SiteServer(RemoteSite& site) : m_site(site) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        SiteRequest asked;
        asked.method = request.method() == QHttpServerRequest::Method::Get    ? "GET"
                       : request.method() == QHttpServerRequest::Method::Post ? "POST"
                                                                              : "OTHER";
        asked.path = request.url().path(QUrl::FullyEncoded).toStdString();
        asked.cookies = request.value("Cookie").toStdString();
        asked.body = request.body().left(4096).toStdString();
        bool isV4 = false;
        const quint32 v4 = request.remoteAddress().toIPv4Address(&isV4);
        asked.address = (isV4 ? QHostAddress(v4) : request.remoteAddress()).toString().toStdString();
        const SiteReply reply = m_site.Answer(asked, Sessions::Clock::now());
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
        responder.writeHeader("Content-Type", QByteArray::fromStdString(reply.type));
        for (const auto& [name, value] : reply.headers)
            responder.writeHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        responder.writeHeader("Content-Length", QByteArray::number(static_cast<qulonglong>(reply.body.size())));
        responder.writeBody(QByteArray::fromStdString(reply.body));
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    RemoteSite& m_site;
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

RemoteServer::RemoteServer(RemoteSite::Notice notice) : m_site(m_throttle, m_sessions, std::move(notice))
{
    m_thread.setObjectName("remote-view");
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
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, &config, port] {
            m_server = std::make_unique<SiteServer>(m_site);
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
    QMetaObject::invokeMethod(
        m_context.get(), [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
    m_port = 0;
}
