// CExplorer1: the welcome banner. Navigate fetches an http address (bounded
// by a transfer time-out) or shows a qrc: page; a failed navigation is
// reported by NavigateError with the address, and no error page is shown.
#pragma once

#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;

class CExplorer1 : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int kTransferTimeoutMs = 3000;

    explicit CExplorer1(QWidget* parent = nullptr);
    void Navigate(const QString& address);

signals:
    void NavigateError(const QString& address, int status);
    void HelpAsked();

protected:
    QVariant loadResource(int type, const QUrl& name) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void OpenInBrowser(const QUrl& url);

    QNetworkAccessManager* m_network;
};
