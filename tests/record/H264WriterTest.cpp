// The space-saving format as other tools see it: H.264 in MPEG-TS whose
// time line counts the recording's slots, tagged colours, the first
// picture's time in the stream, and a cut anywhere leaving what came before.
#include "H264Units.h"
#include "H264Writer.h"
#include "TransportStream.h"
#include "ShellOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

const int kQuiet = (av_log_set_level(AV_LOG_ERROR), 0);
constexpr PreciseTime kFirst = 1257064200123456;  // 2009-11-01 08:30:00.123456 UTC

// A red picture with a bright bar that moves with `n`.
FramePtr Picture(int width, int height, int n)
{
    FramePtr picture(av_frame_alloc());
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    EXPECT_GE(av_frame_get_buffer(picture.get(), 0), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->data[0][y * picture->linesize[0] + x] = (x - 4 * n) % width < 16 ? 235 : 81;
    for (int y = 0; y < height / 2; ++y) {
        std::memset(picture->data[1] + y * picture->linesize[1], 90, static_cast<std::size_t>(width / 2));
        std::memset(picture->data[2] + y * picture->linesize[2], 240, static_cast<std::size_t>(width / 2));
    }
    return picture;
}

// Writes `slots` slots, a picture in each but those of a two-second pause
// after the first second, into `path`; the number of pictures written.
int WriteStream(const std::string& path, int width, int height, int slots)
{
    std::string bytes;
    H264Writer writer;
    std::string error;
    EXPECT_TRUE(writer.Open(width, height, kFirst, [&](const std::uint8_t* d, std::size_t n) {
        bytes.append(reinterpret_cast<const char*>(d), n);
        return true;
    }, &error)) << error;
    int pictures = 0;
    for (int slot = 0; slot < slots; ++slot) {
        if (slot >= 25 && slot < 75)
            continue;  // the camera paused: the slots are not coded
        FramePtr picture = Picture(width, height, slot);
        EXPECT_TRUE(writer.Write(picture.get(), slot, false));
        ++pictures;
    }
    writer.Close();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return pictures;
}

std::string Probe(const std::string& path, const std::string& entries)
{
    return ShellOutput("ffprobe -v error -count_frames -show_entries " + entries + " -of default=nw=1 '" + path + "'");
}

// What ffmpeg makes of `path` with `arguments`.
std::string ToolBytes(const std::string& path, const std::string& arguments)
{
    const std::string out = path + ".out";
    ShellOutput("ffmpeg -v error -y -i '" + path + "' " + arguments + " '" + out + "'");
    std::ifstream in(out, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(out);
    return bytes;
}

}  // namespace

TEST(H264WriterTest, OtherToolsSeeTheSlotsTimeLineTheTaggedColoursAndTheFirstPicturesTime)
{
    const struct {
        int width, height;
        const char* colours;
    } sizes[] = {{320, 240, "color_space=smpte170m"}, {1280, 720, "color_space=bt709"}};
    for (const auto& size : sizes) {
        const std::string path = "/tmp/h264writer-" + std::to_string(size.height) + ".ts";
        const int pictures = WriteStream(path, size.width, size.height, 150);
        const std::string probe = Probe(path, "format=format_name,duration:stream=codec_name,width,height,"
                                              "nb_read_frames,color_space,color_primaries,color_transfer");
        for (const std::string& expected : {std::string("format_name=mpegts"), std::string("codec_name=h264"),
                                           "nb_read_frames=" + std::to_string(pictures), std::string(size.colours),
                                           "width=" + std::to_string(size.width)})
            EXPECT_NE(probe.find(expected), std::string::npos) << expected << "\n" << probe;
        const double duration = std::stod("0" + ShellOutput("ffprobe -v error -show_entries format=duration -of "
                                                            "csv=p=0 '" + path + "'"));
        EXPECT_NEAR(duration, 150.0 / 25, 0.1) << "the pause keeps its time";
        const std::string elementary = ToolBytes(path, "-c copy -frames:v 1 -f h264");
        const auto mark = FindH264FirstPictureMark(reinterpret_cast<const std::uint8_t*>(elementary.data()),
                                                   elementary.size());
        ASSERT_TRUE(mark.has_value()) << size.height;
        EXPECT_EQ(*mark, kFirst);
        const std::string rgb = ToolBytes(path, "-vf crop=2:2:100:100 -frames:v 1 -f rawvideo -pix_fmt rgb24");
        ASSERT_GE(rgb.size(), 3u);
        EXPECT_GT(static_cast<unsigned char>(rgb[0]), 200) << "red stays red";
        EXPECT_LT(static_cast<unsigned char>(rgb[2]), 60);
        std::filesystem::remove(path);
    }
}

// The pictures' checksums as ffmpeg decodes them, one a line.
std::vector<std::string> PictureSums(const std::string& path)
{
    std::vector<std::string> sums;
    std::istringstream lines(ShellOutput("ffmpeg -v quiet -i '" + path + "' -f framemd5 - 2>/dev/null"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#')
            sums.push_back(line.substr(line.rfind(',') + 1));
    return sums;
}

// A power cut may end the file at any byte: every picture before the one
// being written decodes as it does in the whole file.
TEST(H264WriterTest, AStreamCutAnywhereKeepsEveryEarlierPicture)
{
    const std::string path = "/tmp/h264writer-cut.ts";
    WriteStream(path, 320, 240, 250);
    const std::vector<std::string> whole = PictureSums(path);
    const auto size = std::filesystem::file_size(path);
    for (const double share : {0.13, 0.5, 0.77, 0.999}) {
        const std::string cut = path + ".cut";
        std::filesystem::copy_file(path, cut, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(cut, static_cast<std::uintmax_t>(share * static_cast<double>(size)) | 1);
        const std::vector<std::string> kept = PictureSums(cut);
        ASSERT_GE(kept.size(), 2u) << share;
        for (std::size_t n = 0; n + 1 < kept.size(); ++n)
            ASSERT_EQ(kept[n], whole[n]) << share << ": picture " << n;
        EXPECT_GE(kept.size() + 25, static_cast<std::size_t>(share * static_cast<double>(whole.size()))) << share;
        std::filesystem::remove(cut);
    }
    std::filesystem::remove(path);
}

// Lumaro reads its own files without a demuxer: the first picture's time
// from the stream's first bytes, each picture's slot from its time stamp,
// and where a decoder may begin.
TEST(H264WriterTest, TheFileTellsItsFirstPictureAndEachPicturesSlot)
{
    const std::string dir = "/tmp/h264writer-dir";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/dv(1)-2009-11-01 083000.ts";
    const int pictures = WriteStream(path, 320, 240, 400);
    EXPECT_EQ(RecordingFirstPicture(path), std::optional<PreciseTime>(kFirst));
    EXPECT_TRUE(RecordingHasTrueColours(path));
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<TransportPicture> found;
    TransportVideoPayload(bytes.data(), bytes.size(), &found);
    ASSERT_EQ(found.size(), static_cast<std::size_t>(pictures));
    std::vector<long long> slots;
    for (const TransportPicture& picture : found)
        slots.push_back((picture.pts - found.front().pts) / (90000 / 25));
    EXPECT_EQ(slots[24], 24);
    EXPECT_EQ(slots[25], 75) << "the pause's slots are not coded, and the time goes on";
    EXPECT_EQ(slots.back(), 399);
    EXPECT_TRUE(found.front().randomAccess);
    EXPECT_EQ(std::count_if(found.begin(), found.end(), [](const TransportPicture& p) { return p.randomAccess; }), 3)
        << "an intra picture every five seconds of coded pictures (125 of the 350)";
    std::filesystem::remove_all(dir);
}

// A copying export reads each picture's units and counts where the stream
// broke: a packet lost, one marked damaged, bytes out of step.
TEST(H264WriterTest, APicturesUnitsAndTheStreamsBreaksAreFound)
{
    const std::string path = "/tmp/h264writer-units.ts";
    WriteStream(path, 320, 240, 30);
    std::ifstream in(path, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    std::vector<TransportPicture> found;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(whole.data());
    TransportVideoPayload(bytes, whole.size(), &found);
    ASSERT_GE(found.size(), 3u);
    const auto unit = [&](std::size_t n) {
        return TransportVideoPayload(bytes + found[n].offset, found[n + 1].offset - found[n].offset);
    };
    const std::vector<std::uint8_t> first = unit(0), second = unit(1);
    EXPECT_TRUE(IsRefreshPicture(first.data(), first.size()));
    EXPECT_FALSE(IsRefreshPicture(second.data(), second.size()));
    const std::vector<std::uint8_t> sets = ParameterSets(first.data(), first.size());
    ASSERT_GT(sets.size(), 8u);
    EXPECT_EQ(sets[4] & 0x1F, 7) << "the sequence set first";
    const std::uint8_t start[] = {0, 0, 0, 1};
    EXPECT_NE(std::search(sets.begin() + 5, sets.end(), std::begin(start), std::end(start)), sets.end())
        << "then the picture set, behind its start code";
    EXPECT_LT(FirstSlice(first.data(), first.size()), first.size());

    const std::size_t video = found[1].offset + kTransportPacket;  // a packet within the second picture
    const struct {
        const char* what;
        std::string bytes;
        long long breaks;
    } cases[] = {
        {"whole", whole, 0},
        {"a packet lost", whole.substr(0, video) + whole.substr(video + kTransportPacket), 1},
        {"a packet marked damaged", whole.substr(0, video + 1) + char(whole[video + 1] | 0x80) + whole.substr(video + 2), 1},
        {"bytes out of step", whole.substr(0, video) + "garbage" + whole.substr(video), 1},
    };
    for (const auto& c : cases) {
        TransportDemux demux;
        for (std::size_t at = 0; at < c.bytes.size(); at += 1000)
            demux.Feed(reinterpret_cast<const std::uint8_t*>(c.bytes.data()) + at, std::min<std::size_t>(1000, c.bytes.size() - at),
                       [](const std::uint8_t*, std::size_t, std::optional<std::int64_t>) { return true; });
        EXPECT_EQ(demux.Breaks(), c.breaks) << c.what;
    }
}
