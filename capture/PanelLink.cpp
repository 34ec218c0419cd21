#include "PanelLink.h"

#include <QCoreApplication>

QEvent::Type PanelLink::DisplayEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type PanelLink::GraphNotifyEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + 1));
    return type;
}

void PanelLink::PutDisplayImage(QImage image)
{
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_latest = std::move(image);
        post = !m_pending;
        m_pending = true;
    }
    if (post)  // Qt takes ownership of posted events
        QCoreApplication::postEvent(m_window, new QEvent(DisplayEventType()));
}

bool PanelLink::TakeDisplayImage(QImage* image)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = false;
    if (m_latest.isNull())
        return false;
    *image = std::move(m_latest);
    m_latest = QImage();
    return true;
}

void PanelLink::PostGraphNotify(std::uint64_t captureId)
{
    QCoreApplication::postEvent(m_window, new GraphNotifyEvent(captureId));
}
