// libFuzzer entry: arbitrary bytes as an MJPEG camera's stream.
#include "FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzCameraBytes(data, size);
    return 0;
}
