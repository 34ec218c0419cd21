// The coded pictures a recording is made of, counted by their slots: the
// recorder writes 25 pictures a second of wall-clock time, and a slot whose
// camera gave no new picture shows the previous one again. Such a repeat is
// not encoded again: it is an MPEG-1 P picture whose every macroblock takes
// the reference picture's block at the same place (a few hundred bytes,
// built in microseconds), so a slow camera or a PC that falls behind costs
// the encoder nothing for the slots it fills. The codec never sees these
// pictures, so the time codes of its groups and the temporal references of
// its pictures are rewritten to count the file's slots: picture n of a file
// is the n-th slot, which is what the player's numbering reads back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A P picture of width × height that shows its reference picture unchanged;
// its temporal reference is `temporalReference` (0 to 1023).
std::vector<std::uint8_t> RepeatPicture(int width, int height, int temporalReference);

// Writes a temporal reference into a picture header (`body` is the byte
// after its start code 00 00 01 00).
void WriteTemporalReference(std::uint8_t* body, int reference);

// Writes the bit rate into a sequence header (`body` is the byte after its
// start code 00 00 01 B3, at least 7 bytes): in units of 400 bit/s, rounded
// up, at most 0x3FFFE (0x3FFFF would mean "variable", from which players
// guess a length hundreds of times too short).
void WriteSequenceBitRate(std::uint8_t* body, std::uint64_t bitsPerSecond);

// The 25-bit group time code of picture `slot` at 25 a second: drop flag 0,
// hours (at most 31), minutes, marker bit, seconds, pictures.
std::uint32_t SlotTimeCode(long long slot);

// Renumbers the coded pictures of one file in the order they are written
// (no B pictures, so coding order is display order).
class SlotNumbering {
public:
    // The longest group written: its temporal references need fewer than 10
    // bits, and a seek finds the group of any picture within a few hundred
    // kilobytes of its start even at the largest sizes.
    static constexpr long long kMaxGroupSlots = 125;

    void Reset() { m_slot = 0, m_groupStart = 0; }
    // The bit rate the sequence headers say from now on.
    void SetBitRate(std::uint64_t bitsPerSecond) { m_bitRate = bitsPerSecond; }
    // Rewrites the group time code and the temporal reference in the headers
    // at the start of one coded picture from the codec, and the bit rate of
    // a sequence header there, and counts its slot.
    void Renumber(std::uint8_t* picture, std::size_t size);
    // The temporal reference of a repeat written now, and counts its slot.
    int NextRepeat();
    long long Slot() const { return m_slot; }
    long long SlotsInGroup() const { return m_slot - m_groupStart; }

private:
    long long m_slot = 0;        // slot of the next picture written
    long long m_groupStart = 0;  // slot of the current group's first picture
    std::uint64_t m_bitRate = 0;  // 0: as the codec wrote it
};
