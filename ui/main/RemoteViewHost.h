// The main window's part of the remote view: the server runs while the
// setting remote_view is on, on remote_port, and is started again after
// every use of the settings; its logins and failed logins go into the
// status box (远程登录：NAME（ADDRESS）, 远程登录失败：ADDRESS（N 次）). It
// stops with the window, before the cameras are released.
#pragma once

#include "RemoteServer.h"

#include <QString>

#include <cstdint>
#include <memory>

class EventLog;
class QObject;

class RemoteViewHost {
public:
    // `window` is the interface thread's object the notices are posted to.
    RemoteViewHost(EventLog& log, QObject* window) : m_log(log), m_window(window) {}

    // The cameras the live page shows; before the first Apply.
    void SetCameras(std::unique_ptr<LiveSource> cameras) { m_cameras = std::move(cameras); }
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
