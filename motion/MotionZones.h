// Zones of a camera's picture left out of motion detection (a fan, a
// blinking sign, a road, a tree), drawn by the owner in 摄像头设置 and
// stored per camera as camera_mask_1 … camera_mask_4 = "x,y,w,h;…", each
// a rectangle in percent of the picture (decimals allowed).
#pragma once

#include <optional>
#include <string>
#include <vector>

struct MotionZone {
    double x = 0, y = 0, w = 0, h = 0;  // percent of the picture's width and height
    bool operator==(const MotionZone& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// The setting of camera position 0 to 3.
std::string MotionZoneKey(int position);

// The zones of a stored text: entries that are not four numbers are left
// out, and each zone is cut to the picture; empty zones are dropped.
std::vector<MotionZone> ParseMotionZones(const std::string& text);
std::string MotionZonesText(const std::vector<MotionZone>& zones);

// Whether pixel (x, y) of a picture of width × height lies in a zone.
bool InZone(const std::vector<MotionZone>& zones, int x, int y, int width, int height);
