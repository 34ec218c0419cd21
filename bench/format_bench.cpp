// The two recording formats side by side on the same made scenes, at
// 1280 × 720 and 1920 × 1080: bytes, SSIM against the source (the stamps'
// corners left out) and CPU per picture, conversion included. A still shop
// is a fixed picture (light, shelves with goods, a counter) and a time
// stamp that changes each second; a busy one adds sensor noise and three
// people-sized textured shapes that cross the picture.
//   format_bench [seconds]   (default 10 of each scene)
// FORMAT_BENCH_PRESET, FORMAT_BENCH_CRF and FORMAT_BENCH_KEY (pictures
// between intra pictures) try other encoder settings.
#include "BenchSupport.h"
#include "FfmpegPtr.h"
#include "H264Writer.h"
#include "VideoEncoder.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

using Frame = std::vector<std::uint8_t>;  // blue, green, red; rows bottom-up

// Picture n of a scene, in the pipeline's layout: a lit wall, shelves with
// goods (edges and fine texture that stay), a counter.
Frame Scene(int w, int h, int n, bool busy)
{
    Frame f(static_cast<std::size_t>(w) * h * 3);
    unsigned noise = 2654435761u * static_cast<unsigned>(n + 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            noise = noise * 1103515245u + 12345u;
            const unsigned place = static_cast<unsigned>(x * 73856093) ^ static_cast<unsigned>(y * 19349663);
            int shade = 90 + 60 * x / w + 40 * y / h;                          // the light
            int hue = 2;
            const bool shelf = x > w / 10 && x < w / 2 && y > h / 8 && y < 3 * h / 4;
            if (shelf) {
                shade = (y % (h / 8) < 6) ? 50 : 120 + static_cast<int>(place >> 28) * 3;  // boards, goods
                hue = (x / (w / 20)) % 3;
            }
            if (y > 3 * h / 4 && x > w / 2)
                shade = 70, hue = 1;  // the counter
            for (int p = 0; busy && p < 3; ++p) {
                const int left = (n * (6 + 3 * p) + p * w / 3) % (w + w / 8) - w / 16;
                const int top = h / 4 + p * h / 8;
                if (x >= left && x < left + w / 16 && y >= top && y < top + h / 3) {
                    shade = 150 + ((x - left) / 4 * 7 + (y - top) / 4 * 5) % 60;
                    hue = p;
                }
            }
            if (busy)
                shade += static_cast<int>(noise >> 30) - 2;  // sensor noise
            // The time stamp's corner: a pattern that changes each second.
            if (y >= h - 30 && x < 300 && ((x / 12 + (n / 25)) * 7 % 5) < 2)
                shade = 235;
            std::uint8_t* px = &f[(static_cast<std::size_t>(y) * w + x) * 3];
            for (int c = 0; c < 3; ++c)
                px[c] = static_cast<std::uint8_t>(std::clamp(shade + (c == hue ? 30 : 0), 0, 255));
        }
    return f;
}

struct Cost {
    double bytes = 0;
    double cpuMs = 0;  // per picture
    double ssim = 0;
};

Cost Mpeg1(const std::vector<Frame>& frames, int w, int h, const std::string& dir)
{
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(dir);
    encoder.Init(0, w, h);
    const double start = ThreadCpuSeconds();
    for (const Frame& f : frames)
        encoder.EncodeFrame(f.data(), w, h);
    const std::string path = encoder.CurrentPath();
    encoder.Close();
    const double cpu = ThreadCpuSeconds() - start;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Cost cost{static_cast<double>(in.tellg()), cpu * 1000 / static_cast<double>(frames.size()), 0};
    std::rename(path.c_str(), (dir + "/out.mpg").c_str());
    return cost;
}

