// CVideoCapture: the capture graph of one camera panel, built for the device
// at the panel's position (or the source chosen for it in the settings) and
// released again; the panel rebuilds it as often as it likes. All of it runs
// on the interface thread, and none of it waits for a device.
#pragma once

#include "CaptureGraph.h"
#include "Sampler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class PanelLink;

class CVideoCapture {
public:
    CVideoCapture() = default;
    // Releasing here ends every open recording with its sequence end code.
    virtual ~CVideoCapture() { ReleaseGraph(); }
    CVideoCapture(const CVideoCapture&) = delete;
    CVideoCapture& operator=(const CVideoCapture&) = delete;

    // Builds a stopped graph for device `deviceIndex`, shown at width × height
    // in `window`, recording into `recordingRoot`. 0 when built; -1 when there
    // is no device at that position. A device that cannot be opened is
    // reported by the running graph, like a lost one.
    int BuildGraph(int deviceIndex, std::shared_ptr<PanelLink> window, int width, int height,
                   const std::string& recordingRoot);
    // Stops the graph and releases it; its Sampler ends the recording file.
    void ReleaseGraph();

    // Run and stop of the graph; null when none is built.
    CCaptureGraph* Control() const { return m_graph.get(); }
    // Identity of the current graph (device-lost notices name it); 0 for none.
    std::uint64_t Identity() const { return m_graph ? m_graph->Identity() : 0; }
    // What the current graph's recording does; idle without a graph.
    RecordState Recording() const { return m_graph ? m_graph->Renderer().Encoder().State() : RecordState::kIdle; }

    // How readily this camera's pictures count as motion and where not,
    // now and for the graphs built later.
    void SetMotionSettings(const MotionSettings& settings)
    {
        m_motion = settings;
        if (m_graph)
            m_graph->SetMotionSettings(settings);
    }
    void SetClock(Sampler::Clock clock) { m_clock = std::move(clock); }
    // The camera's way to the remote view, for the graphs built from now on.
    void SetLiveTap(std::shared_ptr<LiveTap> live) { m_live = std::move(live); }
    // A source chosen for this panel instead of the device at its position;
    // nullopt for the device at its position. Used from the next build on.
    void SetSource(std::optional<CaptureDeviceEntry> source) { m_source = std::move(source); }

private:
    std::unique_ptr<CCaptureGraph> m_graph;
    Sampler::Clock m_clock;  // empty: the system clock
    std::shared_ptr<LiveTap> m_live;
    MotionSettings m_motion;
    std::optional<CaptureDeviceEntry> m_source;
    std::shared_ptr<OpenFailureLog> m_failures = std::make_shared<OpenFailureLog>();
};
