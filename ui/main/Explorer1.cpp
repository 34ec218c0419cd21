#include "Explorer1.h"

#include "Images.h"

#include <QDesktopServices>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

CExplorer1::CExplorer1(QWidget* parent)
    : QTextBrowser(parent), m_network(new QNetworkAccessManager(this))
{
    InitWelcomeResources();
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_network->setTransferTimeout(kTransferTimeoutMs);
    connect(this, &QTextBrowser::anchorClicked, this, &CExplorer1::OpenInBrowser);
}

// A link of the banner opens in a new window: the desktop's own browser;
// the built-in page's own link (lumaro:help) opens Lumaro's help.
void CExplorer1::OpenInBrowser(const QUrl& url)
{
    if (url.scheme() == QLatin1String("lumaro") && url.path() == QLatin1String("help"))
        emit HelpAsked();
    else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        QDesktopServices::openUrl(url);
}

void CExplorer1::Navigate(const QString& address)
{
    const QUrl url(address);
    if (url.scheme() == QLatin1String("qrc")) {
        QFile page(QLatin1Char(':') + url.path());
        if (!page.open(QIODevice::ReadOnly)) {
            emit NavigateError(address, 404);
            return;
        }
        setHtml(QString::fromUtf8(page.readAll()));
        return;
    }
    QNetworkReply* reply = m_network->get(QNetworkRequest(url));  // owned by the manager
    connect(reply, &QNetworkReply::finished, this, [this, reply, address] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status >= 400) {
            emit NavigateError(address, status);
            return;
        }
        setHtml(QString::fromUtf8(reply->readAll()));
    });
}

QVariant CExplorer1::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::ImageResource) {
        const QString file = name.fileName().toLower();
        if (file == QLatin1String("icon_p2.jpg"))
            return ProductIconImage();
        if (file == QLatin1String("download.jpg"))
            return DownloadImage();
    }
    return QTextBrowser::loadResource(type, name);
}

void CExplorer1::contextMenuEvent(QContextMenuEvent*)
{
    // The banner has no context menu.
}
