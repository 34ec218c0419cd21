// libFuzzer entry: arbitrary texts for the day parser, the typing check and
// the history statements.
#include "FuzzBodies.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzTextsSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzTexts(data, size);
    return 0;
}
