#include "PictureNumbering.h"

namespace {

constexpr std::uint8_t kPictureCode = 0x00;
constexpr std::uint8_t kGroupCode = 0xB8;
constexpr int kPicturesPerSecond = 25;

}  // namespace

long long TimeCodePictures(std::uint32_t timeCode)
{
    const long long hours = (timeCode >> 19) & 0x1F;
    const long long minutes = (timeCode >> 13) & 0x3F;
    const long long seconds = (timeCode >> 6) & 0x3F;
    const long long pictures = timeCode & 0x3F;
    return ((hours * 60 + minutes) * 60 + seconds) * kPicturesPerSecond + pictures;
}

// A group header's time code takes the 25 bits after its start code.
long long GroupHeaderPictures(const std::uint8_t* header)
{
    const std::uint8_t* body = header + 4;
    return TimeCodePictures((std::uint32_t{body[0]} << 17) | (std::uint32_t{body[1]} << 9) |
                            (std::uint32_t{body[2]} << 1) | (body[3] >> 7));
}

// Start codes are 00 00 01 xx; a picture header's temporal reference takes
// the first 10 bits after it.
long long PictureNumbering::Number(const std::uint8_t* data, int size)
{
    for (int i = 0; i + 7 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const std::uint8_t* body = data + i + 4;
        if (data[i + 3] == kGroupCode) {
            m_groupStart = GroupHeaderPictures(data + i);
        } else if (data[i + 3] == kPictureCode) {
            const int temporalReference = (body[0] << 2) | (body[1] >> 6);
            return m_groupStart == kUnknown ? kUnknown : m_groupStart + temporalReference;
        }
    }
    return kUnknown;
}
