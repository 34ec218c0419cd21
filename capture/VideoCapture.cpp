#include "VideoCapture.h"

#include "CaptureDevices.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<std::uint64_t> g_nextIdentity{1};
}

int CVideoCapture::BuildGraph(int deviceIndex, std::shared_ptr<PanelLink> window, int width,
                              int height, const std::string& recordingRoot)
{
    ReleaseGraph();
    const std::vector<CaptureDeviceEntry> devices = EnumerateCaptureDevices();
    if (deviceIndex < 0 || static_cast<std::size_t>(deviceIndex) >= devices.size())
        return -1;
    const CaptureDeviceEntry& device = devices[static_cast<std::size_t>(deviceIndex)];
    auto source = std::make_unique<CaptureSource>();
    std::string error;
    if (!source->Open(device, &error)) {
        ReportOpenFailure(device.format + ":" + device.url, error);
        return -1;
    }
    m_lastOpenError.clear();
    auto sampler = std::make_unique<Sampler>(m_clock);
    sampler->Configure(width, height, recordingRoot, deviceIndex, window);
    if (!sampler->CheckMediaType(MediaType{MediaSubtype::Rgb24, source->Width(), source->Height(), true}))
        return -1;
    m_graph = std::make_unique<CCaptureGraph>(g_nextIdentity++, deviceIndex, std::move(source),
                                              std::move(sampler), std::move(window));
    return 0;
}

void CVideoCapture::ReleaseGraph()
{
    m_graph.reset();  // stops and joins the streaming thread, then closes the encoder
}

// A panel retries every second: say so once, not every second.
void CVideoCapture::ReportOpenFailure(const std::string& device, const std::string& error)
{
    const std::string text = device + ": " + error;
    if (text == m_lastOpenError)
        return;
    m_lastOpenError = text;
    std::fprintf(stderr, "lumaro: cannot open capture device %s\n", text.c_str());
}
