// The road from a streaming thread to its camera panel, which never blocks the
// streaming thread: the newest display image waits in a one-image slot and the
// panel is asked (by a posted event) to repaint; a lost device is reported by
// a posted event that names the capture it came from. Images the panel no
// longer shows come back by the same road, so the streaming thread draws
// into them again instead of allocating a new one per frame.
#pragma once

#include "OpenFailure.h"

#include <QEvent>
#include <QImage>

#include <cstdint>
#include <mutex>

class QObject;

class PanelLink {
public:
    // Posted to the panel when a display image waits in the slot.
    static QEvent::Type DisplayEventType();
    // Posted to the panel when a capture's device was lost (WM_GRAPHNOTIFY).
    static QEvent::Type GraphNotifyEventType();

    explicit PanelLink(QObject* window) : m_window(window) {}

    // Streaming thread: replaces the waiting image; posts one repaint request.
    void PutDisplayImage(QImage image);
    // Interface thread: takes the waiting image, if any.
    bool TakeDisplayImage(QImage* image);
    // Interface thread: an image it is done with, for the streaming thread to reuse.
    void ReturnImage(QImage image);
    // Streaming thread: a 32-bit image of `size` to draw the next display
    // image into; a returned one when it fits and nobody else holds it.
    QImage ImageToDraw(QSize size);
    // Interface thread: the largest picture the panel shows (its full view);
    // an empty size for the panel's own size. Streaming thread: read it.
    void SetDisplayBound(QSize bound);
    QSize DisplayBound();
    // Streaming thread: the device of capture `captureId` is gone.
    // `failure`: why the camera could not be opened, if it could not.
    void PostGraphNotify(std::uint64_t captureId, OpenFailure failure = OpenFailure::kNone);

private:
    QObject* m_window;
    std::mutex m_mutex;
    QImage m_latest;
    QImage m_spare;
    bool m_pending = false;
    QSize m_bound;
};

class GraphNotifyEvent : public QEvent {
public:
    explicit GraphNotifyEvent(std::uint64_t captureId, OpenFailure failure = OpenFailure::kNone)
        : QEvent(PanelLink::GraphNotifyEventType()), m_captureId(captureId), m_failure(failure)
    {
    }
    std::uint64_t CaptureId() const { return m_captureId; }
    OpenFailure Failure() const { return m_failure; }

private:
    std::uint64_t m_captureId;
    OpenFailure m_failure;
};
