// The welcome banner: the remote page with the version, and the embedded
// page whenever the remote one fails.
#include "Explorer1.h"
#include "VardoDlg.h"
#include "ui/ModalAnswerer.h"
#include "capture/CaptureTestSupport.h"

#include <QColor>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

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

// Stands in for the desktop's browser.
class DesktopBrowser : public QObject {
    Q_OBJECT
public:
    DesktopBrowser() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
    ~DesktopBrowser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    Q_INVOKABLE void Open(const QUrl& url) { opened.push_back(url); }
    std::vector<QUrl> opened;
};

// A point of the banner over a link.
QPoint LinkPoint(CExplorer1* browser)
{
    for (int y = 0; y < browser->viewport()->height(); y += 2)
        for (int x = 0; x < browser->viewport()->width(); x += 2)
            if (!browser->anchorAt(QPoint(x, y)).isEmpty())
                return QPoint(x, y);
    return QPoint(-1, -1);
}

}  // namespace

// The built-in page's picture link opens Lumaro's own help, never an
// address that does not exist; the banner keeps its page.
TEST(BannerTest, TheDownloadPictureOpensTheHelpNotAnAddress)
{
    qunsetenv("LUMARO_WELCOME_HOST");
    DesktopBrowser desktop;
    CvardoDlg dlg;
    dlg.show();
    dlg.ShowLocalWelcome();
    Pump(100);
    const QPoint link = LinkPoint(dlg.Browser());
    ASSERT_GE(link.x(), 0) << "the page has its download link";
    ModalAnswerer answerer;
    QTest::mouseClick(dlg.Browser()->viewport(), Qt::LeftButton, Qt::NoModifier, link);
    Pump(100);
    EXPECT_TRUE(desktop.opened.empty()) << "no browser for the built-in page";
    EXPECT_EQ(answerer.Seen(), std::vector<QString>{QStringLiteral("CHelpDlg")});
    EXPECT_EQ(dlg.Browser()->documentTitle(), QStringLiteral("Lumaro")) << "the banner keeps its page";
}

TEST(BannerTest, AnErrorStatusBringsTheEmbeddedPage)
{
    FakeWelcomeServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    CvardoDlg dlg;
    dlg.ShowRemoteWelcome();
    EXPECT_EQ(WaitForTitle(dlg.Browser(), 4000), QStringLiteral("Lumaro"));
    EXPECT_EQ(server.RequestLine(), QByteArray("GET /vardo/miniWelcome.asp?SoftVer=" LUMARO_VERSION " HTTP/1.1"));
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

#include "BannerTest.moc"
