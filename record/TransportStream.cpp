#include "TransportStream.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kSync = 0x47;

int PacketPid(const std::uint8_t* p)
{
    return ((p[1] & 0x1F) << 8) | p[2];
}

// Where a packet's payload begins, or kTransportPacket when it has none.
std::size_t PayloadStart(const std::uint8_t* p)
{
    const int control = (p[3] >> 4) & 0x3;
    if ((control & 0x1) == 0)
        return kTransportPacket;
    if ((control & 0x2) == 0)
        return 4;
    const std::size_t start = 5 + p[4];
    return start < kTransportPacket ? start : kTransportPacket;
}

bool RandomAccess(const std::uint8_t* p)
{
    return ((p[3] >> 4) & 0x2) != 0 && p[4] > 0 && (p[5] & 0x40) != 0;
}

bool IsVideoPes(const std::uint8_t* payload, std::size_t size)
{
    return size >= 9 && payload[0] == 0 && payload[1] == 0 && payload[2] == 1 && (payload[3] & 0xF0) == 0xE0;
}

// The PES header's time stamp, if it has one.
std::optional<std::int64_t> PesTimeStamp(const std::uint8_t* pes, std::size_t size)
{
    if (size < 14 || (pes[7] & 0x80) == 0)
        return std::nullopt;
    const std::uint8_t* t = pes + 9;
    return (static_cast<std::int64_t>(t[0] & 0x0E) << 29) | (static_cast<std::int64_t>(t[1]) << 22) |
           (static_cast<std::int64_t>(t[2] & 0xFE) << 14) | (static_cast<std::int64_t>(t[3]) << 7) | (t[4] >> 1);
}

}  // namespace

bool LooksLikeTransportStream(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || data[0] != kSync)
        return false;
    return size <= kTransportPacket || data[kTransportPacket] == kSync;
}

std::vector<std::uint8_t> TransportVideoPayload(const std::uint8_t* data, std::size_t size,
                                                std::vector<TransportPicture>* pictures)
{
    std::vector<std::uint8_t> payload;
    int video = -1;
    for (std::size_t at = 0; at + kTransportPacket <= size; at += kTransportPacket) {
        const std::uint8_t* p = data + at;
        if (p[0] != kSync || (p[1] & 0x80) != 0)
            continue;  // not in step, or marked damaged
        const std::size_t start = PayloadStart(p);
        const bool unitStart = (p[1] & 0x40) != 0;
        if (start >= kTransportPacket)
            continue;
        if (video < 0 && unitStart && IsVideoPes(p + start, kTransportPacket - start))
            video = PacketPid(p);
        if (PacketPid(p) != video)
            continue;
        if (unitStart && IsVideoPes(p + start, kTransportPacket - start)) {
            const std::uint8_t* pes = p + start;
            const std::size_t headerEnd = 9 + pes[8];
            if (pictures != nullptr)
                if (const auto pts = PesTimeStamp(pes, kTransportPacket - start))
                    pictures->push_back(TransportPicture{at, *pts, RandomAccess(p)});
            if (start + headerEnd < kTransportPacket)
                payload.insert(payload.end(), pes + headerEnd, p + kTransportPacket);
            continue;
        }
        payload.insert(payload.end(), p + start, p + kTransportPacket);
    }
    return payload;
}

std::int64_t TimeStampDistance(std::int64_t first, std::int64_t pts)
{
    constexpr std::int64_t kWrap = std::int64_t{1} << 33;
    return ((pts - first) % kWrap + kWrap) % kWrap;
}

bool TransportDemux::Feed(const std::uint8_t* data, std::size_t size, const Payload& out)
{
    while (size > 0) {
        if (m_carry.empty()) {
            // In step: whole packets straight from the chunk.
            while (size >= kTransportPacket && data[0] == kSync) {
                if (!Packet(data, out))
                    return false;
                data += kTransportPacket;
                size -= kTransportPacket;
            }
            if (size == 0)
                break;
            if (data[0] != kSync) {  // out of step: on to the next sync byte
                if (m_counter >= 0)
                    ++m_breaks;
                m_counter = -1;
                while (size > 0 && data[0] != kSync)
                    ++data, --size;
                continue;
            }
        }
        const std::size_t take = std::min(size, kTransportPacket - m_carry.size());
        m_carry.insert(m_carry.end(), data, data + take);
        data += take;
        size -= take;
        if (m_carry.size() == kTransportPacket) {
            const std::vector<std::uint8_t> packet = std::move(m_carry);
            m_carry.clear();
            if (!Packet(packet.data(), out))
                return false;
        }
    }
    return true;
}

bool TransportDemux::Packet(const std::uint8_t* p, const Payload& out)
{
    if ((p[1] & 0x80) != 0) {  // marked damaged: one break, whatever the next packet's counter says
        m_breaks += m_video >= 0 && m_counter >= 0 ? 1 : 0;
        m_counter = -1;
        return true;
    }
    const std::size_t start = PayloadStart(p);
    if (start >= kTransportPacket)
        return true;
    const bool unitStart = (p[1] & 0x40) != 0;
    const bool pesStart = unitStart && IsVideoPes(p + start, kTransportPacket - start);
    if (m_video < 0 && pesStart)
        m_video = PacketPid(p);
    if (PacketPid(p) != m_video)
        return true;
    const int counter = p[3] & 0x0F;  // counts packets with a payload
    if (m_counter >= 0 && counter != ((m_counter + 1) & 0x0F))
        ++m_breaks;
    m_counter = counter;
    if (!pesStart)
        return out(p + start, kTransportPacket - start, std::nullopt);
    const std::uint8_t* pes = p + start;
    const std::size_t headerEnd = start + 9 + pes[8];
    if (headerEnd >= kTransportPacket)
        return true;
    return out(p + headerEnd, kTransportPacket - headerEnd, PesTimeStamp(pes, kTransportPacket - start));
}
