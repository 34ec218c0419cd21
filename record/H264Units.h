// The network units of an H.264 picture in Annex B form (each behind a
// 00 00 01 start code), as the recorder's encoder writes them: parameter
// sets and messages first, then the picture's slices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the first coded slice begins (its start code, the zero before a
// four-byte one included), or `size`.
std::size_t FirstSlice(const std::uint8_t* data, std::size_t size);
// Whether the picture is an instantaneous decoder refresh: a decoder may
// begin at it.
bool IsRefreshPicture(const std::uint8_t* data, std::size_t size);
// The sequence and picture parameter sets before the first slice, each
// behind a four-byte start code; empty when there are none.
std::vector<std::uint8_t> ParameterSets(const std::uint8_t* data, std::size_t size);
