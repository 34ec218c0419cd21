#include "H264Units.h"

namespace {

constexpr int kSlice = 1;
constexpr int kRefreshSlice = 5;
constexpr int kSequenceSet = 7;
constexpr int kPictureSet = 8;

// The start code at or after `from` (its 00 00 01), or `size`.
std::size_t NextStart(const std::uint8_t* data, std::size_t size, std::size_t from)
{
    for (std::size_t i = from; i + 3 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            return i;
    return size;
}

}  // namespace

std::size_t FirstSlice(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = NextStart(data, size, 0); i < size; i = NextStart(data, size, i + 3)) {
        const int type = data[i + 3] & 0x1F;
        if (type == kSlice || type == kRefreshSlice)
            return i > 0 && data[i - 1] == 0 ? i - 1 : i;
    }
    return size;
}

bool IsRefreshPicture(const std::uint8_t* data, std::size_t size)
{
    const std::size_t slice = FirstSlice(data, size);
    const std::size_t start = NextStart(data, size, slice);
    return start < size && (data[start + 3] & 0x1F) == kRefreshSlice;
}

std::vector<std::uint8_t> ParameterSets(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> sets;
    const std::size_t slice = FirstSlice(data, size);
    for (std::size_t i = NextStart(data, slice, 0); i < slice; ) {
        const std::size_t next = NextStart(data, slice, i + 3);
        std::size_t end = next;
        while (end > i + 3 && data[end - 1] == 0)  // the zero of the next four-byte start code
            --end;
        const int type = data[i + 3] & 0x1F;
        if (type == kSequenceSet || type == kPictureSet) {
            sets.insert(sets.end(), {0, 0, 0, 1});
            sets.insert(sets.end(), data + i + 3, data + end);
        }
        i = next;
    }
    return sets;
}
