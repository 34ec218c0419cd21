#include "CaptureGraph.h"

#include "PanelLink.h"

#include <pthread.h>
#include <string>

namespace {
constexpr auto kRetryDelay = std::chrono::milliseconds(5);
}

CCaptureGraph::CCaptureGraph(std::uint64_t identity, int deviceIndex,
                             std::unique_ptr<CaptureSource> source, std::unique_ptr<Sampler> sampler,
                             std::shared_ptr<PanelLink> window)
    : m_identity(identity),
      m_deviceIndex(deviceIndex),
      m_source(std::move(source)),
      m_sampler(std::move(sampler)),
      m_window(std::move(window)),
      m_frame(static_cast<std::size_t>(m_source->Width()) * m_source->Height() * 3)
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
    m_stop = true;
    m_source->RequestStop();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

void CCaptureGraph::StreamingLoop()
{
    const std::string name = "capture-" + std::to_string(m_deviceIndex + 1);
    pthread_setname_np(pthread_self(), name.c_str());
    while (!m_stop) {
        const ReadStatus status = m_source->ReadFrame(m_frame.data());
        if (status == ReadStatus::Frame) {
            ++m_framesDelivered;
            m_sampler->DoRenderSample(m_frame.data());
        } else if (status == ReadStatus::Again) {
            std::this_thread::sleep_for(kRetryDelay);
        } else {
            if (!m_stop && m_window)
                m_window->PostGraphNotify(m_identity);
            break;
        }
    }
    m_running = false;
}
