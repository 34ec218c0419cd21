// Every input kept from the fuzzers' runs goes through the same bodies again.
#include "FuzzBodies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<std::vector<std::uint8_t>> Inputs(const char* kind)
{
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(FUZZ_REGRESSIONS) + "/" + kind)) {
        std::ifstream in(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return inputs;
}

}  // namespace

TEST(FuzzRegression, PlayerInputs)
{
    const auto inputs = Inputs("player");
    EXPECT_FALSE(inputs.empty());
    for (const auto& input : inputs)
        FuzzPlayerBytes(input.data(), input.size());
}

TEST(FuzzRegression, TextInputs)
{
    FuzzTextsSetUp();
    const auto inputs = Inputs("texts");
    EXPECT_FALSE(inputs.empty());
    for (const auto& input : inputs)
        FuzzTexts(input.data(), input.size());
}

TEST(FuzzRegression, CameraInputs)
{
    const auto inputs = Inputs("camera");
    EXPECT_FALSE(inputs.empty());
    for (const auto& input : inputs)
        FuzzCameraBytes(input.data(), input.size());
}
