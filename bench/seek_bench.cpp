// A seek in a day-long recording: a minute of 640 × 480 at the recorder's
// parameters, laid end to end for 24 hours with each copy's group time
// codes moved on (so the file reads as one day of pictures, 4 GB), then
// seeks to moments spread over the day, each timed from the bisection to the
// first decoded picture at the moment, as the player does it.
//   seek_bench [hours]   (default 24)
#include "BenchSupport.h"
#include "Mpeg1StreamDecoder.h"
#include "PictureNumbering.h"
#include "RecordingSeeker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

constexpr long long kPicturesPerMinute = 25 * 60;

// Moves every group time code of `minute` on by `pictures`.
void MoveTimeCodes(std::vector<std::uint8_t>& minute, const std::vector<std::size_t>& groups, long long pictures)
{
    for (std::size_t at : groups) {
        std::uint8_t* b = &minute[at + 4];
        const long long n = GroupHeaderPictures(&minute[at]) % kPicturesPerMinute + pictures;
        const std::uint32_t h = static_cast<std::uint32_t>(n / 90000), m = static_cast<std::uint32_t>(n / 1500 % 60);
        const std::uint32_t s = static_cast<std::uint32_t>(n / 25 % 60), p = static_cast<std::uint32_t>(n % 25);
        const std::uint32_t moved = (h << 19) | (m << 13) | (1u << 12) | (s << 6) | p;
        b[0] = static_cast<std::uint8_t>(moved >> 17);
        b[1] = static_cast<std::uint8_t>(moved >> 9);
        b[2] = static_cast<std::uint8_t>(moved >> 1);
        b[3] = static_cast<std::uint8_t>((b[3] & 0x7F) | ((moved & 1) << 7));
    }
}

bool MakeDay(const std::string& dir, const std::string& path, int hours)
{
    const std::string minutePath = dir + "/minute.m1v";
    if (!Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=60 "
               "-c:v mpeg1video -b:v 400k -g 10 -bf 1 -f mpeg1video '" + minutePath + "'"))
        return false;
    std::ifstream in(minutePath, std::ios::binary);
    std::vector<std::uint8_t> minute((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (minute.size() > 4)
        minute.resize(minute.size() - 4);  // the sequence end code goes once, at the end
    std::vector<std::size_t> groups;
    for (std::size_t i = 0; i + 8 < minute.size(); ++i)
        if (minute[i] == 0 && minute[i + 1] == 0 && minute[i + 2] == 1 && minute[i + 3] == 0xB8)
            groups.push_back(i);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long long k = 0; k < hours * 60LL; ++k) {
        MoveTimeCodes(minute, groups, k * kPicturesPerMinute);
        out.write(reinterpret_cast<const char*>(minute.data()), static_cast<std::streamsize>(minute.size()));
    }
    return static_cast<bool>(out);
}

// Seeks as the player does and decodes on to the target; the number of the
// picture reached, or -1.
long long SeekAndDecode(const std::string& path, const RecordingSeeker& seeker, Mpeg1StreamDecoder& decoder,
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
        reached = Mpeg1StreamDecoder::PictureNumber(picture);
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
    if (!MakeDay(dir, path, hours)) {
        std::fprintf(stderr, "seek_bench: no recording\n");
        return 1;
    }
    RecordingSeeker seeker(path);
    Mpeg1StreamDecoder decoder;
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
