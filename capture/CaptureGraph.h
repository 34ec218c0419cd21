// A built capture graph: an opened device, its Sampler and the streaming
// thread that carries frames from one to the other. Run starts the thread,
// Stop returns only once the thread has left the Sampler; a stopped graph is
// never run again (a new one is built instead).
#pragma once

#include "CaptureSource.h"
#include "Sampler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

class PanelLink;

class CCaptureGraph {
public:
    CCaptureGraph(std::uint64_t identity, int deviceIndex, std::unique_ptr<CaptureSource> source,
                  std::unique_ptr<Sampler> sampler, std::shared_ptr<PanelLink> window);
    ~CCaptureGraph();
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    void Run();
    void Stop();
    bool IsRunning() const { return m_running; }
    // Stop was called: the graph was ended on purpose, not lost.
    bool IsStopRequested() const { return m_stop; }

    std::uint64_t Identity() const { return m_identity; }
    std::uint64_t FramesDelivered() const { return m_framesDelivered; }
    const Sampler& Renderer() const { return *m_sampler; }

private:
    void StreamingLoop();

    const std::uint64_t m_identity;
    const int m_deviceIndex;
    std::unique_ptr<CaptureSource> m_source;
    std::unique_ptr<Sampler> m_sampler;
    std::shared_ptr<PanelLink> m_window;
    std::vector<std::uint8_t> m_frame;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    bool m_started = false;
    std::atomic<std::uint64_t> m_framesDelivered{0};
    std::thread m_thread;  // the streaming thread; joined by Stop
};
