#include "PacketQueue.h"

#include <algorithm>

void PacketQueue::Push(StampedPacket packet)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_awaitKey && !(packet.packet->flags & AV_PKT_FLAG_KEY)) {
            m_leftSilence = std::max(m_leftSilence, packet.silence);
            ++m_leftOut;
            return;
        }
        m_awaitKey = false;
        packet.silence = std::max(packet.silence, m_leftSilence);
        m_leftSilence = {};
        m_waiting.push_back(std::move(packet));
        if (m_waiting.size() > kMaxWaiting)
            LeaveOutToKey();
    }
    m_ready.notify_one();
}

// Pictures that depend on earlier ones cannot be taken from the middle: the
// oldest go, up to the next picture that stands on its own.
void PacketQueue::LeaveOutToKey()
{
    do {
        m_leftSilence = std::max(m_leftSilence, m_waiting.front().silence);
        m_waiting.pop_front();
        ++m_leftOut;
    } while (!m_waiting.empty() && !(m_waiting.front().packet->flags & AV_PKT_FLAG_KEY));
    if (!m_waiting.empty()) {
        m_waiting.front().silence = std::max(m_waiting.front().silence, m_leftSilence);
        m_leftSilence = {};
    } else {
        m_awaitKey = true;  // later packets would refer to what is gone
    }
}

void PacketQueue::Finish(bool error)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        m_error = error;
    }
    m_ready.notify_one();
}

void PacketQueue::Wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_ready.notify_all();
}

PacketQueue::Took PacketQueue::Take(std::chrono::milliseconds wait, bool standAlone, StampedPacket* out)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait_for(lock, wait, [this] { return m_woken || m_finished || !m_waiting.empty(); });
    if (m_woken)
        return Took::Nothing;
    if (m_waiting.empty())
        return !m_finished ? Took::Nothing : m_error ? Took::Error : Took::End;
    auto silence = StampedPacket::Clock::duration{};
    while (standAlone && m_waiting.size() > 1) {
        silence = std::max(silence, m_waiting.front().silence);
        m_waiting.pop_front();
        ++m_leftOut;
    }
    *out = std::move(m_waiting.front());
    m_waiting.pop_front();
    out->silence = std::max(out->silence, silence);
    return Took::Packet;
}

bool PacketQueue::HasWaiting() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_waiting.empty();
}

std::size_t PacketQueue::LeftOut() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_leftOut;
}
