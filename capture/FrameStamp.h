// The date-and-time and title stamps drawn into every frame. Texts are
// rendered once (the time text changes once a second) into coverage masks with
// one fixed font, then blended straight into the frame's own bytes, so no
// per-frame painter or conversion is needed.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>

// A text's coverage and its one-pixel outline, with a pixel of margin on
// every side for the outline.
struct StampMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> alpha;    // coverage, top row first
    std::vector<std::uint8_t> outline;  // the coverage spread by a pixel
};

// A picture in memory with blue, green, red as its first three bytes a pixel.
struct PixelView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    int bytesPerRow = 0;
    bool bottomUp = false;  // first row in memory is the picture's bottom row
};

class FrameStamp {
public:
    // The text for the top-left corner and the title for the bottom-right.
    const StampMask& TimeMask(const std::string& timeText);
    const StampMask& TitleMask();

    // Draws the time at the top-left and the title at the bottom-right of
    // `picture`, green with a dark one-pixel outline, so it reads over any
    // scene.
    void Stamp(const PixelView& picture, const std::string& timeText);

    static void Blend(const StampMask& mask, const PixelView& picture, int x, int y);
    static StampMask Render(const std::string& text);

    static constexpr int kOutline = 1;  // pixels

private:
    std::string m_timeText;
    StampMask m_time;
    StampMask m_title;
};
