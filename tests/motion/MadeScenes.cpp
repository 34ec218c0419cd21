#include "MadeScenes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace scenes {

namespace {

constexpr int kMargin = 4;  // of the shop's texture around the picture, for shaking
constexpr int kTextureWidth = kWidth + 2 * kMargin;
constexpr int kTextureHeight = kHeight + 2 * kMargin;

// Shelves of goods of every size and shade from top to bottom, a floor of tiles.
Grey MakeShop(unsigned seed)
{
    Grey texture(static_cast<std::size_t>(kTextureWidth) * kTextureHeight, 150);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> width(5, 22), height(8, 28), level(40, 220);
    const auto fill = [&texture](int x0, int y0, int w, int h, int value) {
        for (int y = std::max(0, y0); y < std::min(kTextureHeight, y0 + h); ++y)
            for (int x = std::max(0, x0); x < std::min(kTextureWidth, x0 + w); ++x)
                texture[static_cast<std::size_t>(y) * kTextureWidth + x] = static_cast<std::uint8_t>(value);
    };
    const int floor = seed == 1 ? kTextureHeight - 34 : kTextureHeight;  // elsewhere: shelves only, at other heights
    for (int shelf = seed == 1 ? 4 : -7 * static_cast<int>(seed % 4); shelf < floor; shelf += seed == 1 ? 34 : 27) {
        fill(0, shelf + 30, kTextureWidth, 4, 70);  // the board
        for (int x = 0; x < kTextureWidth;) {
            const int w = width(random), h = height(random);
            fill(x, shelf + 30 - h, w, h, level(random));
            x += w + 1;
        }
    }
    for (int y = floor; y < kTextureHeight; ++y)
        for (int x = 0; x < kTextureWidth; ++x)
            fill(x, y, 1, 1, (x % 24 == 0 || (y - floor) % 12 == 0) ? 95 : 135);
    return texture;
}

const Grey& ShopTexture(unsigned seed)
{
    static std::map<unsigned, Grey> made;
    auto found = made.find(seed);
    if (found == made.end())
        found = made.emplace(seed, MakeShop(seed)).first;
    return found->second;
}

// Gaussian noise of σ 1, read from a random place for each picture.
const std::vector<float>& NoiseTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> values(1 << 20);
        std::mt19937 random(11);
        std::normal_distribution<float> normal(0, 1);
        for (float& v : values)
            v = normal(random);
        return values;
    }();
    return table;
}

struct Stored {
    MotionSpan span;
    bool open = true;
};

void Apply(const MotionChange& change, PreciseTime now, std::vector<Stored>& stored, Watched& watched)
{
    if (change.type == MotionChange::kBegun) {
        stored.push_back({change.span});
        watched.latestBegun = std::max(watched.latestBegun, Seconds(now - change.span.start));
        return;
    }
    for (Stored& s : stored)
        if (s.open && s.span.start == change.span.start && s.span.kind == change.span.kind) {
            watched.longestUnreported = std::max(watched.longestUnreported, Seconds(change.span.end - s.span.end));
            s.span = change.span;
            s.open = change.type != MotionChange::kEnded;
        }
}

}  // namespace

void Shop(Grey& grey, int dx, int dy, unsigned seed)
{
    const Grey& texture = ShopTexture(seed);
    grey.resize(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        std::copy_n(&texture[static_cast<std::size_t>(y + kMargin + dy) * kTextureWidth + kMargin + dx], kWidth,
                    &grey[static_cast<std::size_t>(y) * kWidth]);
}

void Night(Grey& grey)
{
    for (std::uint8_t& level : grey)
        level = static_cast<std::uint8_t>(12 + level * 22 / 100);
}

void Relight(Grey& grey, double gain, double gainRight, int offset)
{
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t& level = grey[static_cast<std::size_t>(y) * kWidth + x];
            const double g = gain + (gainRight - gain) * x / kWidth;
            level = static_cast<std::uint8_t>(std::clamp(level * g + offset, 0.0, 255.0));
        }
}

void Fill(Grey& grey, int x0, int y0, int w, int h, std::uint8_t level)
{
    for (int y = std::max(0, y0); y < std::min(kHeight, y0 + h); ++y)
        for (int x = std::max(0, x0); x < std::min(kWidth, x0 + w); ++x)
            grey[static_cast<std::size_t>(y) * kWidth + x] = level;
}

void Person(Grey& grey, double share, int x, int feet, bool night)
{
    const int w = static_cast<int>(std::sqrt(share * kWidth * kHeight / 2.2) + 0.5);
    const int h = static_cast<int>(2.2 * w + 0.5);
    const int top = feet - h;
    Fill(grey, x + w / 4, top, w / 2, h / 6, night ? 125 : 185);                   // face
    Fill(grey, x, top + h / 6, w, h / 2, night ? 80 : 45);                        // coat
    for (int stripe = top + h / 6 + 3; stripe < top + 2 * h / 3; stripe += 6)
        Fill(grey, x, stripe, w, 2, night ? 90 : 62);
    Fill(grey, x + w / 8, top + 2 * h / 3, 3 * w / 4, h - 2 * h / 3, night ? 100 : 95);  // trousers
}

int Walk::Width() const
{
    return static_cast<int>(std::sqrt(share * kWidth * kHeight / 2.2) + 0.5);
}

bool Walk::Place(int n, int* x) const
{
    const double t = static_cast<double>(n) / kRate;
    if (t < from || t >= to)
        return false;
    const int w = Width();
    const auto between = [](double t, double t0, double t1, int x0, int x1) {
        return x0 + static_cast<int>((x1 - x0) * (t - t0) / (t1 - t0));
    };
    if (stopFrom < 0)
        *x = between(t, from, to, -w, kWidth);
    else if (t < stopFrom)
        *x = between(t, from, stopFrom, -w, stop);
    else if (t < stopTo)
        *x = stop;
    else
        *x = between(t, stopTo, to, stop, kWidth);
    return true;
}

Watched Watch(const Scene& scene, const Watching& how)
{
    MotionDetector detector;
    detector.SetSensitivity(how.sensitivity);
    detector.SetExcludedZones(how.zones);
    MotionTracker tracker;
    std::vector<Stored> stored;
    Watched watched;
    const std::vector<float>& noise = NoiseTable();
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> place(0, noise.size() - kWidth * kHeight);
    Grey grey;
    std::vector<std::uint8_t> frame(3 * static_cast<std::size_t>(kWidth) * kHeight);
    const int pictures = static_cast<int>(how.seconds * kRate);
    for (int n = 0; n < pictures; ++n) {
        scene(n, grey);
        const float* sensor = &noise[place(random)];
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const auto i = static_cast<std::size_t>(y) * kWidth + x;
                const float level = grey[i] + static_cast<float>(how.noise) * sensor[i];
                std::uint8_t* px = &frame[3 * (static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x)];
                px[0] = px[1] = px[2] = static_cast<std::uint8_t>(std::clamp(level + 0.5f, 0.0f, 255.0f));
            }
        const PreciseTime time = static_cast<PreciseTime>(n) * kPictureInterval;
        for (const MotionChange& change : tracker.Add("a.mpg", time, detector.Look(frame.data(), kWidth, kHeight, time)))
            Apply(change, time, stored, watched);
    }
    for (const MotionChange& change : tracker.Finish())
        Apply(change, static_cast<PreciseTime>(pictures) * kPictureInterval, stored, watched);
    for (const Stored& s : stored)
        watched.events.push_back(s.span);
    return watched;
}

double Seconds(PreciseTime time)
{
    return static_cast<double>(time) / kMicrosPerSecond;
}

}  // namespace scenes
