#include "CaptureGraph.h"

#include "AddressSecrets.h"
#include "ErrorLog.h"

#include "PanelLink.h"

#include <cstdio>
#include <pthread.h>

void OpenFailureLog::Report(const std::string& device, const std::string& error)
{
    const std::string text = RedactAddresses(device + ": " + error);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (text == m_last)
        return;
    m_last = text;
    LogError("cannot open capture device %s\n", text.c_str());
}

void OpenFailureLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_last.clear();
}

CCaptureGraph::CCaptureGraph(std::uint64_t identity, int deviceIndex, CaptureDeviceEntry device,
                             std::unique_ptr<Sampler> sampler, std::shared_ptr<PanelLink> window,
                             std::shared_ptr<OpenFailureLog> failures)
    : m_identity(identity),
      m_deviceIndex(deviceIndex),
      m_device(std::move(device)),
      m_sampler(std::move(sampler)),
      m_window(std::move(window)),
      m_failures(std::move(failures))
{
}

CCaptureGraph::~CCaptureGraph()
{
    Stop();
}

void CCaptureGraph::Run()
{
    if (m_started)
        return;
    m_started = true;
    m_running = true;
    m_thread = std::thread(&CCaptureGraph::StreamingLoop, this);
}

void CCaptureGraph::Stop()
{
    RequestStop();
    if (m_thread.joinable())
        m_thread.join();
    m_source.StopReading();
    m_running = false;
}

void CCaptureGraph::RequestStop()
{
    m_stop = true;
    m_source.RequestStop();
}

// The device's size is known once it is open: the Sampler and its encoder
// are set up for it here, before the first frame.
bool CCaptureGraph::OpenDevice()
{
    std::string error;
    if (!m_source.Open(m_device, &error, "camera-" + std::to_string(m_deviceIndex + 1) + "-read")) {
        if (!m_stop && m_failures)
            m_failures->Report(RedactedDeviceText(m_device), error);
        return false;
    }
    if (m_failures)
        m_failures->Clear();
    if (!m_sampler->CheckMediaType(MediaType{MediaSubtype::Rgb24, m_source.Width(), m_source.Height(), true}))
        return false;
    m_frame.resize(static_cast<std::size_t>(m_source.Width()) * m_source.Height() * 3);
    return true;
}

// The file at the old size ends and the next picture begins one at the new size.
bool CCaptureGraph::TakeNewSize()
{
    LogError("camera %d: the picture size is now %dx%d; recording goes on in a new file\n", m_deviceIndex + 1,
             m_source.Width(), m_source.Height());
    m_frame.resize(static_cast<std::size_t>(m_source.Width()) * m_source.Height() * 3);
    if (m_sampler->ChangeFrameSize(m_source.Width(), m_source.Height()))
        return true;
    ReportLost();
    return false;
}

void CCaptureGraph::ReportLost()
{
    if (!m_stop && m_window)
        m_window->PostGraphNotify(m_identity, m_openFailure);
}

void CCaptureGraph::StreamingLoop()
{
    const std::string name = "capture-" + std::to_string(m_deviceIndex + 1);
    pthread_setname_np(pthread_self(), name.c_str());
    if (!OpenDevice()) {
        m_openFailure = m_source.LastOpenFailure();
        ReportLost();
        m_running = false;
        return;
    }
    while (!m_stop) {
        const ReadStatus status = m_source.ReadFrame(m_frame.data());
        if (status == ReadStatus::Frame) {
            ++m_framesDelivered;
            m_sampler->DoRenderSample(m_frame.data(), m_source.LastCaptureTime(), m_source.LastSilence());
        } else if (status == ReadStatus::Resized) {
            if (!TakeNewSize())
                break;
        } else if (status != ReadStatus::Again) {
            ReportLost();
            break;
        }
    }
    m_running = false;
}
