// Made scenes whose truth is known, fed to the detector picture by picture
// as the capture hands them over: a textured shop (shelves of goods), by
// day or by night, with sensor noise, people of a given size, light, a
// covered lens, shake, snow and a fan.
#pragma once

#include "MotionDetector.h"
#include "MotionTracker.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace scenes {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kRate = 25;

// Grey levels, top row first.
using Grey = std::vector<std::uint8_t>;
// Paints picture `n` of a scene.
using Scene = std::function<void(int n, Grey& grey)>;

// The shop's shelves, seen `dx`, `dy` pixels off (a shaking camera);
// another `seed` is another place (the camera turned away).
void Shop(Grey& grey, int dx = 0, int dy = 0, unsigned seed = 1);
// The same scene at night: dark and flat.
void Night(Grey& grey);
// Every level as light changes it: `gain` at the left edge up to
// `gainRight` at the right (a lamp at one side), then + `offset`.
void Relight(Grey& grey, double gain, double gainRight, int offset);
void Fill(Grey& grey, int x, int y, int w, int h, std::uint8_t level);
// A person whose box is `share` of the picture (upright, 2.2 times as
// tall as wide): dark coat, lighter trousers, a face; standing with the
// box's left edge at `x`, feet at `feet`.
void Person(Grey& grey, double share, int x, int feet, bool night = false);
// Where a person of `share` walking in from the left at `from` and out at
// the right by `to` stands at picture n (its box's left edge), stopping
// at `stop` from `stopFrom` to `stopTo` seconds if given; nothing while
// out of the picture.
struct Walk {
    double share;
    double from, to;
    double stopFrom = -1, stopTo = -1;
    int stop = 140;
    bool Place(int n, int* x) const;
    int Width() const;
};

struct Watched {
    std::vector<MotionSpan> events;   // as stored at the end
    double latestBegun = 0;           // seconds an event's row came after its start, at most
    double longestUnreported = 0;     // seconds an open event's stored end lagged its picture, at most
};

struct Watching {
    double seconds = 20;
    MotionSensitivity sensitivity = MotionSensitivity::kMedium;
    double noise = 3;  // the sensor's, grey levels
    std::vector<MotionZone> zones;
};

// The detector and the tracker over the scene, with its noise, as the
// recorder runs them; changes applied as the history database takes them.
Watched Watch(const Scene& scene, const Watching& how);

double Seconds(PreciseTime time);

}  // namespace scenes
