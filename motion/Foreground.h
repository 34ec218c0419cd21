// The foreground of a small picture and the regions it forms.
#pragma once

#include "SceneBlocks.h"

#include <cstdint>
#include <vector>

// What a looked-at pixel of the picture is against the lit background:
// kChanged where it differs by more than `limit` (grey × 16) at its place,
// kMoved where also at each of the eight places beside it (a picture
// shifted by up to a small pixel, a shaking camera, finds each of its
// pixels near where it was), else 0.
enum : std::uint8_t { kChanged = 1, kMoved = 2 };
void MarkForeground(const SmallScene& scene, int limit, std::vector<std::uint8_t>& foreground);

// The moved pixels that lie in connected regions (touching
// sideways or corner to corner) of at least `leastArea` pixels.
int RegionArea(const std::vector<std::uint8_t>& foreground, int width, int height, int leastArea);
