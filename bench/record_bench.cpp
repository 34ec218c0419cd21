// The recording path against its limit: the same pre-made frames through
// Lumaro's record path (record stamps, day rule, EncodeFrame, file writes)
// and through a bare libavcodec encode with the same parameters and no
// stamps, at 640 × 480 and 1280 × 720.
//   record_bench [frames]   (default 500 per size, path and round)
#include "BenchSupport.h"
#include "FfmpegPtr.h"
#include "CaptureClock.h"
#include "FrameStamp.h"
#include "MotionDetector.h"
#include "RecordTimeline.h"
#include "Sampler.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Frames in the pipeline's layout with detail and motion, so the encoder
// has real work: 25 of them, shown in turn.
std::vector<std::vector<std::uint8_t>> MakeFrames(int w, int h)
{
    std::vector<std::vector<std::uint8_t>> frames(25);
    unsigned noise = 12345;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        frames[f].resize(static_cast<std::size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                noise = noise * 1103515245u + 12345u;
                std::uint8_t* p = &frames[f][(static_cast<std::size_t>(y) * w + x) * 3];
                p[0] = static_cast<std::uint8_t>((x + 4 * f) ^ y);
                p[1] = static_cast<std::uint8_t>(y + 3 * f + (noise >> 28));
                p[2] = static_cast<std::uint8_t>(((x / 16 + y / 16 + f) % 2) * 200);
            }
    }
    return frames;
}

double LumaroPath(const std::vector<std::vector<std::uint8_t>>& frames, int w, int h, int count,
                  const std::string& root)
{
    Sampler sampler;
    sampler.Configure(0, 0, root, 0, nullptr);  // no panel: the record path alone
    sampler.CheckMediaType(MediaType{MediaSubtype::Rgb24, w, h, true});
    std::vector<std::uint8_t> frame;
    const double start = WallSeconds();
    for (int i = 0; i < count; ++i) {
        frame = frames[static_cast<std::size_t>(i) % frames.size()];
        sampler.DoRenderSample(frame.data());
    }
    const double elapsed = WallSeconds() - start;
    if (sampler.FramesEncoded() != static_cast<std::uint64_t>(count))
        std::fprintf(stderr, "record_bench: only %llu of %d frames encoded\n",
                     static_cast<unsigned long long>(sampler.FramesEncoded()), count);
    return count / elapsed;
}

double BareEncode(const std::vector<std::vector<std::uint8_t>>& frames, int w, int h, int count,
                  const std::string& root)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    CodecContextPtr c(avcodec_alloc_context3(codec));
    c->bit_rate = 400000;
    c->width = w;
    c->height = h;
    c->time_base = AVRational{1, 25};
    c->gop_size = 10;
    c->max_b_frames = 1;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    if (avcodec_open2(c.get(), codec, nullptr) < 0)
        return 0;
    // Pictures take turns as in the recorder, so neither side copies a picture
    // that the codec still holds for B-frame reordering.
    FramePtr pictures[4];
    for (auto& p : pictures) {
        p.reset(av_frame_alloc());
        p->format = AV_PIX_FMT_YUV420P;
        p->width = w;
        p->height = h;
        av_frame_get_buffer(p.get(), 0);
    }
    PacketPtr packet(av_packet_alloc());
    SwsContextPtr scaler;
    std::FILE* out = std::fopen((root + "/bare.m1v").c_str(), "wb");
    std::vector<std::uint8_t> frame;
    const double start = WallSeconds();
    for (int i = 0; i <= count; ++i) {
        if (i < count) {
            frame = frames[static_cast<std::size_t>(i) % frames.size()];
            AVFrame* picture = pictures[0].get();
            for (auto& p : pictures)
                if (av_frame_is_writable(p.get())) {
                    picture = p.get();
                    break;
                }
            av_frame_make_writable(picture);
            SwsContext* s = CachedScaler(scaler, w, h, AV_PIX_FMT_RGB24, w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC);
            const int stride = 3 * w;
            const std::uint8_t* src[1] = {frame.data() + static_cast<std::size_t>(h - 1) * stride};
            const int srcStride[1] = {-stride};
            sws_scale(s, src, srcStride, 0, h, picture->data, picture->linesize);
            picture->pts = i;
            avcodec_send_frame(c.get(), picture);
        } else {
            avcodec_send_frame(c.get(), nullptr);
        }
        while (avcodec_receive_packet(c.get(), packet.get()) == 0) {
            std::fwrite(packet->data, 1, static_cast<std::size_t>(packet->size), out);
            av_packet_unref(packet.get());
        }
    }
    std::fclose(out);
    return count / (WallSeconds() - start);
}

