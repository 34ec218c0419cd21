#include "RemoteViewHost.h"

#include "ErrorLog.h"
#include "EventLog.h"
#include "RemoteViewDlg.h"
#include "Settings.h"

#include <QMetaObject>
#include <QObject>

void RemoteViewHost::Apply()
{
    const bool on = RemoteViewOn(ReadSetting(kKeyRemoteView));
    const std::uint16_t port = ParseRemotePort(ReadSetting(kKeyRemotePort));
    if (!on) {
        Stop();
        return;
    }
    if (m_server && m_port == port)
        return;
    Stop();
    // From the server's thread to the status box, on the interface thread.
    m_server = std::make_unique<RemoteServer>([window = m_window, log = &m_log](const std::string& text) {
        QMetaObject::invokeMethod(window, [log, line = QString::fromStdString(text)] { log->AddEvent(line); },
                                  Qt::QueuedConnection);
    }, m_cameras.get());
    std::string error;
    RemoteServer::Failure failure = RemoteServer::Failure::kNone;
    if (m_server->Start(port, &error, &failure)) {
        m_port = port;
        m_log.AddEvent(QStringLiteral("远程查看已开启：端口 %1").arg(port));
        return;
    }
    LogError("remote view: %s\n", error.c_str());
    m_log.AddEvent(failure == RemoteServer::Failure::kPort
                       ? QStringLiteral("远程查看没有开启：端口 %1 无法使用").arg(port)
                       : QStringLiteral("远程查看没有开启：证书无法读取"));
    m_server.reset();
}

void RemoteViewHost::Stop()
{
    if (m_server)
        m_server->Stop();
    m_server.reset();
    m_port = 0;
}

void RemoteViewHost::OpenSettings(QWidget* parent)
{
    CRemoteViewDlg dialog(parent);
    if (dialog.exec() == QDialog::Accepted)
        Apply();
}
