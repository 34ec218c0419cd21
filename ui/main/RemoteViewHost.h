// The main window's part of the remote view: the server runs while the
// setting remote_view is on, on remote_port, and is started again after
// every use of the settings; its logins and failed logins go into the
// status box (远程登录：NAME（ADDRESS）, 远程登录失败：ADDRESS（N 次）). It
// stops with the window, before the cameras are released.
#pragma once

#include "RemoteCameras.h"
#include "RemoteServer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class EventLog;
class QObject;
class QWidget;

class RemoteViewHost {
public:
    // `window` is the interface thread's object the notices are posted to.
    RemoteViewHost(EventLog& log, QObject* window) : m_log(log), m_window(window) {}

    // The panels whose cameras the live page shows; before the first Apply.
    template <typename Panels>
    void ShowPanels(const Panels& panels)
    {
        std::vector<std::shared_ptr<LiveTap>> taps;
        for (const auto* panel : panels)
            taps.push_back(panel->Live());
        m_cameras = std::make_unique<RemoteCameras>(std::move(taps));
    }
    // 设置 → 远程查看 over `parent`; what it stores applies at once.
    void OpenSettings(QWidget* parent);
    // Reads the settings and starts, moves or stops the server.
    void Apply();
    void Stop();

private:
    EventLog& m_log;
    QObject* m_window;
    std::unique_ptr<LiveSource> m_cameras;  // outlives m_server
    std::unique_ptr<RemoteServer> m_server;
    std::uint16_t m_port = 0;
};
