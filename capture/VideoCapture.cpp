#include "VideoCapture.h"

#include "CaptureDevices.h"

#include <atomic>

namespace {
std::atomic<std::uint64_t> g_nextIdentity{1};
}

// Only the look-up by position happens here, on the interface thread; the
// device is opened by the graph's own thread when it runs.
int CVideoCapture::BuildGraph(int deviceIndex, std::shared_ptr<PanelLink> window, int width, int height,
                              const std::string& recordingRoot)
{
    ReleaseGraph();
    std::optional<CaptureDeviceEntry> device = DevicesFromEnvironment() ? std::nullopt : m_source;
    if (!device) {
        const std::vector<CaptureDeviceEntry> devices = EnumerateCaptureDevices();
        if (deviceIndex < 0 || static_cast<std::size_t>(deviceIndex) >= devices.size())
            return -1;
        device = devices[static_cast<std::size_t>(deviceIndex)];
    }
    auto sampler = m_clock ? std::make_unique<Sampler>(m_clock) : std::make_unique<Sampler>();
    sampler->Configure(width, height, recordingRoot, deviceIndex, window);
    sampler->SetMotionSettings(m_motion);
    sampler->SetLiveTap(m_live);
    m_graph = std::make_unique<CCaptureGraph>(g_nextIdentity++, deviceIndex, *device, std::move(sampler),
                                              std::move(window), m_failures);
    return 0;
}

void CVideoCapture::ReleaseGraph()
{
    m_graph.reset();  // stops and joins the streaming thread, then closes the encoder
}
