#include "RepeatPicture.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kPictureCode = 0x00;
constexpr std::uint8_t kGroupCode = 0xB8;
constexpr std::uint8_t kSequenceCode = 0xB3;
constexpr int kPicturesPerSecond = 25;
// Headers come first in a coded picture; its slices follow them.
constexpr std::size_t kHeaderScan = 512;

class BitWriter {
public:
    void Put(std::uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            m_byte = static_cast<std::uint8_t>(m_byte << 1 | ((value >> i) & 1));
            if (++m_bits == 8)
                Flush();
        }
    }
    // Zero bits up to the next byte, as a start code needs.
    void Align()
    {
        while (m_bits != 0)
            Put(0, 1);
    }
    void StartCode(std::uint8_t code)
    {
        Align();
        Put(0x000001, 24);
        Put(code, 8);
    }
    std::vector<std::uint8_t> Take()
    {
        Align();
        return std::move(m_bytes);
    }

private:
    void Flush()
    {
        m_bytes.push_back(m_byte);
        m_byte = 0;
        m_bits = 0;
    }
    std::vector<std::uint8_t> m_bytes;
    std::uint8_t m_byte = 0;
    int m_bits = 0;
};

// macroblock_address_increment 1 to 33 (ISO/IEC 11172-2, table B.1): code, length.
constexpr std::uint8_t kIncrementCode[33][2] = {
    {0x1, 1},  {0x3, 3},  {0x2, 3},  {0x3, 4},  {0x2, 4},  {0x3, 5},  {0x2, 5},  {0x7, 7},  {0x6, 7},
    {0xB, 8},  {0xA, 8},  {0x9, 8},  {0x8, 8},  {0x7, 8},  {0x6, 8},  {0x17, 10}, {0x16, 10}, {0x15, 10},
    {0x14, 10}, {0x13, 10}, {0x12, 10}, {0x23, 11}, {0x22, 11}, {0x21, 11}, {0x20, 11}, {0x1F, 11}, {0x1E, 11},
    {0x1D, 11}, {0x1C, 11}, {0x1B, 11}, {0x1A, 11}, {0x19, 11}, {0x18, 11}};
constexpr std::uint32_t kIncrementEscape = 0x8;  // 0000 0001 000, adds 33
constexpr int kIncrementEscapeBits = 11;

void PutIncrement(BitWriter& out, int increment)
{
    for (; increment > 33; increment -= 33)
        out.Put(kIncrementEscape, kIncrementEscapeBits);
    out.Put(kIncrementCode[increment - 1][0], kIncrementCode[increment - 1][1]);
}

// "Motion compensated, not coded" (001) with a zero vector: both motion
// codes are 1 (no change from the predictor, which is zero at a slice's
// start and after skipped macroblocks).
void PutCopiedMacroblock(BitWriter& out, int increment)
{
    PutIncrement(out, increment);
    out.Put(0x1, 3);
    out.Put(0x1, 1);
    out.Put(0x1, 1);
}

// One slice a row of macroblocks, as the codec writes them: a slice has to
// begin and end with a coded macroblock; those between are skipped, which
// in a P picture means copied.
void PutSlices(BitWriter& out, int columns, int rows)
{
    for (int row = 0; row < rows; ++row) {
        out.StartCode(static_cast<std::uint8_t>(row + 1));
        out.Put(1, 5);  // quantiser scale: no coefficient follows
        out.Put(0, 1);  // extra_bit_slice
        PutCopiedMacroblock(out, 1);
        if (columns > 1)
            PutCopiedMacroblock(out, columns - 1);
    }
}

void PutTimeCode(std::uint8_t* body, std::uint32_t code)
{
    body[0] = static_cast<std::uint8_t>(code >> 17);
    body[1] = static_cast<std::uint8_t>(code >> 9);
    body[2] = static_cast<std::uint8_t>(code >> 1);
    body[3] = static_cast<std::uint8_t>((body[3] & 0x7F) | ((code & 1) << 7));
}

}  // namespace

void WriteTemporalReference(std::uint8_t* body, int reference)
{
    body[0] = static_cast<std::uint8_t>(reference >> 2);
    body[1] = static_cast<std::uint8_t>((body[1] & 0x3F) | ((reference & 0x3) << 6));
}

std::vector<std::uint8_t> RepeatPicture(int width, int height, int temporalReference)
{
    BitWriter out;
    out.StartCode(kPictureCode);
    out.Put(static_cast<std::uint32_t>(temporalReference) & 0x3FF, 10);
    out.Put(2, 3);        // P picture
    out.Put(0xFFFF, 16);  // vbv_delay: variable rate
    out.Put(0, 1);        // full_pel_forward_vector
    out.Put(1, 3);        // forward_f_code
    out.Put(0, 1);        // extra_bit_picture
    PutSlices(out, (width + 15) / 16, (height + 15) / 16);
    return out.Take();
}

std::uint32_t SlotTimeCode(long long slot)
{
    const long long seconds = slot / kPicturesPerSecond;
    const auto hours = static_cast<std::uint32_t>(std::min(seconds / 3600, 31LL));
    const auto minutes = static_cast<std::uint32_t>(seconds / 60 % 60);
    return hours << 19 | minutes << 13 | 1u << 12 | static_cast<std::uint32_t>(seconds % 60) << 6 |
           static_cast<std::uint32_t>(slot % kPicturesPerSecond);
}

void WriteSequenceBitRate(std::uint8_t* body, std::uint64_t bitsPerSecond)
{
    const std::uint64_t units = std::clamp<std::uint64_t>((bitsPerSecond + 399) / 400, 1, 0x3FFFE);
    // Width 12 bits, height 12, aspect 4, rate code 4, then the 18 bits.
    body[4] = static_cast<std::uint8_t>(units >> 10);
    body[5] = static_cast<std::uint8_t>(units >> 2);
    body[6] = static_cast<std::uint8_t>((body[6] & 0x3F) | ((units & 0x3) << 6));
}

void SlotNumbering::Renumber(std::uint8_t* picture, std::size_t size)
{
    const std::size_t scan = std::min(size, kHeaderScan);
    for (std::size_t i = 0; i + 8 <= scan; ++i) {
        if (picture[i] != 0 || picture[i + 1] != 0 || picture[i + 2] != 1)
            continue;
        if (picture[i + 3] == kSequenceCode && m_bitRate > 0 && i + 11 <= size) {
            WriteSequenceBitRate(picture + i + 4, m_bitRate);
        } else if (picture[i + 3] == kGroupCode) {
            m_groupStart = m_slot;
            PutTimeCode(picture + i + 4, SlotTimeCode(m_slot));
        } else if (picture[i + 3] == kPictureCode) {
            WriteTemporalReference(picture + i + 4, static_cast<int>(SlotsInGroup() & 0x3FF));
            break;
        }
    }
    ++m_slot;
}

int SlotNumbering::NextRepeat()
{
    const int reference = static_cast<int>(SlotsInGroup() & 0x3FF);
    ++m_slot;
    return reference;
}
