// Test helper: decodes a raw MPEG-1 video file with FFmpeg's own parser and
// decoder, keeping every picture as top-down RGB24.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // top row first, red-green-blue
    const std::uint8_t* Pixel(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

struct DecodedFile {
    std::vector<DecodedPicture> pictures;
    int frameRateNum = 0;
    int frameRateDen = 0;
    int errors = 0;  // packets the decoder refused
};

DecodedFile DecodeMpeg1File(const std::string& path);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

// Makes a recording of ours look like one recorded before its mark said
// "true colours" (those hold red and blue exchanged): the words become
// spaces, so its pictures now stand for the scene with red and blue
// exchanged.
void MarkAsOlderRecording(const std::string& path);
