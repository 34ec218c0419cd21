// A built capture graph: a capture device, its Sampler and the streaming
// thread that carries frames from one to the other (the device's packets
// come from its own reader thread, see CaptureSource). The device is opened on
// that thread (a network camera's handshake never holds the interface up);
// a failed open, a lost device and a device that delivers nothing for five
// seconds are all reported to the panel as a lost device. Run starts the
// thread, Stop returns only once the thread has left the Sampler; a stopped
// graph is never run again (a new one is built instead).
#pragma once

#include "CaptureSource.h"
#include "Sampler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PanelLink;

// A panel's open failures, said once per distinct text on standard error
// (the panel retries every second); shared by the graphs it builds.
class OpenFailureLog {
public:
    void Report(const std::string& device, const std::string& error);
    void Clear();

private:
    std::mutex m_mutex;
    std::string m_last;
};

class CCaptureGraph {
public:
    CCaptureGraph(std::uint64_t identity, int deviceIndex, CaptureDeviceEntry device,
                  std::unique_ptr<Sampler> sampler, std::shared_ptr<PanelLink> window,
                  std::shared_ptr<OpenFailureLog> failures);
    ~CCaptureGraph();
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    void Run();
    void Stop();
    // Makes the threads leave without waiting for them (Stop joins them):
    // several cameras end side by side.
    void RequestStop();
    bool IsRunning() const { return m_running; }
    // Stop was called: the graph was ended on purpose, not lost.
    bool IsStopRequested() const { return m_stop; }

    std::uint64_t Identity() const { return m_identity; }
    std::uint64_t FramesDelivered() const { return m_framesDelivered; }
    const Sampler& Renderer() const { return *m_sampler; }
    void SetMotionSettings(const MotionSettings& settings) { m_sampler->SetMotionSettings(settings); }
    // Any thread: the next picture is recorded into a new file in `root`.
    void ChangeRecordingRoot(const std::string& root) { m_sampler->ChangeRecordingRoot(root); }

private:
    void StreamingLoop();
    bool OpenDevice();
    void ReportLost();
    bool TakeNewSize();

    const std::uint64_t m_identity;
    const int m_deviceIndex;
    const CaptureDeviceEntry m_device;
    CaptureSource m_source;
    std::unique_ptr<Sampler> m_sampler;
    std::shared_ptr<PanelLink> m_window;
    std::shared_ptr<OpenFailureLog> m_failures;
    std::vector<std::uint8_t> m_frame;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    bool m_started = false;
    OpenFailure m_openFailure = OpenFailure::kNone;  // why the open failed
    std::atomic<std::uint64_t> m_framesDelivered{0};
    std::thread m_thread;  // the streaming thread; joined by Stop
};
