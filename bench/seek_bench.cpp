// A seek in a day-long recording (LayDayLongRecording: 24 hours, 4 GB),
// then seeks to moments spread over the day, each timed from the bisection to the
// first decoded picture at the moment, as the player does it.
//   seek_bench [hours]   (default 24)
#include "BenchSupport.h"
#include "RecordingDecoder.h"
#include "RecordingSeeker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// Seeks as the player does and decodes on to the target; the number of the
// picture reached, or -1.
long long SeekAndDecode(const std::string& path, const RecordingSeeker& seeker, RecordingDecoder& decoder,
                        long long target)
{
    const std::optional<GroupPlace> group = seeker.GroupOf(target);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || !group)
        return -1;
    fseeko(file, group->offset, SEEK_SET);
    decoder.Reset();
    long long reached = -1;
    std::vector<std::uint8_t> chunk(4096 + 64, 0);
    const auto sink = [&](const AVFrame* picture) {
        reached = RecordingDecoder::PictureNumber(picture);
        return reached < target;
    };
    while (reached < target) {
        const std::size_t n = std::fread(chunk.data(), 1, 4096, file);
        if (n == 0 || !decoder.Feed(chunk.data(), static_cast<int>(n), sink))
            break;
    }
    std::fclose(file);
    return reached;
}

}  // namespace

int main(int argc, char** argv)
{
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
    const std::string dir = MakeScratchDatabase("seek_bench");
    const std::string path = dir + "/day.m1v";
    if (!LayDayLongRecording(dir, path, hours)) {
        std::fprintf(stderr, "seek_bench: no recording\n");
        return 1;
    }
    RecordingSeeker seeker(path);
    RecordingDecoder decoder;
    decoder.Open();
    const long long last = seeker.LastPictureNumber().value_or(0);
    std::mt19937 random(11);
    std::vector<double> times;
    long long worstMiss = 0;
    for (int i = 0; i < 40; ++i) {
        const long long target = std::uniform_int_distribution<long long>(0, last)(random);
        const double start = WallSeconds();
        const long long reached = SeekAndDecode(path, seeker, decoder, target);
        times.push_back(WallSeconds() - start);
        worstMiss = std::max(worstMiss, reached < 0 ? last : std::llabs(reached - target));
    }
    std::sort(times.begin(), times.end());
    const std::string day = std::to_string(hours) + "-hour file";
    Result("seek: pictures in the " + day, static_cast<double>(last + 1), "pictures");
    Result("seek: median seek to a picture of the " + day, times[times.size() / 2] * 1000, "ms", "bisection and decode");
    Result("seek: slowest of 40 seeks", times.back() * 1000, "ms", "target under 500");
    Result("seek: farthest landing from the asked picture", static_cast<double>(worstMiss), "pictures",
           "25 is one second");
    std::remove(path.c_str());
    return 0;
}
