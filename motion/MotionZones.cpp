#include "MotionZones.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t kMostZones = 32;

std::optional<double> Number(const std::string& text)
{
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<MotionZone> ParseZone(const std::string& text)
{
    double v[4];
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',', at) : text.size();
        if (comma == std::string::npos)
            return std::nullopt;
        const std::optional<double> n = Number(text.substr(at, comma - at));
        if (!n)
            return std::nullopt;
        v[i] = std::round(std::clamp(*n, -1000.0, 1000.0) * 100) / 100;  // hundredths, as written back
        at = comma + 1;
    }
    // Cut to the picture.
    const double x = std::clamp(v[0], 0.0, 100.0), y = std::clamp(v[1], 0.0, 100.0);
    const double w = std::clamp(v[0] + v[2], 0.0, 100.0) - x, h = std::clamp(v[1] + v[3], 0.0, 100.0) - y;
    if (w <= 0 || h <= 0)
        return std::nullopt;
    return MotionZone{x, y, w, h};
}

std::string Compact(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s;
}

}  // namespace

std::string MotionZoneKey(int position)
{
    return "camera_mask_" + std::to_string(position + 1);
}

std::vector<MotionZone> ParseMotionZones(const std::string& text)
{
    std::vector<MotionZone> zones;
    for (std::size_t at = 0; at <= text.size() && zones.size() < kMostZones;) {
        const std::size_t semicolon = std::min(text.find(';', at), text.size());
        if (const std::optional<MotionZone> zone = ParseZone(text.substr(at, semicolon - at)))
            zones.push_back(*zone);
        at = semicolon + 1;
    }
    return zones;
}

std::string MotionZonesText(const std::vector<MotionZone>& zones)
{
    std::string text;
    for (const MotionZone& z : zones)
        text += (text.empty() ? "" : ";") + Compact(z.x) + "," + Compact(z.y) + "," + Compact(z.w) + "," + Compact(z.h);
    return text;
}

bool InZone(const std::vector<MotionZone>& zones, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    const double px = (x + 0.5) * 100.0 / width, py = (y + 0.5) * 100.0 / height;
    return std::any_of(zones.begin(), zones.end(), [px, py](const MotionZone& z) {
        return px >= z.x && px < z.x + z.w && py >= z.y && py < z.y + z.h;
    });
}
