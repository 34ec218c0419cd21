// What the fuzzers run on each input; the regression test runs the same on
// the inputs kept from earlier runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Arbitrary bytes as a recording through the player's read, parse, decode
// and colour conversion path.
void FuzzPlayerBytes(const std::uint8_t* data, std::size_t size);
// The same bytes through the first picture mark's reader and the group
// search of a seek.
void FuzzRecordingLayout(const std::uint8_t* data, std::size_t size);
// The same as a copying export reads them: the pictures' units and the
// transport stream's breaks.
void FuzzH264Units(const std::uint8_t* data, std::size_t size, const std::vector<std::uint8_t>& video);

// Arbitrary bytes as an MJPEG camera's stream over HTTP or TCP, through the
// splitter that cuts it into pictures and the picture decoder.
void FuzzCameraBytes(const std::uint8_t* data, std::size_t size);

// Arbitrary text as retention days, free space, a recording's file name, a
// camera entry or address, as typed days and as a path and a day in the
// history statements, run against a real database. Needs FuzzTextsSetUp.
void FuzzTextsSetUp();
void FuzzTexts(const std::uint8_t* data, std::size_t size);
