// The number of each picture of a recording from the start of its file,
// read from the stream itself so that it holds after a seek: the group of
// pictures header carries the time code of its first picture (the encoder
// counts its pictures from the file's start), and each picture header its
// place in display order within the group.
#pragma once

#include <cstdint>

class PictureNumbering {
public:
    static constexpr long long kUnknown = -1;

    // A new stream, e.g. after a seek: no group is known yet.
    void Reset() { m_groupStart = kUnknown; }
    // One picture's bytes as the parser cuts them, headers before it
    // included. Its number, or kUnknown before the first group header.
    long long Number(const std::uint8_t* data, int size);

private:
    long long m_groupStart = kUnknown;
};

// A 25-bit MPEG-1 time code (drop flag, hours, minutes, marker, seconds,
// pictures) as a picture count at 25 a second.
long long TimeCodePictures(std::uint32_t timeCode);
// The number of a group's first picture from its header (start code
// 00 00 01 B8 at `header`, at least 8 bytes).
long long GroupHeaderPictures(const std::uint8_t* header);
