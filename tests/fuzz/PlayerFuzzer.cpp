// libFuzzer entry: arbitrary bytes as a recording for the player.
#include "FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzPlayerBytes(data, size);
    return 0;
}
