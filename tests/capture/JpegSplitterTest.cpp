// MJPEG byte streams cut into pictures by their markers, however the bytes
// arrive, each picture timed by its first byte.
#include "FfmpegPtr.h"
#include "JpegSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = JpegSplitter::Clock;

// A grey picture as a camera would send it.
Bytes Jpeg(int width, int height, std::uint8_t level)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecContextPtr c(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    c->width = frame->width = width;
    c->height = frame->height = height;
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    frame->format = c->pix_fmt;
    c->time_base = AVRational{1, 25};
    if (avcodec_open2(c.get(), codec, nullptr) != 0 || av_frame_get_buffer(frame.get(), 0) != 0)
        return {};
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p == 0 ? height : height / 2); ++y)
            for (int x = 0; x < (p == 0 ? width : width / 2); ++x)
                frame->data[p][y * frame->linesize[p] + x] = p == 0 ? static_cast<std::uint8_t>(level + x * 7 + y * 3) : 128;
    if (avcodec_send_frame(c.get(), frame.get()) != 0 || avcodec_receive_packet(c.get(), packet.get()) != 0)
        return {};
    return Bytes(packet->data, packet->data + packet->size);
}

// Markers only: a table segment, a scan whose coded data holds a stuffed
// FF 00, restart markers and fill bytes, then the end.
const Bytes kSynthetic = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xFF, 0xDA, 0x00, 0x03, 0x01,
                          0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xD7, 0xFF, 0xFF, 0xD9};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::vector<Bytes> Split(const Bytes& stream, std::size_t chunk)
{
    JpegSplitter splitter;
    std::vector<JpegSplitter::Picture> pictures;
    for (std::size_t at = 0; at < stream.size(); at += chunk)
        splitter.Feed(stream.data() + at, std::min(chunk, stream.size() - at), Clock::now(), &pictures);
    std::vector<Bytes> bytes;
    for (const auto& picture : pictures)
        bytes.push_back(picture.bytes);
    return bytes;
}

TEST(JpegSplitter, PicturesAreCutAtTheirEndMarkersHoweverTheBytesArrive)
{
    const Bytes a = Jpeg(64, 48, 20), b = Jpeg(320, 240, 90);
    ASSERT_FALSE(a.empty());
    const Bytes part = Text("--frame\r\nContent-Type: image/jpeg\r\nContent-Length: 9\r\n\r\n");
    const struct {
        const char* what;
        Bytes stream;
        std::vector<Bytes> pictures;
    } cases[] = {
        {"back to back", Join({a, b}), {a, b}},
        {"an HTTP multipart stream", Join({part, a, Text("\r\n"), part, b, Text("\r\n")}), {a, b}},
        {"restarts, a stuffed byte and fill bytes", Join({kSynthetic, a}), {kSynthetic, a}},
        {"a picture cut by the next one's start", Join({Bytes(b.begin(), b.begin() + b.size() / 2), a}), {a}},
        {"noise, a start without a marker after it", Join({Text("\xff\xd8zz"), a}), {a}},
        {"a picture not yet ended", Join({a, Bytes(b.begin(), b.end() - 2)}), {a}},
    };
    for (const auto& c : cases)
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, c.stream.size()})
            EXPECT_EQ(Split(c.stream, chunk), c.pictures) << c.what << ", in chunks of " << chunk;
    EXPECT_EQ(JpegPictureSize(b.data(), b.size()), std::make_pair(320, 240));
    EXPECT_EQ(JpegPictureSize(kSynthetic.data(), kSynthetic.size()), std::nullopt) << "no frame header";
}

TEST(JpegSplitter, APictureIsTimedByItsFirstByte)
{
    const Bytes a = Jpeg(64, 48, 20), b = Jpeg(64, 48, 60);
    const Clock::time_point t1 = Clock::now(), t2 = t1 + std::chrono::milliseconds(300);
    JpegSplitter splitter;
    std::vector<JpegSplitter::Picture> pictures;
    splitter.Feed(a.data(), 10, t1, &pictures);
    EXPECT_TRUE(pictures.empty()) << "not whole yet";
    const Bytes rest = Join({Bytes(a.begin() + 10, a.end()), b});
    splitter.Feed(rest.data(), rest.size(), t2, &pictures);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].firstByte, t1);
    EXPECT_EQ(pictures[1].firstByte, t2);
}

}  // namespace
