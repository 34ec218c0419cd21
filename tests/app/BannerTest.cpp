// The welcome banner: the remote page with the version, and the embedded
// page whenever the remote one fails.
#include "Explorer1.h"
#include "VardoDlg.h"
#include "capture/CaptureTestSupport.h"

#include <QColor>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

// A web server on a local port that answers every request with `reply`.
class FakeWelcomeServer {
public:
    explicit FakeWelcomeServer(QByteArray reply) : m_reply(std::move(reply))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { Answer(); });
        qputenv("LUMARO_WELCOME_HOST", "127.0.0.1:" + QByteArray::number(m_server.serverPort()));
    }
    ~FakeWelcomeServer() { qunsetenv("LUMARO_WELCOME_HOST"); }
    const QByteArray& RequestLine() const { return m_requestLine; }

private:
    void Answer()
    {
        QTcpSocket* socket = m_server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->readAll();
            if (m_requestLine.isEmpty())
                m_requestLine = request.left(request.indexOf("\r\n"));
            socket->write(m_reply);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QByteArray m_reply;
    QByteArray m_requestLine;
};

QString WaitForTitle(CExplorer1* browser, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (browser->documentTitle().isEmpty() && clock.elapsed() < ms)
        Pump(20);
    return browser->documentTitle();
}

// Whether the product icon was drawn into its cell of the embedded page.
bool ShowsTheIcon(CExplorer1* browser)
{
    const QImage shot = browser->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 23; x < 109 && x < shot.width(); ++x)
            coloured += QColor(shot.pixel(x, y)).saturation() > 100 ? 1 : 0;
    return coloured > 200;
}

}  // namespace

TEST(BannerTest, AnErrorStatusBringsTheEmbeddedPage)
{
    FakeWelcomeServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    CvardoDlg dlg;
    dlg.ShowRemoteWelcome();
    EXPECT_EQ(WaitForTitle(dlg.Browser(), 4000), QStringLiteral("Lumaro"));
    EXPECT_EQ(server.RequestLine(), QByteArray("GET /vardo/miniWelcome.asp?SoftVer=1.0.1.20091101 HTTP/1.1"));
    EXPECT_TRUE(ShowsTheIcon(dlg.Browser()));
}

TEST(BannerTest, WithoutANetworkTheEmbeddedPageComesAtOnce)
{
    qunsetenv("LUMARO_WELCOME_HOST");
    CvardoDlg dlg;
    dlg.ShowRemoteWelcome();
    EXPECT_EQ(WaitForTitle(dlg.Browser(), 1000), QStringLiteral("Lumaro"));
}

TEST(BannerTest, TheRemotePageStaysAndOtherFailuresChangeNothing)
{
    const QByteArray page = "<html><head><title>Remote</title></head><body>hello</body></html>";
    FakeWelcomeServer server("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    CvardoDlg dlg;
    dlg.ShowRemoteWelcome();
    EXPECT_EQ(WaitForTitle(dlg.Browser(), 4000), QStringLiteral("Remote"));
    dlg.OnNavigateError(QStringLiteral("http://example.invalid/other.html"), 404);
    EXPECT_FALSE(dlg.IsTimerActive(CvardoDlg::TIMER_LOCAL_WELCOME));
    Pump(100);
    EXPECT_EQ(dlg.Browser()->documentTitle(), QStringLiteral("Remote"));
}
