// The hand-over between a camera's reader thread, which stamps each packet
// with its capture time as it arrives, and its streaming thread, which
// decodes, shows and records. The reader never waits for the streaming
// thread: when that one falls behind, packets of pictures that stand alone
// (MJPEG, raw) are left out here and only the newest is taken, so a picture
// is late on screen but never late in time. Each packet also carries the
// camera's silence before it (the time since the previous packet arrived);
// what was left out passes its silence on to the packet taken, so the
// recording tells a silent camera from a program that fell behind.
#pragma once

#include "FfmpegPtr.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

struct StampedPacket {
    using Clock = std::chrono::steady_clock;
    PacketPtr packet;
    Clock::time_point captureTime{};
    Clock::duration silence{};  // since the previous packet arrived, the longest of those left out
};

class PacketQueue {
public:
    // Packets waiting beyond this are left out (up to the next key packet
    // of a stream whose pictures depend on each other).
    static constexpr std::size_t kMaxWaiting = 250;
    enum class Took { Packet, Nothing, End, Error };

    // Reader thread.
    void Push(StampedPacket packet);
    // Reader thread: no packet follows; `error` for a lost or stalled camera.
    void Finish(bool error);
    // Any thread: Take returns Nothing from now on, at once.
    void Wake();

    // Streaming thread: the next packet to decode, waiting up to `wait`.
    // With `standAlone` pictures only the newest waiting packet is taken.
    Took Take(std::chrono::milliseconds wait, bool standAlone, StampedPacket* out);
    // Streaming thread: packets wait behind the one being decoded.
    bool HasWaiting() const;
    // How many packets were left out so far.
    std::size_t LeftOut() const;

private:
    void LeaveOutToKey();

    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<StampedPacket> m_waiting;
    std::size_t m_leftOut = 0;
    StampedPacket::Clock::duration m_leftSilence{};  // of packets left out at the reader's end
    bool m_awaitKey = false;  // everything was left out: only a key packet may follow
    bool m_finished = false;
    bool m_error = false;
    bool m_woken = false;
};
