#include "PacketReader.h"

#include <pthread.h>

namespace {
constexpr auto kRetryDelay = std::chrono::milliseconds(5);
}

void PacketReader::Start(const std::string& threadName, ReadFunction read)
{
    if (m_thread.joinable())
        return;
    m_read = std::move(read);
    m_thread = std::thread(&PacketReader::Loop, this, threadName);
}

void PacketReader::Stop()
{
    m_stop = true;
    m_queue.Wake();
    if (m_thread.joinable())
        m_thread.join();
}

void PacketReader::Loop(const std::string& threadName)
{
    pthread_setname_np(pthread_self(), threadName.substr(0, 15).c_str());
    while (!m_stop) {
        StampedPacket packet;
        switch (m_read(&packet)) {
        case Read::Packet:
            m_queue.Push(std::move(packet));
            break;
        case Read::Again:
            std::this_thread::sleep_for(kRetryDelay);
            break;
        case Read::Skip:
            break;
        case Read::End:
            m_queue.Finish(false);
            return;
        case Read::Error:
            m_queue.Finish(true);
            return;
        }
    }
}
