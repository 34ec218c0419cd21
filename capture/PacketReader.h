// A camera's reader thread: it only reads the source's packets and stamps
// them as they arrive (the read itself is the owner's function), and hands
// each to the queue for the camera's streaming thread. Started once the
// source is open; Stop joins it after the owner made its read give up.
#pragma once

#include "PacketQueue.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class PacketReader {
public:
    enum class Read { Packet, Again, Skip, End, Error };
    // One packet into `out`; Again: nothing yet, ask again shortly; Skip:
    // a packet was read and left out.
    using ReadFunction = std::function<Read(StampedPacket* out)>;

    PacketReader() = default;
    ~PacketReader() { Stop(); }
    PacketReader(const PacketReader&) = delete;
    PacketReader& operator=(const PacketReader&) = delete;

    void Start(const std::string& threadName, ReadFunction read);
    // Returns once the thread has left the read function; safe to call twice.
    void Stop();
    PacketQueue& Queue() { return m_queue; }
    const PacketQueue& Queue() const { return m_queue; }

private:
    void Loop(const std::string& threadName);

    ReadFunction m_read;
    PacketQueue m_queue;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // the reader; joined by Stop
};
