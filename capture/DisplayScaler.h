// Scales the pipeline's frame (blue, green, red; rows bottom-up) into the
// panel's top-down 32-bit image. When the frame is larger, each panel pixel
// averages the 2 × 2 frame pixels at its place, which for the usual halving
// is a box filter; otherwise it is the frame pixel at its place. The column
// table and row buffers are kept while the sizes stay.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

class DisplayScaler {
public:
    void Scale(const std::uint8_t* frame, int frameWidth, int frameHeight, QImage* panel);

private:
    void Prepare(int frameWidth, int panelWidth);
    void Enlarge(const std::uint8_t* frame, int frameHeight, QImage* panel) const;
    void AddSquares(const std::uint8_t* top, const std::uint8_t* bottom);
    void PackRow(std::uint32_t* out, int width) const;

    int m_frameWidth = 0;
    int m_panelWidth = 0;
    std::vector<int> m_left;  // byte offset of each panel column's first frame pixel
    // Each frame byte of two rows with the same byte of the right neighbour:
    // the rounded mean of the four.
    std::vector<std::uint8_t> m_squareMean;
};