// The timing work each frame gets: its capture time from a stream's stamps
// and its place on the recording's timeline; nanoseconds a frame.
double TimingWorkNs(int count)
{
    CaptureClock clock(CaptureClock::Mode::Stamps);
    RecordTimeline timeline;
    const auto zero = std::chrono::steady_clock::time_point{};
    long long pictures = 0;
    const double start = WallSeconds();
    for (int i = 0; i < count; ++i) {
        const auto arrival = zero + std::chrono::microseconds(40000LL * i + (i * 7919LL % 9000));
        pictures += timeline.Place(clock.TimeOf(40000LL * i, arrival)).pictures;
    }
    const double elapsed = WallSeconds() - start;
    if (pictures != count)
        std::fprintf(stderr, "record_bench: %lld pictures for %d frames\n", pictures, count);
    return elapsed / count * 1e9;
}

// The record stamps (time and title, green with their dark outline) on a
// frame of that size; nanoseconds a frame. The time text changes every 25
// frames, as it does once a second.
double StampNs(const std::vector<std::vector<std::uint8_t>>& frames, int w, int h, int count)
{
    FrameStamp stamp;
    std::vector<std::uint8_t> frame = frames[0];
    const PixelView view{frame.data(), w, h, 3, 3 * w, true};
    const double start = WallSeconds();
    for (int i = 0; i < count; ++i)
        stamp.Stamp(view, "2026-12-09 10:00:" + std::to_string(10 + (i / 25) % 50));
    return (WallSeconds() - start) / count * 1e9;
}

// Motion detection on a frame of that size, which the capture has just
// written (so it is in the cache): a still scene with a square crossing it;
// nanoseconds a frame.
double MotionNs(const std::vector<std::vector<std::uint8_t>>& frames, int w, int h, int count)
{
    MotionDetector detector;
    std::vector<std::uint8_t> frame = frames[0];
    double moved = 0;
    double looking = 0;
    for (int i = 0; i < count; ++i) {
        frame = frames[0];
        const int left = (i * 4) % (w - 64);
        for (int y = h / 3; y < h / 3 + 64; ++y)
            std::fill_n(&frame[(static_cast<std::size_t>(y) * w + left) * 3], 64 * 3, std::uint8_t{0});
        const double start = WallSeconds();
        moved += detector.Look(frame.data(), w, h, static_cast<PreciseTime>(i) * kPictureInterval).share;
        looking += WallSeconds() - start;
    }
    if (moved <= 0)
        std::fprintf(stderr, "record_bench: no motion seen\n");
    return looking / count * 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // the stamps' font
    const std::string root = MakeScratchDatabase("record_bench");
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1280, 720}}) {
        const auto frames = MakeFrames(w, h);
        // Turns taken three times, the best of each kept: this evens out
        // warm-up and the machine's other work.
        double bare = 0, lumaro = 0;
        for (int round = 0; round < 3; ++round) {
            bare = std::max(bare, BareEncode(frames, w, h, count, root));
            lumaro = std::max(lumaro, LumaroPath(frames, w, h, count, root));
        }
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        Result("record path " + size + ", Lumaro", lumaro, "frames/s");
        Result("record path " + size + ", bare libavcodec", bare, "frames/s");
        Result("record path " + size + ", ratio Lumaro/bare", lumaro / bare, "", "goal >= 0.9");
        Result("record stamps " + size + " a frame", StampNs(frames, w, h, 20000) / (1e9 / lumaro) * 100, "%",
               "of the frame's record path, outline included");
        Result("motion detection " + size + " a frame", MotionNs(frames, w, h, 2000) / (1e9 / lumaro) * 100, "%",
               "of the frame's record path");
        if (w == 640)
            Result("record path: capture time and timeline a frame", TimingWorkNs(1000000) / (1e9 / lumaro) * 100, "%",
                   "of the 640x480 frame's record path");
    }
    return 0;
}
