#include "PanelLink.h"

#include <QCoreApplication>

#include <utility>

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
    QImage unseen;  // released outside the lock
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unseen = std::exchange(m_latest, std::move(image));
        if (!unseen.isNull())
            std::swap(m_spare, unseen);
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

void PanelLink::ReturnImage(QImage image)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::swap(m_spare, image);
}

QImage PanelLink::ImageToDraw(QSize size)
{
    QImage image;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(image, m_spare);
    }
    if (image.size() == size && image.format() == QImage::Format_RGB32 && image.isDetached())
        return image;
    return QImage(size, QImage::Format_RGB32);
}

void PanelLink::SetDisplayBound(QSize bound)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bound = bound;
}

QSize PanelLink::DisplayBound()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bound;
}

void PanelLink::PostGraphNotify(std::uint64_t captureId, OpenFailure failure)
{
    QCoreApplication::postEvent(m_window, new GraphNotifyEvent(captureId, failure));
}