Cost H264(const std::vector<Frame>& frames, int w, int h, const std::string& dir, const H264Writer::Settings& settings)
{
    std::FILE* out = std::fopen((dir + "/out.ts").c_str(), "wb");
    double bytes = 0;
    H264Writer writer;
    writer.SetSettings(settings);
    std::string error;
    const double start = ThreadCpuSeconds();
    writer.Open(w, h, 0, [&](const std::uint8_t* d, std::size_t n) {
        bytes += static_cast<double>(n);
        return std::fwrite(d, 1, n, out) == n;
    }, &error);
    FramePtr picture(av_frame_alloc());
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = w;
    picture->height = h;
    SwsContextPtr scaler;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        if (av_frame_make_writable(picture.get()) < 0 && av_frame_get_buffer(picture.get(), 0) < 0)
            break;
        SwsContext* s = CachedScaler(scaler, w, h, AV_PIX_FMT_BGR24, w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC);
        const int stride = 3 * w;
        const std::uint8_t* rows[1] = {frames[n].data() + static_cast<std::size_t>(h - 1) * stride};
        const int strides[1] = {-stride};
        sws_scale(s, rows, strides, 0, h, picture->data, picture->linesize);
        writer.Write(picture.get(), static_cast<long long>(n), false);
    }
    writer.Close();
    const double cpu = ThreadCpuSeconds() - start;
    std::fclose(out);
    if (!error.empty())
        std::fprintf(stderr, "format_bench: %s\n", error.c_str());
    return Cost{bytes, cpu * 1000 / static_cast<double>(frames.size()), 0};
}

// SSIM of `coded` against the source frames in `raw`, the top and bottom
// tenth (the stamps) left out.
double Ssim(const std::string& coded, const std::string& raw, int w, int h)
{
    const std::string crop = "crop=" + std::to_string(w) + ":" + std::to_string(h * 8 / 10) + ":0:" +
                             std::to_string(h / 10);
    const std::string log = raw + ".ssim";
    Shell("ffmpeg -v info -i '" + coded + "' -f rawvideo -pix_fmt bgr24 -s " + std::to_string(w) + "x" +
          std::to_string(h) + " -r 25 -i '" + raw + "' -lavfi \"[0:v]" + crop + "[a];[1:v]vflip," + crop +
          "[b];[a][b]ssim\" -f null - 2>&1 | grep -o 'All:[0-9.]*' | tail -n 1 | cut -d: -f2 > '" + log + "'");
    std::ifstream in(log);
    double ssim = 0;
    in >> ssim;
    return ssim;
}

}  // namespace

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_ERROR);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string dir = MakeScratchDatabase("format_bench");
    for (const auto& size : {std::pair<int, int>{1280, 720}, std::pair<int, int>{1920, 1080}})
        for (const bool busy : {false, true}) {
            const auto [w, h] = size;
            std::vector<Frame> frames;
            const std::string raw = dir + "/source.raw";
            std::ofstream source(raw, std::ios::binary);
            for (int n = 0; n < seconds * 25; ++n) {
                frames.push_back(Scene(w, h, n, busy));
                source.write(reinterpret_cast<const char*>(frames.back().data()),
                             static_cast<std::streamsize>(frames.back().size()));
            }
            source.close();
            Cost mpeg1 = Mpeg1(frames, w, h, dir);
            H264Writer::Settings settings;
            if (const char* preset = std::getenv("FORMAT_BENCH_PRESET"))
                settings.preset = preset;
            if (const char* crf = std::getenv("FORMAT_BENCH_CRF"))
                settings.crf = std::atoi(crf);
            if (const char* key = std::getenv("FORMAT_BENCH_KEY"))
                settings.keyInterval = std::atoi(key);
            Cost h264 = H264(frames, w, h, dir, settings);
            mpeg1.ssim = Ssim(dir + "/out.mpg", raw, w, h);
            h264.ssim = Ssim(dir + "/out.ts", raw, w, h);
            const std::string scene = std::to_string(h) + "p " + (busy ? "busy" : "still");
            Result(scene + " MPEG-1 kbit/s", mpeg1.bytes * 8 / seconds / 1000, "kbit/s",
                   "SSIM " + std::to_string(mpeg1.ssim) + ", " + std::to_string(mpeg1.cpuMs) + " ms CPU a picture");
            Result(scene + " H.264 kbit/s", h264.bytes * 8 / seconds / 1000, "kbit/s",
                   "SSIM " + std::to_string(h264.ssim) + ", " + std::to_string(h264.cpuMs) + " ms CPU a picture");
            Result(scene + " H.264 bytes / MPEG-1 bytes", h264.bytes / mpeg1.bytes, "");
            Result(scene + " H.264 CPU / MPEG-1 CPU", h264.cpuMs / mpeg1.cpuMs, "");
            std::remove(raw.c_str());
        }
    return 0;
}
